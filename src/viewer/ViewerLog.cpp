#include "ViewerLog.h"

Q_LOGGING_CATEGORY(lcViewer, "quorvane.viewer", QtInfoMsg)
