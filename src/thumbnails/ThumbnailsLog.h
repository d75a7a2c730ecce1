#pragma once

#include <QLoggingCategory>

// Debug lines of this room; silent unless QT_LOGGING_RULES turns them on
// ("quorvane.thumbnails.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcThumbnails)
