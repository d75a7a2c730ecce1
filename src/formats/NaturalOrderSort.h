#pragma once

#include <QStringList>

#include <algorithm>
#include <numeric>
#include <vector>

namespace NaturalOrder {

// The system's collation of two names (negative, zero, positive): locale-aware,
// digit runs by value, case-sensitive; equal names here may still differ.
int collate(const QString &a, const QString &b);

// Sorts names by compare(a, b) on their indexes (negative, zero, positive); names it
// finds equal (img01 / img1) are ordered by code point, so the result never depends
// on the input order.
template<typename Compare> void sortByComparison(QStringList &names, Compare compare)
{
    std::vector<int> order(static_cast<size_t>(names.size()));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const int byCollation = compare(a, b);
        if (byCollation != 0)
            return byCollation < 0;
        return names.at(a) < names.at(b);
    });

    QStringList sorted;
    sorted.reserve(names.size());
    for (int index : order)
        sorted.append(names.at(index));
    names = sorted;
}

} // namespace NaturalOrder
