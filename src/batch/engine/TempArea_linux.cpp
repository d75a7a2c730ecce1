#include "TempArea.h"

#include "TempAreaSystem.h"
#include "batch/engine/BatchPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace TempArea {

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

QString secondRoot(const QString &root, QString *why)
{
    // No home to write in: a private folder of our own elsewhere.
    const QString fallback = fallbackTempDir(qEnvironmentVariable("XDG_RUNTIME_DIR"), ::geteuid());
    if (::mkdir(QFile::encodeName(fallback).constData(), 0700) != 0 && errno != EEXIST)
        *why = QStringLiteral("cannot create the temporary folder %1 or %2").arg(root, fallback);
    else
        *why = rootProblem(fallback);
    return fallback;
}

} // namespace TempArea
