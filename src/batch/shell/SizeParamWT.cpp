#include "batch/shell/SizeParamWT.h"

#include "widgets/BoundedIntValidator.h"
#include "widgets/StyledComboBox.h"
#include "widgets/StyledLineEdit.h"
#include "widgets/CaptionLabel.h"

QList<SizeParamWT::SizePreset> SizeParamWT::originalOrCustom()
{
    return {{BatchCatalogue::presetByCode(OriginalSize)->label, OriginalSize},
            {BatchCatalogue::presetByCode(CustomSize)->label, CustomSize}};
}

std::optional<int> SizeParamWT::fieldValue(const QString &text)
{
    // 0 pixels is no size at all: like an empty field, the picture keeps its own.
    const std::optional<int> value = BoundedIntValidator::read(text, 0, BatchCatalogue::kMaxSide);
    return value && *value > 0 ? value : std::nullopt;
}

SizeParamWT::SizeParamWT(const QString &startText, QWidget *parent)
    : BatchParamWT(startText, parent)
    , sizeCombo(new StyledComboBox(this))
    , widthEdit(new StyledLineEdit(this))
    , heightEdit(new StyledLineEdit(this))
    , widthLabel(new CaptionLabel(QStringLiteral("宽度(像素)："), this))
    , heightLabel(new CaptionLabel(QStringLiteral("高度(像素)："), this))
{
    widthEdit->setValidator(new BoundedIntValidator(0, BatchCatalogue::kMaxSide, this));
    heightEdit->setValidator(new BoundedIntValidator(0, BatchCatalogue::kMaxSide, this));
    widthEdit->setPlaceholderText(QStringLiteral("为空则等比例计算宽度"));
    widthEdit->setToolTip(QStringLiteral("为空则等比例计算宽度"));
    heightEdit->setPlaceholderText(QStringLiteral("为空则等比例计算高度"));
    heightEdit->setToolTip(QStringLiteral("为空则等比例计算高度"));
}

QString SizeParamWT::widthText() const
{
    return widthEdit->text();
}

QString SizeParamWT::heightText() const
{
    return heightEdit->text();
}

void SizeParamWT::addSizeRows(int row, const QList<SizePreset> &presets)
{
    for (const SizePreset &preset : presets)
        sizeCombo->addItem(preset.text, preset.code);
    addField(row, new CaptionLabel(QStringLiteral("设置大小："), this), sizeCombo);
    addField(row + 1, widthLabel, widthEdit);
    addField(row + 2, heightLabel, heightEdit);
    connect(sizeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SizeParamWT::chooseSettingSize);
    chooseSettingSize(sizeCombo->currentIndex());
}

void SizeParamWT::chooseSettingSize(int index)
{
    const int code = sizeCombo->itemData(index).toInt();
    if (code == OriginalSize)
        hideSizeRows();
    else if (code == CustomSize)
        showSizeRows();
    else
        applySizePreset(code);
}

void SizeParamWT::hideSizeRows()
{
    setSizeRowsVisible(false);
}

void SizeParamWT::showSizeRows()
{
    setSizeRowsVisible(true);
}

void SizeParamWT::setSizeRowsVisible(bool visible)
{
    for (QWidget *widget : {static_cast<QWidget *>(widthLabel), static_cast<QWidget *>(heightLabel),
                            static_cast<QWidget *>(widthEdit), static_cast<QWidget *>(heightEdit)})
        widget->setVisible(visible);
    widthEdit->setText(QString());
    heightEdit->setText(QString());
}

void SizeParamWT::applySizePreset(int) { }
