#include "formats/NaturalOrder.h"

#include <QCollator>
#include <QCollatorSortKey>

#include <algorithm>
#include <numeric>
#include <vector>

namespace NaturalOrder {

QLocale collationLocale()
{
    const QLocale user;
    if (user.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return user;
}

namespace {

QCollator naturalCollator()
{
    QCollator collator(collationLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    return collator;
}

} // namespace

QVector<int> order(const QStringList &names)
{
    const QCollator collator = naturalCollator();

    // One key per name instead of a full collation per comparison keeps folders
    // with thousands of files quick.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(static_cast<size_t>(names.size()));
    for (const QString &name : qAsConst(names))
        keys.push_back(collator.sortKey(name));

    QVector<int> positions(names.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::sort(positions.begin(), positions.end(), [&](int a, int b) {
        const int byKey = keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]);
        if (byKey != 0)
            return byKey < 0;
        return names.at(a) < names.at(b);
    });
    return positions;
}

void sort(QStringList &names)
{
    QStringList sorted;
    sorted.reserve(names.size());
    for (int index : order(names))
        sorted.append(names.at(index));
    names = sorted;
}

int compare(const QString &a, const QString &b)
{
    const int byCollator = naturalCollator().compare(a, b);
    if (byCollator != 0)
        return byCollator;
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace NaturalOrder
