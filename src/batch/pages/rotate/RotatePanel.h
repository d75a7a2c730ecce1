#pragma once

#include "batch/shell/BatchParamWT.h"

#include <optional>

class StyledComboBox;
class StyledLineEdit;

// Settings of the rotate and flip page: an angle (presets write the field, the
// field is what counts) and the two mirrors.
class RotatePanel : public BatchParamWT
{
    Q_OBJECT

public:
    // "0度（不旋转）", "90度", "180度", "270度", "自定义".
    static QStringList degreeNames();
    // The angle text a preset writes: "0", "90", "180", "270", "" for custom;
    // a null string for an index outside the list (the field is then left alone).
    static QString presetAngle(int index);

    // The angle field takes -360 to 360 (BatchCatalogue::kMaxAngle).
    // What the job gets for the angle field's text: the number the field's rule
    // reads; none for an empty text (no rotation argument at all).
    static std::optional<int> angle(const QString &fieldText);
    // A text that is neither empty nor such a number (a lone "-"): the job cannot
    // turn by it, so every row fails with this reason rather than quietly turning
    // by another angle or none. Empty for a usable text.
    static QString angleProblem(const QString &fieldText);

    explicit RotatePanel(QWidget *parent = nullptr);

    StyledComboBox *degreeBox() const { return degreeCombo; }
    StyledLineEdit *angleEdit() const { return angleField; }
    StyledComboBox *flopBox() const { return flopCombo; }
    StyledComboBox *flipBox() const { return flipCombo; }

    // angle() of the field.
    std::optional<int> degrees() const;
    bool isFlop() const;
    bool isFlip() const;

    JobSettings settings() const override;
    QString settingsProblem() const override;

public slots:
    void chooseSettingDegree(int index);

private:
    StyledComboBox *degreeCombo;
    StyledLineEdit *angleField;
    StyledComboBox *flopCombo;
    StyledComboBox *flipCombo;
};
