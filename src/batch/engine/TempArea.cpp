#include "batch/engine/TempArea.h"

#include "batch/engine/BatchLog.h"
#include "batch/engine/BatchPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <sys/stat.h>

namespace {

std::atomic_int folderCounter{0};

} // namespace

namespace TempArea {

namespace {

bool processRuns(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

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
    const QString appDir = BatchPaths::appDir();
    // An installed program (its private files in ../lib/quorvane) never writes beside
    // its binary, not even when it could (run as root).
    const bool installed = QFileInfo(appDir + QStringLiteral("/../lib/quorvane")).isDir();
    return chooseTempDir(appDir, QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
                         [installed](const QString &path) { return !installed && QFileInfo(path).isWritable(); });
}

bool ensureJobTempDir()
{
    return QDir().mkpath(jobTempDir());
}

QStringList staleFolders(const QString &root, const std::function<bool(qint64)> &isRunning)
{
    static const QRegularExpression name(QStringLiteral("^([1-9]\\d{0,9})-\\d+$"));
    QStringList stale;
    const QFileInfoList entries
        = QDir(root).entryInfoList(QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = name.match(entry.fileName());
        if (match.hasMatch() && !isRunning(match.captured(1).toLongLong()))
            stale << entry.fileName();
    }
    return stale;
}

void sweep()
{
    const QString root = jobTempDir();
    const QStringList stale = staleFolders(root, processRuns);
    for (const QString &name : stale) {
        qCDebug(lcBatch) << "clear temp ==================" << name;
        QDir(root + QLatin1Char('/') + name).removeRecursively();
    }
}

} // namespace TempArea

TempFolder::TempFolder()
{
    static std::once_flag swept;
    std::call_once(swept, TempArea::sweep);
    // Chosen once: the choice looks at the disk, and this runs for every file.
    const QString root = TempArea::jobTempDir();
    if (!QDir().mkpath(root)) {
        problemText = QStringLiteral("cannot create the temporary folder ") + root;
        return;
    }
    const qint64 pid = QCoreApplication::applicationPid();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString path = QStringLiteral("%1/%2-%3").arg(root).arg(pid).arg(++folderCounter);
        if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0) {
            folderPath = path;
            return;
        }
        if (errno != EEXIST) {
            problemText = QStringLiteral("cannot create the temporary folder %1: %2").arg(path, qt_error_string(errno));
            return;
        }
    }
    problemText = QStringLiteral("cannot create a temporary folder in ") + root;
}

TempFolder::~TempFolder()
{
    if (!folderPath.isEmpty())
        QDir(folderPath).removeRecursively();
}
