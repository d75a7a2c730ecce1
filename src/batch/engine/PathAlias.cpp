#include "PathAlias.h"

#include "OutputNaming.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>

namespace {

std::atomic_int linkCounter{0};

} // namespace

bool PathAlias::needsAlias(const QString &path)
{
    const QLatin1String special("[]*?{}%");
    for (const QChar c : path) {
        if (special.contains(c))
            return true;
    }
    return false;
}

PathAlias::PathAlias(const QString &path, const QString &linkDir)
{
    if (!needsAlias(path)) {
        alias = path;
        return;
    }
    if (needsAlias(linkDir) || !QDir().mkpath(linkDir))
        return;
    const QString suffix = OutputNaming::sourceSuffix(path);
    for (int attempt = 0; attempt < 100 && linkPath.isEmpty(); ++attempt) {
        QString name
            = linkDir + QStringLiteral("/link-%1-%2").arg(QCoreApplication::applicationPid()).arg(++linkCounter);
        if (!suffix.isEmpty() && !needsAlias(suffix))
            name += QLatin1Char('.') + suffix;
        if (QFile::link(QFileInfo(path).absoluteFilePath(), name))
            linkPath = name;
    }
    alias = linkPath;
}

PathAlias::~PathAlias()
{
    if (!linkPath.isEmpty())
        QFile::remove(linkPath);
}
