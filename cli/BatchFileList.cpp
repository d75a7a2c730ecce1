#include "cli/BatchFileList.h"

#include "batch/engine/BatchTypes.h"
#include "formats/Formats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace {

bool acceptedName(const QString &name, const QStringList &accepted)
{
    return accepted.contains(QFileInfo(name).suffix().toLower());
}

BatchEntry fileEntry(const QString &source, const QByteArray &bytes, const QStringList &accepted)
{
    BatchEntry entry;
    entry.source = source;
    entry.bytes = bytes;
    entry.absolutePath = QFileInfo(source).absoluteFilePath();
    if (!acceptedName(source, accepted))
        entry.state = BatchEntry::Skipped;
    else if (!BatchFileList::isValidUtf8(bytes))
        entry.state = BatchEntry::BadName;
    return entry;
}

// The non-hidden entries of dir that are not folders, as the file system names them.
QList<QByteArray> folderFiles(const QByteArray &dir)
{
    QList<QByteArray> names;
    DIR *handle = ::opendir(dir.constData());
    if (!handle)
        return names;
    while (const dirent *entry = ::readdir(handle)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.'))
            continue;
        struct stat info = {};
        // Followed: a link to a folder is a folder; a dangling one is listed (missing).
        if (::stat((dir + '/' + name).constData(), &info) == 0 && S_ISDIR(info.st_mode))
            continue;
        names << name;
    }
    ::closedir(handle);
    std::sort(names.begin(), names.end(), [](const QByteArray &a, const QByteArray &b) {
        const int order = QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

} // namespace

bool BatchFileList::isValidUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

const QStringList &BatchFileList::acceptedSuffixes(int imgType)
{
    switch (imgType) {
    case BatchOp::Compress: return Formats::compressSuffixes();
    case BatchOp::Rotate: return Formats::rotateSuffixes();
    default: return Formats::openSuffixes();
    }
}

QVector<BatchEntry> BatchFileList::expand(const QStringList &paths, const QStringList &accepted,
                                          const QHash<QString, QByteArray> &undecodable)
{
    QVector<BatchEntry> entries;
    for (const QString &path : paths) {
        const QByteArray bytes = undecodable.value(path, QFile::encodeName(path));
        const QFileInfo info(path);
        if (!isValidUtf8(bytes)) {
            entries.append(fileEntry(path, bytes, accepted));
            if (entries.last().state == BatchEntry::Skipped)
                entries.last().state = BatchEntry::BadName; // named directly: never silently passed over
        } else if (!info.exists()) {
            BatchEntry missing;
            missing.source = path;
            missing.bytes = bytes;
            missing.absolutePath = info.absoluteFilePath();
            missing.state = BatchEntry::Missing;
            entries.append(missing);
        } else if (info.isDir()) {
            const QByteArray dir = bytes.endsWith('/') ? bytes.chopped(1) : bytes;
            const QDir folder(path);
            const QList<QByteArray> names = folderFiles(dir);
            for (const QByteArray &name : names) {
                entries.append(fileEntry(folder.filePath(QString::fromUtf8(name)), dir + '/' + name, accepted));
                BatchEntry &entry = entries.last();
                if (entry.state == BatchEntry::Send && !QFileInfo::exists(entry.source))
                    entry.state = BatchEntry::Missing; // a dangling link
            }
        } else {
            entries.append(fileEntry(path, bytes, accepted));
        }
    }
    return entries;
}
