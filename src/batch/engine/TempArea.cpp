#include "TempArea.h"

#include "BatchLog.h"
#include "LockedFolder.h"
#include "TempAreaSystem.h"

#include <QDir>
#include <QFileInfo>

#include <mutex>

namespace TempArea {

QString chooseTempDir(const QString &appDir, const QString &cacheDir,
                      const std::function<bool(const QString &)> &isWritable)
{
    const QString inApp = appDir + QStringLiteral("/temp");
    const QFileInfo info(inApp);
    const bool usable = info.exists() ? info.isDir() && isWritable(inApp) : isWritable(appDir);
    return usable ? inApp : cacheDir + QStringLiteral("/quorvane/temp");
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
    const QString fallback = secondRoot(root, &why);
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
