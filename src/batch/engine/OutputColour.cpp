#include "batch/engine/OutputColour.h"

#include "batch/engine/BatchLog.h"

#include <QFileInfo>

namespace OutputColour {

bool carriesProfile(const QString &fmt)
{
    static const QStringList carrying{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                      QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("webp")};
    return carrying.contains(fmt.toLower());
}

QStringList args(const QString &fmt, const QString &srgbProfile)
{
    if (carriesProfile(fmt) || srgbProfile.isEmpty())
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
