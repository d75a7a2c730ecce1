#pragma once

#include <QString>

// A file size as the table shows it: "512 B", "12.5 KB", "13.2 MB" (1024 steps,
// one decimal above bytes).
QString sizeText(qint64 bytes);
