#include "formats/SizeText.h"

QString sizeText(qint64 bytes)
{
    constexpr double kKiB = 1024.0;
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(qMax<qint64>(bytes, 0));
    const double kib = double(bytes) / kKiB;
    // Rounding up to 1024.0 KB reads better as the next unit.
    if (kib < kKiB - 0.05)
        return QStringLiteral("%1 KB").arg(kib, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(kib / kKiB, 0, 'f', 1);
}
