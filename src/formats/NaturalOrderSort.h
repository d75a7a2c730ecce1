#pragma once

#include <QStringList>
#include <QVector>

#include <algorithm>
#include <numeric>
#include <vector>

namespace NaturalOrder {

// The system's collation of two names (negative, zero, positive): locale-aware,
// digit runs by value, case-sensitive; equal names here may still differ.
int collate(const QString &a, const QString &b);

// The positions of names in the order of compare(a, b) on their indexes (negative,
// zero, positive); names it finds equal (img01 / img1) are ordered by code point, so
// the result never depends on the input order.
template<typename Compare> QVector<int> orderByComparison(const QStringList &names, Compare compare)
{
    QVector<int> positions(names.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::sort(positions.begin(), positions.end(), [&](int a, int b) {
        const int byCollation = compare(a, b);
        if (byCollation != 0)
            return byCollation < 0;
        return names.at(a) < names.at(b);
    });
    return positions;
}

} // namespace NaturalOrder
