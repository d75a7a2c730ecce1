#include "OutputColour.h"

#include "batch/engine/BatchCatalogue.h"
#include "BatchLog.h"

#include <QFileInfo>

namespace OutputColour {

QStringList args(const QString &fmt, const QString &srgbProfile)
{
    const BatchCatalogue::OutputFormat *format = BatchCatalogue::outputFormat(fmt.toLower());
    if (!format || format->carriesProfile || srgbProfile.isEmpty())
        return {};
    return {QStringLiteral("-profile"), srgbProfile, QStringLiteral("+profile"), QStringLiteral("icc")};
}

QString srgbProfile()
{
    static const QString found = [] {
        for (const char *candidate : {"/usr/share/color/icc/sRGB.icc", "/usr/share/color/icc/colord/sRGB.icc",
                                      "/usr/share/color/icc/ghostscript/srgb.icc"}) {
            const QString path = QString::fromLatin1(candidate);
            if (QFileInfo(path).isFile())
                return path;
        }
        qCDebug(lcBatch) << "no sRGB profile found: outputs without profiles keep the source's numbers";
        return QString();
    }();
    return found;
}

} // namespace OutputColour
