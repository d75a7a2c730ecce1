#pragma once

#include <QLoggingCategory>

// Debug lines of this room; silent unless QT_LOGGING_RULES turns them on
// ("quorvane.toolbox.debug=true", or "quorvane.*.debug=true" for every room).
Q_DECLARE_LOGGING_CATEGORY(lcToolbox)
