#include "batch/shell/SizeSettingsPanel.h"

#include "widgets/CaptionLabel.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"

QList<SizeSettingsPanel::SizePreset> SizeSettingsPanel::originalOrCustom()
{
    return {{BatchCatalogue::presetByCode(OriginalSize)->label, OriginalSize},
            {BatchCatalogue::presetByCode(CustomSize)->label, CustomSize}};
}

namespace {
// Empty is "not given" (the placeholder says so); 0 is no size and is refused.
const NumberRule kSideRule{1, BatchCatalogue::kMaxSide, true};
} // namespace

SizeSettingsPanel::SizeSettingsPanel(const QString &startText, QWidget *parent)
    : SettingsPanel(startText, parent)
    , sizeCombo(new StyledComboBox(this))
    , widthEdit(new NumberField(kSideRule, this))
    , heightEdit(new NumberField(kSideRule, this))
    , widthLabel(new CaptionLabel(QStringLiteral("宽度(像素)："), this))
    , heightLabel(new CaptionLabel(QStringLiteral("高度(像素)："), this))
{
    widthEdit->setPlaceholderText(QStringLiteral("为空则等比例计算宽度"));
    widthEdit->setHint(QStringLiteral("为空则等比例计算宽度"));
    heightEdit->setPlaceholderText(QStringLiteral("为空则等比例计算高度"));
    heightEdit->setHint(QStringLiteral("为空则等比例计算高度"));
}

QString SizeSettingsPanel::widthText() const
{
    return widthEdit->text();
}

QString SizeSettingsPanel::heightText() const
{
    return heightEdit->text();
}

std::optional<int> SizeSettingsPanel::outputWidth() const
{
    return widthEdit->value();
}

std::optional<int> SizeSettingsPanel::outputHeight() const
{
    return heightEdit->value();
}

void SizeSettingsPanel::addSizeRows(int row, const QList<SizePreset> &presets)
{
    for (const SizePreset &preset : presets)
        sizeCombo->addItem(preset.text, preset.code);
    addField(row, new CaptionLabel(QStringLiteral("设置大小："), this), sizeCombo);
    addField(row + 1, widthLabel, widthEdit);
    addField(row + 2, heightLabel, heightEdit);
    connect(sizeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SizeSettingsPanel::chooseSettingSize);
    chooseSettingSize(sizeCombo->currentIndex());
}

void SizeSettingsPanel::chooseSettingSize(int index)
{
    const int code = sizeCombo->itemData(index).toInt();
    if (code == OriginalSize)
        hideSizeRows();
    else if (code == CustomSize)
        showSizeRows();
    else
        applySizePreset(code);
}

void SizeSettingsPanel::hideSizeRows()
{
    setSizeRowsVisible(false);
}

void SizeSettingsPanel::showSizeRows()
{
    setSizeRowsVisible(true);
}

void SizeSettingsPanel::setSizeRowsVisible(bool visible)
{
    for (QWidget *widget : {static_cast<QWidget *>(widthLabel), static_cast<QWidget *>(heightLabel),
                            static_cast<QWidget *>(widthEdit), static_cast<QWidget *>(heightEdit)})
        widget->setVisible(visible);
    widthEdit->setText(QString());
    heightEdit->setText(QString());
}

void SizeSettingsPanel::applySizePreset(int) { }
