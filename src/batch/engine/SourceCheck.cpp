#include "batch/engine/SourceCheck.h"

#include "batch/engine/BatchFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SourceCheck {

namespace {

constexpr int kHeadBytes = 64;

quint32 bigEndian32(const QByteArray &bytes, int at)
{
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 | quint32(quint8(bytes[at + 2])) << 8
        | quint32(quint8(bytes[at + 3]));
}

quint32 littleEndian(const QByteArray &bytes, int at, int count)
{
    quint32 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

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

QString coderFor(const QByteArray &head, const QString &suffix)
{
    const auto starts = [&head](const char *magic, int size, int at = 0) {
        return head.size() >= at + size && head.mid(at, size) == QByteArray::fromRawData(magic, size);
    };
    if (starts("\xFF\xD8\xFF", 3))
        return QStringLiteral("jpeg");
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return QStringLiteral("png");
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return QStringLiteral("gif");
    if (starts("BM", 2) && head.size() >= 18)
        return QStringLiteral("bmp");
    if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4))
        return QStringLiteral("tiff");
    if (starts("RIFF", 4) && starts("WEBP", 4, 8))
        return QStringLiteral("webp");
    if (starts("8BPS", 4))
        return QStringLiteral("psd");
    if (starts("ftyp", 4, 4)) {
        const QByteArray brand = head.mid(8, 4);
        for (const char *heif : {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"}) {
            if (brand == heif)
                return QStringLiteral("heic");
        }
        return QString();
    }
    // No signature: the suffix names the format, and ImageMagick is held to it. An
    // uncompressed TGA starts like a cursor, so the suffix goes first.
    if (suffix == QLatin1String("tga") || suffix == QLatin1String("wbmp"))
        return suffix;
    // Icons: a weak signature, so the count of images must be sensible too.
    if (head.size() >= 6 && littleEndian(head, 4, 2) >= 1 && littleEndian(head, 4, 2) <= 256) {
        if (starts("\0\0\1\0", 4))
            return QStringLiteral("ico");
        if (starts("\0\0\2\0", 4))
            return QStringLiteral("cur");
    }
    return QString();
}

QSize headerSize(const QByteArray &head)
{
    const QString coder = coderFor(head, QString());
    if (coder == QLatin1String("png") && head.size() >= 24 && head.mid(12, 4) == "IHDR")
        return QSize(int(qMin<quint32>(bigEndian32(head, 16), INT_MAX)),
                     int(qMin<quint32>(bigEndian32(head, 20), INT_MAX)));
    if (coder == QLatin1String("gif") && head.size() >= 10)
        return QSize(int(littleEndian(head, 6, 2)), int(littleEndian(head, 8, 2)));
    if (coder == QLatin1String("bmp") && head.size() >= 26 && littleEndian(head, 14, 4) >= 40) {
        const qint32 height = qint32(littleEndian(head, 22, 4)); // negative: stored top-down
        return QSize(int(qMin<quint32>(littleEndian(head, 18, 4), INT_MAX)),
                     height == INT_MIN ? INT_MAX : qAbs(height));
    }
    return QSize();
}

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

Source inspect(const QString &path, bool wantContent)
{
    Source source;
    source.problem = nameProblem(path);
    if (!source.problem.isEmpty())
        return source;
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        source.problem = QStringLiteral("not a regular file (%1)").arg(kindOf(info.st_mode));
        return source;
    }
    // O_NONBLOCK: should it have become a FIFO since, opening must not wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        source.problem = errno == ENOENT ? QStringLiteral("the file does not exist")
                                         : QStringLiteral("cannot open the file: ") + qt_error_string(errno);
        return source;
    }
    QByteArray head;
    if (::fstat(fd, &info) != 0) {
        source.problem = QStringLiteral("cannot read the file: ") + qt_error_string(errno);
    } else if (!S_ISREG(info.st_mode)) {
        source.problem = QStringLiteral("not a regular file (%1)").arg(kindOf(info.st_mode));
    } else {
        char buffer[kHeadBytes];
        ssize_t got = 0;
        do
            got = ::read(fd, buffer, sizeof buffer);
        while (got < 0 && errno == EINTR);
        head = QByteArray(buffer, got > 0 ? int(got) : 0);
        if (got < 0)
            source.problem = QStringLiteral("cannot read the file: ") + qt_error_string(errno);
        else if (got == 0)
            source.problem = QStringLiteral("the file is empty");
    }
    ::close(fd);
    if (!source.problem.isEmpty())
        return source;
    const QString suffix = QFileInfo(path).suffix().toLower();
    source.coder = coderFor(head, suffix);
    source.size = headerSize(head);
    if (wantContent && source.coder.isEmpty())
        source.problem = QStringLiteral("the content is not a picture format the program reads");
    return source;
}

} // namespace SourceCheck
