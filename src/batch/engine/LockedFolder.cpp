#include "LockedFolder.h"

#include "LockedFolderSystem.h"

namespace LockedFolderSystem {

QRegularExpression namePattern(const QString &prefix)
{
    return QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(prefix) + QStringLiteral("[0-9a-f]{16}$"));
}

} // namespace LockedFolderSystem

QStringList LockedFolder::sweep(const QString &parent, const QString &prefix,
                                const std::function<void(const QString &name)> &beforeRemoval)
{
    QStringList removed;
    const QStringList names = abandoned(parent, prefix);
    for (const QString &name : names) {
        if (beforeRemoval)
            beforeRemoval(name);
        if (LockedFolderSystem::removeAbandoned(parent, name))
            removed << name;
    }
    return removed;
}
