#include "ToolboxLog.h"

Q_LOGGING_CATEGORY(lcToolbox, "quorvane.toolbox", QtInfoMsg)
