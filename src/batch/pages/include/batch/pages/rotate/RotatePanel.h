#pragma once

#include "batch/shell/SettingsPanel.h"

#include <optional>

class StyledComboBox;
class NumberField;

// Settings of the rotate and flip page: an angle and the two mirrors. The page
// shows one angle: a preset chosen writes the field, a number typed in the field
// selects its preset, or "自定义" for any other text.
class RotatePanel : public SettingsPanel
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

    explicit RotatePanel(QWidget *parent = nullptr);

    StyledComboBox *degreeBox() const { return degreeCombo; }
    NumberField *angleEdit() const { return angleField; }
    StyledComboBox *flopBox() const { return flopCombo; }
    StyledComboBox *flipBox() const { return flipCombo; }

    // The angle the field holds (-360 to 360, "-045" as -45); none for a text its
    // rule refuses, which the page's start refuses first (settingsProblem()).
    std::optional<int> degrees() const;
    bool isFlop() const;
    bool isFlip() const;

    JobSettings settings() const override;

public slots:
    void chooseSettingDegree(int index);

private:
    void angleTyped(const QString &text);

    StyledComboBox *degreeCombo;
    NumberField *angleField;
    StyledComboBox *flopCombo;
    StyledComboBox *flipCombo;
};
