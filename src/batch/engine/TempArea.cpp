#include "TempArea.h"

#include "BatchLog.h"
#include "batch/engine/BatchPaths.h"
#include "LockedFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace TempArea {

QString chooseTempDir(const QString &appDir, const QString &cacheDir,
                      const std::function<bool(const QString &)> &isWritable)
{
    const QString inApp = appDir + QStringLiteral("/temp");
    const QFileInfo info(inApp);
    const bool usable = info.exists() ? info.isDir() && isWritable(inApp) : isWritable(appDir);
    return usable ? inApp : cacheDir + QStringLiteral("/quorvane/temp");
}

QString jobTempDir()
{
    const QString appDir = BatchPaths::appDir();
    // An installed program (its private files in ../lib/quorvane) never writes beside
    // its binary, not even when it could (run as root).
    const bool installed = QFileInfo(appDir + QStringLiteral("/../lib/quorvane")).isDir();
    return chooseTempDir(appDir, QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
                         [installed](const QString &path) { return !installed && QFileInfo(path).isWritable(); });
}

QString fallbackTempDir(const QString &runtimeDir, uint uid)
{
    if (!runtimeDir.isEmpty() && QFileInfo(runtimeDir).isDir())
        return QDir(runtimeDir).filePath(QStringLiteral("quorvane"));
    return QStringLiteral("/tmp/quorvane-%1").arg(uid);
}

QString rootProblem(const QString &root)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(root).constData(), &info) != 0)
        return QStringLiteral("cannot use the temporary folder %1: %2").arg(root, qt_error_string(errno));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("the temporary folder %1 is a symbolic link; "
                              "the program only works in a folder of its own (make it a real folder)")
            .arg(root);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("the temporary folder %1 is not a folder").arg(root);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("the temporary folder %1 belongs to another user").arg(root);
    return QString();
}

QString usableRoot(QString *problem)
{
    const QString root = jobTempDir();
    QString why;
    if (QFileInfo(root).isSymLink() || QDir().mkpath(root)) {
        why = rootProblem(root);
        if (problem)
            *problem = why;
        return why.isEmpty() ? root : QString();
    }
    // No home to write in: a private folder of our own elsewhere.
    const QString fallback = fallbackTempDir(qEnvironmentVariable("XDG_RUNTIME_DIR"), ::geteuid());
    if (::mkdir(QFile::encodeName(fallback).constData(), 0700) != 0 && errno != EEXIST)
        why = QStringLiteral("cannot create the temporary folder %1 or %2").arg(root, fallback);
    else
        why = rootProblem(fallback);
    if (problem)
        *problem = why;
    return why.isEmpty() ? fallback : QString();
}

bool ensureJobTempDir()
{
    return QDir().mkpath(jobTempDir());
}

QStringList staleFolders(const QString &root)
{
    return LockedFolder::abandoned(root, QLatin1String(kFolderPrefix));
}

void sweep()
{
    const QString root = usableRoot();
    if (root.isEmpty())
        return;
    const QStringList removed = LockedFolder::sweep(root, QLatin1String(kFolderPrefix));
    for (const QString &name : removed)
        qCDebug(lcBatch) << "swept the abandoned temporary folder" << name;
}

} // namespace TempArea

TempFolder::TempFolder()
{
    static std::once_flag swept;
    std::call_once(swept, TempArea::sweep);
    const QString root = TempArea::usableRoot(&problemText);
    if (root.isEmpty())
        return;
    folder = std::make_unique<LockedFolder>(root, QLatin1String(TempArea::kFolderPrefix));
    if (folder->path().isEmpty())
        problemText = QStringLiteral("cannot create a temporary folder in %1: %2").arg(root, folder->problem());
}

TempFolder::~TempFolder() = default;

QString TempFolder::path() const
{
    return folder ? folder->path() : QString();
}
