#include "viewer/TrashBin.h"

#include "ShownFile.h"
#include "formats/SafeRename.h"
#include "ViewerLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

namespace {

// The trash's record of a file in it: TRASH/info/NAME.trashinfo beside TRASH/files/NAME.
QString recordOf(const QString &inTrash)
{
    const QFileInfo file(inTrash);
    return QDir::cleanPath(file.absolutePath() + QStringLiteral("/../info/") + file.fileName()
                           + QStringLiteral(".trashinfo"));
}

} // namespace

TrashBin::Outcome TrashBin::trash(const QString &path)
{
    const QFileInfo info(path);
    if (!ShownFile::nameTaken(path))
        return Outcome::Missing;
    if (!ShownFile::isPictureFile(path))
        return Outcome::NotAFile;
    // Qt 5.15 puts the file into ./files of the working folder when the data folder
    // that holds the home trash is missing: make sure it is there, and take back
    // any move that did not land in an absolute trash folder.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QString inTrash;
    if (!QFile::moveToTrash(path, &inTrash)) {
        qCDebug(lcViewer) << "no trash for" << path;
        return Outcome::NoTrash;
    }
    if (QDir::isRelativePath(inTrash)) {
        const QFileInfo stray(inTrash);
        const QDir files = stray.absoluteDir();
        const QString record = recordOf(inTrash);
        SafeRename::rename(stray.absoluteFilePath(), info.absoluteFilePath());
        QFile::remove(record);
        QDir().rmdir(QFileInfo(record).absolutePath()); // only when empty
        QDir().rmdir(files.absolutePath());
        qCDebug(lcViewer) << "the trash went astray for" << path << inTrash;
        return Outcome::NoTrash;
    }
    trashed.append({info.absoluteFilePath(), inTrash});
    return Outcome::Done;
}

TrashBin::Outcome TrashBin::restoreLast(QString *restoredPath)
{
    if (trashed.isEmpty())
        return Outcome::NothingToRestore;
    const Entry entry = trashed.constLast();
    // Anything under the name counts, a dangling link too: writing through one
    // would land in its target.
    if (ShownFile::nameTaken(entry.original))
        return Outcome::Occupied;
    if (!ShownFile::nameTaken(entry.inTrash)) {
        trashed.removeLast();
        return Outcome::Lost;
    }
    if (beforeRestore)
        beforeRestore(entry.original);
    // The trash lies on the file's own file system: a rename, which refuses a name
    // taken even now. Never QFile::rename, whose fallback copies over it.
    int error = 0;
    switch (SafeRename::rename(entry.inTrash, entry.original, &error)) {
    case SafeRename::Result::Renamed: break;
    case SafeRename::Result::Taken: return Outcome::Occupied;
    case SafeRename::Result::Failed:
        qCDebug(lcViewer) << "cannot move back" << entry.inTrash << "to" << entry.original << std::strerror(error);
        return Outcome::Failed;
    }
    trashed.removeLast();
    QFile::remove(recordOf(entry.inTrash));
    *restoredPath = entry.original;
    return Outcome::Done;
}

void TrashBin::setBeforeRestore(std::function<void(const QString &)> hook)
{
    beforeRestore = std::move(hook);
}

bool TrashBin::canRestore() const
{
    return !trashed.isEmpty();
}

QString TrashBin::message(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done: return QStringLiteral("已移到回收站");
    case Outcome::Missing: return QStringLiteral("文件已不存在");
    case Outcome::NoTrash: return QStringLiteral("此位置没有可用的回收站，文件未删除");
    case Outcome::Occupied: return QStringLiteral("原位置已有同名文件，未恢复");
    case Outcome::Lost: return QStringLiteral("回收站中已找不到该文件");
    case Outcome::NothingToRestore: return QStringLiteral("没有可恢复的文件");
    case Outcome::NotAFile: return QStringLiteral("不是图片文件，未移到回收站");
    case Outcome::Failed: return QStringLiteral("无法恢复，文件仍在回收站中");
    }
    return QString();
}
