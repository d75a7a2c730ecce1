#include "NameReservation.h"

#include <QFileInfo>
#include <QMutex>
#include <QSet>

namespace {

QBasicMutex registryMutex;

// Built when the library loads, not on first use: a worker may still release its
// names while exit() destroys statics, and those made after the shutdown hook was
// registered go first (see BatchJob).
QSet<QString> claimedNames;

QSet<QString> &registry()
{
    return claimedNames;
}

} // namespace

NameReservation::~NameReservation()
{
    releaseAll();
}

QString NameReservation::claim(const std::function<QString(const OutputNaming::ExistsFn &)> &pick)
{
    return claimAll([&pick](const OutputNaming::ExistsFn &exists) { return QStringList{pick(exists)}; }).first();
}

QStringList NameReservation::claimAll(const std::function<QStringList(const OutputNaming::ExistsFn &)> &pick)
{
    QMutexLocker lock(&registryMutex);
    const OutputNaming::ExistsFn exists = [](const QString &path) {
        return registry().contains(path) || QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    };
    const QStringList paths = pick(exists);
    for (const QString &path : paths)
        registry().insert(path);
    reservedNames << paths;
    return paths;
}

void NameReservation::releaseAll()
{
    QMutexLocker lock(&registryMutex);
    for (const QString &path : qAsConst(reservedNames))
        registry().remove(path);
    reservedNames.clear();
}
