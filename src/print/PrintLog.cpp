#include "PrintLog.h"

Q_LOGGING_CATEGORY(lcPrint, "quorvane.print", QtInfoMsg)
