#include "batch/engine/PathAlias.h"

#include "batch/engine/OutputNaming.h"

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
        alias_ = path;
        return;
    }
    if (needsAlias(linkDir) || !QDir().mkpath(linkDir))
        return;
    const QString suffix = OutputNaming::sourceSuffix(path);
    for (int attempt = 0; attempt < 100 && link_.isEmpty(); ++attempt) {
        QString name
            = linkDir + QStringLiteral("/link-%1-%2").arg(QCoreApplication::applicationPid()).arg(++linkCounter);
        if (!suffix.isEmpty() && !needsAlias(suffix))
            name += QLatin1Char('.') + suffix;
        if (QFile::link(QFileInfo(path).absoluteFilePath(), name))
            link_ = name;
    }
    alias_ = link_;
}

PathAlias::~PathAlias()
{
    if (!link_.isEmpty())
        QFile::remove(link_);
}
