#include "formats/SafeRename.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace SafeRename {

Result rename(const QString &from, const QString &to, int *error)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    const auto failed = [error](int code) {
        if (error)
            *error = code;
        return code == EEXIST ? Result::Taken : Result::Failed;
    };
    if (::syscall(SYS_renameat2, AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return Result::Renamed;
    // EINVAL: the file system knows no RENAME_NOREPLACE; ENOSYS: the kernel knows no renameat2.
    if (errno != EINVAL && errno != ENOSYS)
        return failed(errno);
    // A link never replaces a name either; a file system without hard links
    // (FAT) fails here, and nothing is copied.
    if (::link(source.constData(), target.constData()) != 0)
        return failed(errno);
    ::unlink(source.constData());
    return Result::Renamed;
}

} // namespace SafeRename
