#include "viewer/PictureFacts.h"

#include "ZoomModel.h"

#include <QStringList>

#include <cmath>

namespace PictureFacts {

QString fileSizeText(qint64 bytes)
{
    constexpr double kKiB = 1024.0;
    // Switch to MB where the KB figure would round to "1024.0 KB".
    if (std::llround(bytes / kKiB * 10) < 10240)
        return QStringLiteral("%1 KB").arg(bytes / kKiB, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(bytes / (kKiB * kKiB), 0, 'f', 1);
}

QString line(const Facts &facts)
{
    QStringList parts;
    if (facts.position > 0 && facts.count > 0)
        parts << QStringLiteral("%1/%2").arg(facts.position).arg(facts.count);
    if (facts.pixels.isValid() && !facts.pixels.isEmpty())
        parts << QStringLiteral("%1×%2").arg(facts.pixels.width()).arg(facts.pixels.height());
    if (facts.bytes >= 0)
        parts << fileSizeText(facts.bytes);
    if (facts.zoom > 0)
        parts << ZoomModel::percentText(facts.zoom);
    return parts.join(QStringLiteral("  "));
}

QString windowTitle(const QString &fileName)
{
    const QString program = QStringLiteral("Quorvane");
    return fileName.isEmpty() ? program : fileName + QStringLiteral(" – ") + program;
}

} // namespace PictureFacts
