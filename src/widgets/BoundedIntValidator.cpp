#include "widgets/BoundedIntValidator.h"

namespace {

bool isAsciiDigits(QStringView text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

BoundedIntValidator::BoundedIntValidator(int bottom, int top, QObject *parent)
    : QIntValidator(bottom, top, parent)
{ }

QValidator::State BoundedIntValidator::validate(QString &input, int &) const
{
    return check(input, bottom(), top());
}

void BoundedIntValidator::fixup(QString &) const { }

QValidator::State BoundedIntValidator::check(const QString &text, int bottom, int top)
{
    const bool negative = bottom < 0 && text.startsWith(QLatin1Char('-'));
    const QStringView digits = QStringView(text).mid(negative ? 1 : 0);
    if (digits.isEmpty())
        return Intermediate;
    if (!isAsciiDigits(digits))
        return Invalid;
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok) // more digits than an int holds
        return Invalid;
    if (number >= bottom && number <= top)
        return Acceptable;
    // More digits only move a number further from 0: one already past the
    // range on its own side of 0 stays outside.
    if ((number > top && number >= 0) || (number < bottom && number <= 0))
        return Invalid;
    return Intermediate;
}

std::optional<int> BoundedIntValidator::read(const QString &text, int bottom, int top)
{
    if (check(text, bottom, top) != Acceptable)
        return std::nullopt;
    return text.toInt(nullptr, 10);
}
