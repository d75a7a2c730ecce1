#include "viewer/PictureFacts.h"

#include "ZoomModel.h"
#include "formats/SizeText.h"

#include <QStringList>


namespace PictureFacts {

QString line(const Facts &facts)
{
    QStringList parts;
    if (facts.position > 0 && facts.count > 0)
        parts << QStringLiteral("%1/%2").arg(facts.position).arg(facts.count);
    if (facts.pixels.isValid() && !facts.pixels.isEmpty())
        parts << QStringLiteral("%1×%2").arg(facts.pixels.width()).arg(facts.pixels.height());
    if (facts.bytes >= 0)
        parts << sizeText(facts.bytes);
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
