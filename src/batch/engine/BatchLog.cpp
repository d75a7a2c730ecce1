#include "BatchLog.h"

Q_LOGGING_CATEGORY(lcBatch, "quorvane.batch", QtInfoMsg)
