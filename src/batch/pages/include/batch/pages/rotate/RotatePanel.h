#pragma once

#include "batch/shell/SettingsPanel.h"
#include "batch/shell/SettingsPart.h"

class CaptionLabel;
class StyledComboBox;
class NumberField;

// The turn: a preset angle and the angle field. They show one angle: a preset
// chosen writes the field, a number typed in the field selects its preset, or
// "自定义" for any other text.
class AngleRows : public SettingsPart
{
    Q_OBJECT

public:
    // "0度（不旋转）", "90度", "180度", "270度", "自定义".
    static QStringList degreeNames();
    // The angle text a preset writes: "0", "90", "180", "270"; a null string for
    // "自定义" and an index outside the list (the field is then left alone).
    static QString presetAngle(int index);
    // The preset of a typed field text: the index whose angle the text reads as,
    // else the index of "自定义".
    static int presetOf(const QString &fieldText);

    explicit AngleRows(QWidget *panel);

    StyledComboBox *degreeBox() const { return degreeCombo; }
    NumberField *angleEdit() const { return angleField; }

    int place(QGridLayout *grid, int row) override;
    // The angle (-360 to 360, "-045" as -45).
    QString readInto(JobSettings &settings) const override;

    void choosePreset(int index);

private:
    void angleTyped(const QString &text);

    StyledComboBox *degreeCombo;
    NumberField *angleField;
    CaptionLabel *degreeLabel;
    CaptionLabel *angleLabel;
};

// The two mirrors, "否" or "是" each.
class MirrorRows : public SettingsPart
{
    Q_OBJECT

public:
    explicit MirrorRows(QWidget *panel);

    StyledComboBox *flopBox() const { return flopCombo; }
    StyledComboBox *flipBox() const { return flipCombo; }
    bool isFlop() const;
    bool isFlip() const;

    int place(QGridLayout *grid, int row) override;
    QString readInto(JobSettings &settings) const override;

private:
    StyledComboBox *flopCombo;
    StyledComboBox *flipCombo;
    CaptionLabel *flopLabel;
    CaptionLabel *flipLabel;
};

// Settings of the rotate and flip page: an angle and the two mirrors.
class RotatePanel : public SettingsPanel
{
    Q_OBJECT

public:
    explicit RotatePanel(QWidget *parent = nullptr);

    AngleRows *angleRows() const { return anglePart; }
    MirrorRows *mirrorRows() const { return mirrorPart; }

private:
    AngleRows *anglePart;
    MirrorRows *mirrorPart;
};
