#include "batch/engine/BatchPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace BatchPaths {

QString appDir()
{
    return QCoreApplication::applicationDirPath();
}

QString defaultExportDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QStringLiteral("/Pelmora图片查看器");
}

QStringList magickConfigCandidates(const QString &appDir)
{
    return {appDir + QStringLiteral("/imagemagick"), appDir + QStringLiteral("/../share/quorvane/imagemagick")};
}

QString magickConfigDir()
{
    const QStringList dirs = magickConfigCandidates(appDir());
    for (const QString &dir : dirs) {
        if (QFileInfo(dir + QStringLiteral("/policy.xml")).isFile())
            return QDir(dir).canonicalPath();
    }
    return QString();
}

} // namespace BatchPaths
