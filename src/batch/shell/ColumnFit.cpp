#include "ColumnFit.h"

#include <numeric>

namespace ColumnFit {

QList<int> widths(const QList<int> &preferred, const QList<int> &least, int nameColumn, int available)
{
    QList<int> result = preferred;
    const int total = std::accumulate(preferred.cbegin(), preferred.cend(), 0);
    if (available >= total) {
        result[nameColumn] += available - total;
        return result;
    }
    int missing = total - available;
    const int nameGives = qMin(missing, preferred.at(nameColumn) - least.at(nameColumn));
    result[nameColumn] -= nameGives;
    missing -= nameGives;

    int slack = 0;
    for (int column = 0; column < preferred.size(); ++column) {
        if (column != nameColumn)
            slack += preferred.at(column) - least.at(column);
    }
    if (missing == 0 || slack == 0)
        return result;
    if (missing >= slack) {
        for (int column = 0; column < preferred.size(); ++column) {
            if (column != nameColumn)
                result[column] = least.at(column);
        }
        return result;
    }
    // In proportion to each column's slack; what rounding leaves goes to the first that can give.
    int given = 0;
    for (int column = 0; column < preferred.size(); ++column) {
        if (column == nameColumn)
            continue;
        const int gives = (preferred.at(column) - least.at(column)) * missing / slack;
        result[column] -= gives;
        given += gives;
    }
    for (int column = 0; column < preferred.size() && given < missing; ++column) {
        if (column != nameColumn && result.at(column) > least.at(column)) {
            const int more = qMin(missing - given, result.at(column) - least.at(column));
            result[column] -= more;
            given += more;
        }
    }
    return result;
}

} // namespace ColumnFit
