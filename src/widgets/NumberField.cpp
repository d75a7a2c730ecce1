#include "widgets/NumberField.h"

namespace {

const QString kNormalStyle
    = QStringLiteral("NumberField{border:1px solid #027DF0;border-radius:5px;padding-left:5px;color:#484848;}");
const QString kRefusedStyle = QStringLiteral(
    "NumberField{border:1px solid #E5484D;border-radius:5px;padding-left:5px;color:#484848;background:#FFF0F0;}");

bool isAsciiDigits(QStringView text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

} // namespace

NumberRule::Reading NumberRule::read(const QString &text) const
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {emptyMeansNone ? Verdict::NotGiven : Verdict::Refused, 0};
    const bool negative = trimmed.startsWith(QLatin1Char('-'));
    if (negative && bottom >= 0)
        return {};
    if (!isAsciiDigits(QStringView(trimmed).mid(negative ? 1 : 0)))
        return {};
    bool ok = false;
    const int number = trimmed.toInt(&ok, 10);
    if (!ok || number < bottom || number > top) // also more digits than an int holds
        return {};
    return {Verdict::Number, number};
}

QString NumberRule::message() const
{
    return QStringLiteral("%1–%2 的整数").arg(bottom).arg(top);
}

NumberField::NumberField(const NumberRule &rule, QWidget *parent)
    : StyledLineEdit(parent)
    , numberRule(rule)
{
    connect(this, &QLineEdit::textChanged, this, &NumberField::showVerdict);
    showVerdict();
}

std::optional<int> NumberField::value() const
{
    const NumberRule::Reading reading = numberRule.read(text());
    if (reading.verdict != NumberRule::Verdict::Number)
        return std::nullopt;
    return reading.value;
}

bool NumberField::isRefused() const
{
    return numberRule.read(text()).verdict == NumberRule::Verdict::Refused;
}

QString NumberField::problem() const
{
    return isRefused() ? numberRule.message() : QString();
}

void NumberField::setHint(const QString &hint)
{
    hintText = hint;
    showVerdict();
}

void NumberField::showVerdict()
{
    const bool refused = isRefused();
    setStyleSheet(refused ? kRefusedStyle : kNormalStyle);
    setToolTip(refused ? numberRule.message() : hintText);
    setProperty("refused", refused);
}
