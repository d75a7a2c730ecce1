#include "formats/NaturalOrder.h"

#include "NaturalOrderSort.h"

namespace NaturalOrder {

QLocale collationLocale()
{
    const QLocale user;
    if (user.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return user;
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
    const int byCollation = collate(a, b);
    if (byCollation != 0)
        return byCollation;
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace NaturalOrder
