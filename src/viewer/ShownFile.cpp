#include "ShownFile.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace ShownFile {

bool isPictureFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return false;
    if (S_ISLNK(info.st_mode) && ::stat(name.constData(), &info) != 0)
        return false;
    return S_ISREG(info.st_mode);
}

bool nameTaken(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 || errno != ENOENT;
}

} // namespace ShownFile
