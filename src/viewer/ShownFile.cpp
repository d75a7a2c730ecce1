#include "ShownFile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

Move renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return Move::Done;
    if (errno == EEXIST)
        return Move::Exists;
    if (errno != EINVAL && errno != ENOSYS)
        return Move::Failed;
    // A file system without the flag: a second name, refused when taken, then the
    // first one gone (a link is linked as itself, not followed).
    if (::link(source.constData(), target.constData()) != 0)
        return errno == EEXIST ? Move::Exists : Move::Failed;
    if (::unlink(source.constData()) != 0) {
        ::unlink(target.constData());
        return Move::Failed;
    }
    return Move::Done;
}

} // namespace ShownFile
