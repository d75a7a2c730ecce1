#include "batch/engine/BatchFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace BatchFiles {

namespace {

BatchEntry fileEntry(const QString &source, const QFileInfo &info, const QStringList &accepted)
{
    BatchEntry entry;
    entry.source = source;
    entry.absolutePath = info.absoluteFilePath();
    entry.state = accepted.contains(info.suffix().toLower()) ? BatchEntry::Send : BatchEntry::Skipped;
    return entry;
}

QFileInfoList filesIn(const QDir &dir)
{
    return dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
}

// The files of dir and, depth first, of its sub-folders; subDir is dir's path
// below the folder the user gave.
void addFolder(QVector<BatchEntry> &entries, const QDir &dir, const QString &subDir, const QStringList &accepted,
               Depth depth)
{
    for (const QFileInfo &file : filesIn(dir)) {
        entries.append(fileEntry(dir.filePath(file.fileName()), file, accepted));
        entries.last().subDir = subDir;
    }
    if (depth != Recursive)
        return;
    const QFileInfoList folders
        = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &folder : folders) {
        const QString below = subDir.isEmpty() ? folder.fileName() : subDir + QLatin1Char('/') + folder.fileName();
        addFolder(entries, QDir(dir.filePath(folder.fileName())), below, accepted, depth);
    }
}

} // namespace

QStringList folderFiles(const QString &folder)
{
    QStringList paths;
    for (const QFileInfo &file : filesIn(QDir(folder)))
        paths << file.absoluteFilePath();
    return paths;
}

QVector<BatchEntry> expand(const QStringList &paths, const QStringList &accepted, Depth depth)
{
    QVector<BatchEntry> entries;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.exists()) {
            BatchEntry missing;
            missing.source = path;
            missing.absolutePath = info.absoluteFilePath();
            missing.state = BatchEntry::Missing;
            entries.append(missing);
        } else if (info.isDir()) {
            addFolder(entries, QDir(path), QString(), accepted, depth);
        } else {
            entries.append(fileEntry(path, info, accepted));
        }
    }
    return entries;
}

QStringList readNames(const QByteArray &data, bool nulSeparated)
{
    QStringList names;
    for (QByteArray name : data.split(nulSeparated ? '\0' : '\n')) {
        if (!nulSeparated && name.endsWith('\r'))
            name.chop(1);
        if (!name.isEmpty())
            names << QFile::decodeName(name);
    }
    return names;
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
