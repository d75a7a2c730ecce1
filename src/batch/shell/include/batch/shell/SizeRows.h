#pragma once

#include "batch/engine/BatchCatalogue.h"
#include "batch/shell/SettingsPart.h"

class CaptionLabel;
class NumberField;
class StyledComboBox;
class QWidget;

// The size rows that the convert, resize and compression pages share: "设置大小："
// with a preset combo, then width and height fields that are hidden for
// "原始尺寸" and shown empty for "自定义"; a preset with a size (the resize page's)
// fills them, still editable: a start reads the fields, not the preset.
class SizeRows : public SettingsPart
{
    Q_OBJECT

public:
    enum Presets {
        OriginalOrCustom, // "原始尺寸" and "自定义"
        AllPresets, // the catalogue's presets, from "原始尺寸" to "自定义"
    };
    enum { OriginalSize = BatchCatalogue::OriginalSize, CustomSize = BatchCatalogue::CustomSize };

    // The widgets are made children of panel.
    SizeRows(Presets presets, QWidget *panel);

    StyledComboBox *sizeBox() const { return sizeCombo; }
    NumberField *outputWidthEdit() const { return widthEdit; }
    NumberField *outputHeightEdit() const { return heightEdit; }
    QString widthText() const;
    QString heightText() const;

    int place(QGridLayout *grid, int row) override;
    // The width and height; a side left empty is not given.
    QString readInto(JobSettings &settings) const override;

    // The preset chosen at index: hides, empties or fills the fields.
    void choosePreset(int index);

private:
    void setFieldsVisible(bool visible);

    StyledComboBox *sizeCombo;
    NumberField *widthEdit;
    NumberField *heightEdit;
    CaptionLabel *sizeLabel;
    CaptionLabel *widthLabel;
    CaptionLabel *heightLabel;
};
