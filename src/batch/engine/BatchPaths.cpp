#include "batch/engine/BatchPaths.h"

#include <QCoreApplication>
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

} // namespace BatchPaths
