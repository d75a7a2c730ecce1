#include "formats/NaturalOrder.h"

#include "NaturalOrderSort.h"

#include <windows.h>

namespace NaturalOrder {

// Explorer's order: the user's locale, digit runs by value, case as the language
// has it.
int collate(const QString &a, const QString &b)
{
    const int result = ::CompareStringEx(LOCALE_NAME_USER_DEFAULT, SORT_DIGITSASNUMBERS | NORM_LINGUISTIC_CASING,
                                         reinterpret_cast<LPCWCH>(a.utf16()), a.size(),
                                         reinterpret_cast<LPCWCH>(b.utf16()), b.size(), nullptr, nullptr, 0);
    return result == 0 ? 0 : result - CSTR_EQUAL;
}

QVector<int> order(const QStringList &names)
{
    return orderByComparison(names, [&](int a, int b) { return collate(names.at(a), names.at(b)); });
}

} // namespace NaturalOrder
