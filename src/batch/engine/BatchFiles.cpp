#include "batch/engine/BatchFiles.h"

#include "BatchFilesSystem.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

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

bool byName(const QByteArray &a, const QByteArray &b)
{
    const int order = QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

// The entries of dir that are neither folders nor hidden, as the file system
// names them, in name order ignoring case. With folders, also its sub-folders
// that are neither hidden nor links, in the same order.
QList<QByteArray> namesIn(const QByteArray &dir, QList<QByteArray> *folders = nullptr)
{
    QList<QByteArray> names = listFolder(dir, folders);
    std::sort(names.begin(), names.end(), byName);
    if (folders)
        std::sort(folders->begin(), folders->end(), byName);
    return names;
}

QByteArray folderBytes(const QByteArray &path)
{
    return path.size() > 1 && path.endsWith('/') ? path.chopped(1) : path;
}

// The files of dir and, with Recursive, depth first those of its sub-folders;
// subDir is dir's path below the folder the user gave.
void addFolder(QVector<BatchEntry> &entries, const QByteArray &dir, const QString &subDir, const QStringList &accepted,
               Depth depth)
{
    QList<QByteArray> folders;
    const QDir folder(pathFromBytes(dir));
    for (const QByteArray &name : namesIn(dir, depth == Recursive ? &folders : nullptr)) {
        entries.append(fileEntry(folder.filePath(QString::fromUtf8(name)), dir + '/' + name, accepted));
        BatchEntry &entry = entries.last();
        entry.subDir = subDir;
        if (entry.state == BatchEntry::Send && !QFileInfo::exists(entry.source))
            entry.state = BatchEntry::Missing; // a dangling link
    }
    for (const QByteArray &name : folders) {
        const QString sub = QString::fromUtf8(name);
        addFolder(entries, dir + '/' + name, subDir.isEmpty() ? sub : subDir + QLatin1Char('/') + sub, accepted, depth);
    }
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
    for (const QByteArray &name : namesIn(folderBytes(bytesOf(folder))))
        paths << dir.absoluteFilePath(QString::fromUtf8(name));
    return paths;
}

QVector<BatchEntry> expand(const QStringList &paths, const QStringList &accepted, Depth depth,
                           const QHash<QString, QByteArray> &undecodable)
{
    QList<QByteArray> bytes;
    for (const QString &path : paths)
        bytes << undecodable.value(path, bytesOf(path));
    return expand(bytes, accepted, depth);
}

QVector<BatchEntry> expand(const QList<QByteArray> &paths, const QStringList &accepted, Depth depth)
{
    QVector<BatchEntry> entries;
    for (const QByteArray &bytes : paths) {
        const QString path = QString::fromUtf8(bytes);
        const QFileInfo info(path);
        if (!isValidUtf8(bytes)) {
            entries.append(fileEntry(path, bytes, accepted));
            entries.last().state = BatchEntry::BadName; // named directly: never passed over
        } else if (!info.exists()) {
            entries.append(fileEntry(path, bytes, accepted));
            entries.last().state = BatchEntry::Missing;
        } else if (info.isDir()) {
            addFolder(entries, folderBytes(bytes), QString(), accepted, depth);
        } else {
            entries.append(fileEntry(path, bytes, accepted));
        }
    }
    return entries;
}

QStringList readNames(const QByteArray &data, bool nulSeparated, QHash<QString, QByteArray> *undecodable)
{
    QStringList names;
    for (const QByteArray &name : readNameList(data, nulSeparated).names) {
        names << QString::fromUtf8(name);
        if (undecodable && !isValidUtf8(name))
            undecodable->insert(names.last(), name);
    }
    return names;
}

NameList readNameList(const QByteArray &data, bool nulSeparated)
{
    NameList list;
    int line = 0;
    for (QByteArray name : data.split(nulSeparated ? '\0' : '\n')) {
        ++line;
        if (!nulSeparated && name.endsWith('\r'))
            name.chop(1);
        if (name.contains('\0')) {
            list.names.clear();
            list.problem = QStringLiteral("line %1 holds a NUL byte").arg(line);
            return list;
        }
        if (!name.isEmpty())
            list.names << name;
    }
    return list;
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

JobFiles jobFiles(const QVector<BatchEntry> &entries, QList<int> *missing)
{
    QStringList paths;
    for (const BatchEntry &entry : entries)
        paths << entry.absolutePath;
    JobFiles files = jobFiles(paths, missing);
    for (JobFile &file : files)
        file.subDir = entries.at(file.row).subDir;
    return files;
}

} // namespace BatchFiles
