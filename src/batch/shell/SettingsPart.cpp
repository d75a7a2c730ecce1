#include "batch/shell/SettingsPart.h"

#include "widgets/NumberField.h"

#include <QGridLayout>

int SettingsPart::addFields(QGridLayout *grid, int row, std::initializer_list<Field> fields)
{
    for (const Field &field : fields) {
        grid->addWidget(field.caption, row, 0);
        grid->addWidget(field.field, row, 1, 1, 3);
        ++row;
    }
    return row;
}

std::optional<int> SettingsPart::readNumber(const NumberField *field, QString &problem)
{
    if (field->isHidden())
        return std::nullopt;
    const NumberRule::Reading reading = field->rule().read(field->text());
    switch (reading.verdict) {
    case NumberRule::Verdict::Number: return reading.value;
    case NumberRule::Verdict::NotGiven: return std::nullopt;
    case NumberRule::Verdict::Refused:
        if (problem.isEmpty())
            problem = field->rule().message();
        return std::nullopt;
    }
    return std::nullopt;
}
