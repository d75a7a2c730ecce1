#pragma once

#include <QString>

// A file size as the viewer's title, its panel and the toolbox's table show it:
// "512 B", "12.5 KB", "13.2 MB" (1024 steps, one decimal above bytes).
QString sizeText(qint64 bytes);
