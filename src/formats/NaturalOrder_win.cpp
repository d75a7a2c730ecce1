#include "formats/NaturalOrder.h"

#include "NaturalOrderSort.h"

#include <windows.h>

namespace NaturalOrder {

// Explorer's order: the user's locale, digit runs by value, case as the language
// has it.
void sort(QStringList &names)
{
    sortByComparison(names, [&](int a, int b) {
        const QString &left = names.at(a);
        const QString &right = names.at(b);
        const int result
            = ::CompareStringEx(LOCALE_NAME_USER_DEFAULT, SORT_DIGITSASNUMBERS | NORM_LINGUISTIC_CASING,
                                reinterpret_cast<LPCWCH>(left.utf16()), left.size(),
                                reinterpret_cast<LPCWCH>(right.utf16()), right.size(), nullptr, nullptr, 0);
        return result == 0 ? 0 : result - CSTR_EQUAL;
    });
}

} // namespace NaturalOrder
