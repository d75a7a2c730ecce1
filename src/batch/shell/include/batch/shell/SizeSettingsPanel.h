#pragma once

#include "batch/engine/BatchCatalogue.h"
#include "batch/shell/SettingsPanel.h"

#include <QList>

#include <optional>

class StyledComboBox;
class NumberField;
class CaptionLabel;

// A parameter panel with the size rows that the convert, resize and compression
// pages share: "设置大小：" with a preset combo, then width and height fields that
// are hidden for "原始尺寸" (code 0) and shown empty for "自定义" (code 50).
// Other preset codes go to applySizePreset(), which the resize page overrides.
class SizeSettingsPanel : public SettingsPanel
{
    Q_OBJECT

public:
    struct SizePreset
    {
        QString text;
        int code; // item data (Qt::UserRole) of the size combo
    };

    enum { OriginalSize = BatchCatalogue::OriginalSize, CustomSize = BatchCatalogue::CustomSize };

    // "原始尺寸" and "自定义".
    static QList<SizePreset> originalOrCustom();

    explicit SizeSettingsPanel(const QString &startText, QWidget *parent = nullptr);

    StyledComboBox *sizeBox() const { return sizeCombo; }
    NumberField *outputWidthEdit() const { return widthEdit; }
    NumberField *outputHeightEdit() const { return heightEdit; }

    QString widthText() const;
    QString heightText() const;
    // The number in the field, or none ("not given") for an empty one. A page
    // asks fieldProblem() first: a refused text is never read as a size.
    std::optional<int> outputWidth() const;
    std::optional<int> outputHeight() const;

public slots:
    void chooseSettingSize(int index);

protected:
    // Places the size combo at row and the width and height rows under it, fills
    // the combo and shows the state of its first preset.
    void addSizeRows(int row, const QList<SizePreset> &presets);

    void hideSizeRows();
    void showSizeRows();

    // A preset other than original size and custom was chosen.
    virtual void applySizePreset(int code);

private:
    void setSizeRowsVisible(bool visible);

    StyledComboBox *sizeCombo;
    NumberField *widthEdit;
    NumberField *heightEdit;
    CaptionLabel *widthLabel;
    CaptionLabel *heightLabel;
};
