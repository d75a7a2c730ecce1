#include "batch/engine/BatchFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace BatchFiles {

namespace {

BatchEntry fileEntry(const QString &source, const QByteArray &bytes, const QStringList &accepted)
{
    BatchEntry entry;
    entry.source = source;
    entry.bytes = bytes;
    entry.absolutePath = QFileInfo(source).absoluteFilePath();
    if (!accepted.contains(QFileInfo(source).suffix().toLower()))
        entry.state = BatchEntry::Skipped;
    else if (!isValidUtf8(bytes))
        entry.state = BatchEntry::BadName;
    return entry;
}

// The entries of dir that are neither folders nor hidden, as the file system
// names them, in name order ignoring case.
QList<QByteArray> namesIn(const QByteArray &dir)
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
        // Followed: a link to a folder is a folder; a dangling one is listed.
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

QByteArray folderBytes(const QByteArray &path)
{
    return path.size() > 1 && path.endsWith('/') ? path.chopped(1) : path;
}

} // namespace

bool isValidUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

QStringList folderFiles(const QString &folder)
{
    const QDir dir(folder);
    QStringList paths;
    for (const QByteArray &name : namesIn(folderBytes(QFile::encodeName(folder))))
        paths << dir.absoluteFilePath(QString::fromUtf8(name));
    return paths;
}

QVector<BatchEntry> expand(const QStringList &paths, const QStringList &accepted,
                           const QHash<QString, QByteArray> &undecodable)
{
    QVector<BatchEntry> entries;
    for (const QString &path : paths) {
        const QByteArray bytes = undecodable.value(path, QFile::encodeName(path));
        const QFileInfo info(path);
        if (!isValidUtf8(bytes)) {
            entries.append(fileEntry(path, bytes, accepted));
            entries.last().state = BatchEntry::BadName; // named directly: never passed over
        } else if (!info.exists()) {
            BatchEntry missing;
            missing.source = path;
            missing.bytes = bytes;
            missing.absolutePath = info.absoluteFilePath();
            missing.state = BatchEntry::Missing;
            entries.append(missing);
        } else if (info.isDir()) {
            const QByteArray dir = folderBytes(bytes);
            const QDir folder(path);
            for (const QByteArray &name : namesIn(dir)) {
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

JobFiles jobFiles(const QStringList &paths, QList<int> *missing)
{
    JobFiles files;
    for (int row = 0; row < paths.size(); ++row) {
        if (QFileInfo::exists(paths.at(row)))
            files.append({row, paths.at(row)});
        else if (missing)
            missing->append(row);
    }
    return files;
}

} // namespace BatchFiles
