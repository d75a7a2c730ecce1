#include "batch/engine/TempArea.h"

#include "batch/engine/BatchLog.h"
#include "batch/engine/BatchPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

namespace TempArea {

namespace {

QBasicMutex jobsMutex;
int runningJobs = 0;

} // namespace

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
    return chooseTempDir(BatchPaths::appDir(), QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
                         [](const QString &path) { return QFileInfo(path).isWritable(); });
}

bool ensureJobTempDir()
{
    return QDir().mkpath(jobTempDir());
}

void clear(const QString &dir)
{
    qCDebug(lcBatch) << "clear temp ==================";
    const QDir folder(dir);
    const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System
                                                       | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir())
            QDir(entry.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(entry.absoluteFilePath());
    }
}

void jobStarted()
{
    QMutexLocker lock(&jobsMutex);
    ++runningJobs;
}

void jobEnded()
{
    QMutexLocker lock(&jobsMutex);
    if (--runningJobs == 0)
        clear(jobTempDir());
}

} // namespace TempArea
