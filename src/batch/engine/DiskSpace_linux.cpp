#include "DiskSpace.h"

#include <QFile>

#include <sys/statvfs.h>
#include <unistd.h>

namespace DiskSpace {

qint64 freeBytes(const QString &path)
{
    struct statvfs info = {};
    if (::statvfs(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return qint64(::geteuid() == 0 ? info.f_bfree : info.f_bavail) * qint64(info.f_frsize);
}

} // namespace DiskSpace
