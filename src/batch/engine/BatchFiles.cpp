#include "batch/engine/BatchFiles.h"

#include <QDir>
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

} // namespace

QStringList folderFiles(const QString &folder)
{
    QStringList paths;
    for (const QFileInfo &file : filesIn(QDir(folder)))
        paths << file.absoluteFilePath();
    return paths;
}

QVector<BatchEntry> expand(const QStringList &paths, const QStringList &accepted)
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
            const QDir dir(path);
            for (const QFileInfo &file : filesIn(dir))
                entries.append(fileEntry(dir.filePath(file.fileName()), file, accepted));
        } else {
            entries.append(fileEntry(path, info, accepted));
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
