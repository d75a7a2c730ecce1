#include "ThumbnailsLog.h"

Q_LOGGING_CATEGORY(lcThumbnails, "quorvane.thumbnails", QtInfoMsg)
