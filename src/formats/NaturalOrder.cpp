#include "formats/NaturalOrder.h"

namespace NaturalOrder {

QLocale collationLocale()
{
    const QLocale user;
    if (user.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return user;
}

} // namespace NaturalOrder
