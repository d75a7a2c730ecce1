#include "SourceCheck.h"

#include "SourceCheckSystem.h"

#include "batch/engine/BatchFiles.h"
#include "formats/ContentFormat.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SourceCheck {

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a plain file");
}

// Whether dir holds an entry whose name is not valid UTF-8 but reads as name.
bool hasLookAlike(const QString &dir, const QString &name)
{
    DIR *handle = ::opendir(QFile::encodeName(dir).constData());
    if (!handle)
        return false;
    bool found = false;
    while (const dirent *entry = ::readdir(handle)) {
        const QByteArray bytes(entry->d_name);
        if (!BatchFiles::isValidUtf8(bytes) && QString::fromUtf8(bytes) == name) {
            found = true;
            break;
        }
    }
    ::closedir(handle);
    return found;
}

} // namespace

QString nameProblem(const QString &path)
{
    static const QString replacement(QChar::ReplacementCharacter);
    if (!path.contains(replacement))
        return QString();
    const QString reason = QStringLiteral("file name is not valid UTF-8");
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return reason;
    // Every folder on the way may hold the undecodable original.
    QString dir = info.absolutePath();
    QString name = info.fileName();
    while (!name.isEmpty()) {
        if (name.contains(replacement) && hasLookAlike(dir, name))
            return reason;
        const QFileInfo parent(dir);
        name = parent.fileName();
        dir = parent.absolutePath();
        if (parent.isRoot())
            break;
    }
    return QString();
}

QString readHead(const QString &path, QByteArray *head)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return QStringLiteral("not a regular file (%1)").arg(kindOf(info.st_mode));
    // O_NONBLOCK: should it have become a FIFO since, opening must not wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? QStringLiteral("the file does not exist")
                               : QStringLiteral("cannot open the file: ") + qt_error_string(errno);
    QString problem;
    if (::fstat(fd, &info) != 0) {
        problem = QStringLiteral("cannot read the file: ") + qt_error_string(errno);
    } else if (!S_ISREG(info.st_mode)) {
        problem = QStringLiteral("not a regular file (%1)").arg(kindOf(info.st_mode));
    } else {
        char buffer[ContentFormat::kHeadBytes];
        ssize_t got = 0;
        do
            got = ::read(fd, buffer, sizeof buffer);
        while (got < 0 && errno == EINTR);
        *head = QByteArray(buffer, got > 0 ? int(got) : 0);
        if (got < 0)
            problem = QStringLiteral("cannot read the file: ") + qt_error_string(errno);
        else if (got == 0)
            problem = QStringLiteral("the file is empty");
    }
    ::close(fd);
    return problem;
}

} // namespace SourceCheck
