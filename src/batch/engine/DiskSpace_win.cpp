#include "DiskSpace.h"

#include <QDir>

#include <windows.h>

namespace DiskSpace {

qint64 freeBytes(const QString &path)
{
    // What this user may use: quotas counted, as statvfs's f_bavail.
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExW(QDir::toNativeSeparators(path).toStdWString().c_str(), &available, nullptr, nullptr))
        return -1;
    return qint64(available.QuadPart);
}

} // namespace DiskSpace
