#include "formats/NaturalOrder.h"

#include "NaturalOrderSort.h"

#include <QCollator>
#include <QCollatorSortKey>

#include <vector>

namespace NaturalOrder {

namespace {

QCollator naturalCollator()
{
    QCollator collator(collationLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    return collator;
}

} // namespace

int collate(const QString &a, const QString &b)
{
    return naturalCollator().compare(a, b);
}

QVector<int> order(const QStringList &names)
{
    const QCollator collator = naturalCollator();

    // One key per name instead of a full collation per comparison keeps folders
    // with thousands of files quick.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(static_cast<size_t>(names.size()));
    for (const QString &name : qAsConst(names))
        keys.push_back(collator.sortKey(name));

    return orderByComparison(
        names, [&](int a, int b) { return keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]); });
}

} // namespace NaturalOrder
