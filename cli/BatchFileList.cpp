#include "cli/BatchFileList.h"

#include "formats/Formats.h"
#include "batch/engine/BatchTypes.h"

#include <QDir>
#include <QFileInfo>

namespace {

BatchEntry fileEntry(const QString &source, const QFileInfo &info, const QStringList &accepted)
{
    BatchEntry entry;
    entry.source = source;
    entry.absolutePath = info.absoluteFilePath();
    entry.state = accepted.contains(info.suffix().toLower()) ? BatchEntry::Send : BatchEntry::Skipped;
    return entry;
}

} // namespace

const QStringList &BatchFileList::acceptedSuffixes(int imgType)
{
    switch (imgType) {
    case BatchOp::Compress: return Formats::compressSuffixes();
    case BatchOp::Rotate: return Formats::rotateSuffixes();
    default: return Formats::openSuffixes();
    }
}

QVector<BatchEntry> BatchFileList::expand(const QStringList &paths, const QStringList &accepted)
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
            const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
            for (const QFileInfo &file : files)
                entries.append(fileEntry(dir.filePath(file.fileName()), file, accepted));
        } else {
            entries.append(fileEntry(path, info, accepted));
        }
    }
    return entries;
}
