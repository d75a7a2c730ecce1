#include "batch/shell/SizeRows.h"

#include "widgets/CaptionLabel.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"

namespace {
// Empty is "not given" (the placeholder says so); 0 is no size and is refused.
const NumberRule kSideRule{1, BatchCatalogue::kMaxSide, true};
} // namespace

SizeRows::SizeRows(Presets presets, QWidget *panel)
    : SettingsPart(panel)
    , sizeCombo(new StyledComboBox(panel))
    , widthEdit(new NumberField(kSideRule, panel))
    , heightEdit(new NumberField(kSideRule, panel))
    , sizeLabel(new CaptionLabel(QStringLiteral("设置大小："), panel))
    , widthLabel(new CaptionLabel(QStringLiteral("宽度(像素)："), panel))
    , heightLabel(new CaptionLabel(QStringLiteral("高度(像素)："), panel))
{
    widthEdit->setPlaceholderText(QStringLiteral("为空则等比例计算宽度"));
    widthEdit->setHint(QStringLiteral("为空则等比例计算宽度"));
    heightEdit->setPlaceholderText(QStringLiteral("为空则等比例计算高度"));
    heightEdit->setHint(QStringLiteral("为空则等比例计算高度"));

    for (const BatchCatalogue::SizePreset &preset : BatchCatalogue::sizePresets()) {
        if (presets == AllPresets || preset.code == BatchCatalogue::OriginalSize || preset.code == BatchCatalogue::CustomSize)
            sizeCombo->addItem(preset.label, preset.code);
    }
    connect(sizeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SizeRows::choosePreset);
    choosePreset(sizeCombo->currentIndex());
}

QString SizeRows::widthText() const
{
    return widthEdit->text();
}

QString SizeRows::heightText() const
{
    return heightEdit->text();
}

int SizeRows::place(QGridLayout *grid, int row)
{
    return addFields(grid, row, {{sizeLabel, sizeCombo}, {widthLabel, widthEdit}, {heightLabel, heightEdit}});
}

QString SizeRows::readInto(JobSettings &settings) const
{
    QString problem;
    settings.width = readNumber(widthEdit, problem);
    settings.height = readNumber(heightEdit, problem);
    return problem;
}

void SizeRows::choosePreset(int index)
{
    const int code = sizeCombo->itemData(index).toInt();
    if (code == OriginalSize || code == CustomSize) {
        setFieldsVisible(code == CustomSize);
        return;
    }
    const BatchCatalogue::SizePreset *preset = BatchCatalogue::presetByCode(code);
    if (!preset || preset->width < 0)
        return;
    setFieldsVisible(true);
    widthEdit->setText(QString::number(preset->width));
    heightEdit->setText(preset->height < 0 ? QString() : QString::number(preset->height));
}

void SizeRows::setFieldsVisible(bool visible)
{
    for (QWidget *widget : {static_cast<QWidget *>(widthLabel), static_cast<QWidget *>(heightLabel),
                            static_cast<QWidget *>(widthEdit), static_cast<QWidget *>(heightEdit)})
        widget->setVisible(visible);
    widthEdit->setText(QString());
    heightEdit->setText(QString());
}
