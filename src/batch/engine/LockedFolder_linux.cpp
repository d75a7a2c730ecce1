#include "LockedFolder.h"

#include "LockedFolderSystem.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kLockName[] = "/.lock";

QByteArray lockPath(const QString &folder)
{
    return QFile::encodeName(folder) + kLockName;
}

// Opens and locks folder's lock file without following links; -1 when the lock
// is held by someone else or there is none.
int takeLock(const QString &folder, bool create, int *error = nullptr)
{
    const int flags = (create ? O_RDWR | O_CREAT | O_EXCL : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    const int fd = ::open(lockPath(folder).constData(), flags, 0600);
    if (fd < 0) {
        if (error)
            *error = errno;
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (error)
            *error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether fd is still the lock file of folder (a sweeper may have taken the
// folder between its creation and the lock).
bool stillThere(const QString &folder, int fd)
{
    struct stat open = {}, named = {};
    return ::fstat(fd, &open) == 0 && ::lstat(lockPath(folder).constData(), &named) == 0 && open.st_dev == named.st_dev
        && open.st_ino == named.st_ino;
}

// Empties the folder open as fd, by descriptor all the way down: a folder inside
// that is swapped for a link meanwhile is never followed.
void emptyFolder(int fd)
{
    const int listing = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR *handle = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!handle) {
        if (listing >= 0)
            ::close(listing);
        return;
    }
    while (const dirent *entry = ::readdir(handle)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (::unlinkat(fd, name, 0) == 0 || (errno != EISDIR && errno != EPERM))
            continue;
        const int inner = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (inner < 0)
            continue;
        emptyFolder(inner);
        ::close(inner);
        ::unlinkat(fd, name, AT_REMOVEDIR);
    }
    ::closedir(handle);
}

// Removes parent/name with everything in it, when it is a folder of this user's:
// opened without following a link, emptied through its descriptor, then removed by
// name (which fails, harmlessly, should the name have become a link since).
bool removeFolder(const QString &parent, const QString &name)
{
    const int parentFd = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return false;
    const QByteArray local = QFile::encodeName(name);
    const int fd = ::openat(parentFd, local.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info = {};
    bool removed = false;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && info.st_uid == ::geteuid()) {
        emptyFolder(fd);
        removed = ::unlinkat(parentFd, local.constData(), AT_REMOVEDIR) == 0;
    }
    if (fd >= 0)
        ::close(fd);
    ::close(parentFd);
    return removed;
}

} // namespace

LockedFolder::LockedFolder(const QString &parent, const QString &prefix)
{
    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = parent + QLatin1Char('/') + prefix
            + QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, QLatin1Char('0'));
        if (::mkdir(QFile::encodeName(candidate).constData(), 0700) != 0) {
            error = errno;
            if (error == EEXIST)
                continue;
            break;
        }
        const int fd = takeLock(candidate, true, &error);
        if (fd >= 0 && stillThere(candidate, fd)) {
            folderPath = candidate;
            lockFd = fd;
            return;
        }
        if (fd >= 0)
            ::close(fd);
        else
            removeFolder(parent, QFileInfo(candidate).fileName());
    }
    problemText = qt_error_string(error);
}

LockedFolder::~LockedFolder()
{
    remove();
}

void LockedFolder::remove()
{
    if (!folderPath.isEmpty()) {
        const QFileInfo folder(folderPath);
        removeFolder(folder.path(), folder.fileName());
    }
    folderPath.clear();
    if (lockFd >= 0)
        ::close(lockFd);
    lockFd = -1;
}

QStringList LockedFolder::abandoned(const QString &parent, const QString &prefix)
{
    const QRegularExpression pattern = LockedFolderSystem::namePattern(prefix);
    QStringList found;
    DIR *handle = ::opendir(QFile::encodeName(parent).constData());
    if (!handle)
        return found;
    const uid_t me = ::geteuid();
    while (const dirent *entry = ::readdir(handle)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!pattern.match(name).hasMatch())
            continue;
        const QString folder = parent + QLatin1Char('/') + name;
        struct stat info = {};
        if (::lstat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != me)
            continue;
        int error = 0;
        const int fd = takeLock(folder, false, &error);
        if (fd >= 0) {
            ::close(fd);
            found << name;
        } else if (error == ENOENT
                   && QDateTime::currentSecsSinceEpoch() - qint64(info.st_mtime)
                       > LockedFolderSystem::kUnlockedGraceSecs) {
            found << name;
        }
    }
    ::closedir(handle);
    return found;
}

bool LockedFolderSystem::removeAbandoned(const QString &parent, const QString &name)
{
    int error = 0;
    const int fd = takeLock(parent + QLatin1Char('/') + name, false, &error);
    if (fd < 0 && error != ENOENT)
        return false;
    const bool removed = removeFolder(parent, name);
    if (fd >= 0)
        ::close(fd);
    return removed;
}
