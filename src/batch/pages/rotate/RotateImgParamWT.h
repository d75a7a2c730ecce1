#pragma once

#include "batch/shell/BatchParamWT.h"

class StyledComboBox;
class StyledLineEdit;

// Settings of the rotate and flip page: an angle (presets write the field, the
// field is what counts) and the two mirrors.
class RotateImgParamWT : public BatchParamWT
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
    // reads, in plain decimal; an empty text (no rotation) and any text that is
    // not a number are passed as they are.
    static QString angleText(const QString &fieldText);

    explicit RotateImgParamWT(QWidget *parent = nullptr);

    StyledComboBox *degreeBox() const { return degreeCombo; }
    StyledLineEdit *angleEdit() const { return angleField; }
    StyledComboBox *flopBox() const { return flopCombo; }
    StyledComboBox *flipBox() const { return flipCombo; }

    // angleText() of the field; empty means no rotation argument at all.
    QString rotateDegree() const;
    bool isFlop() const;
    bool isFlip() const;

public slots:
    void chooseSettingDegree(int index);

private:
    StyledComboBox *degreeCombo;
    StyledLineEdit *angleField;
    StyledComboBox *flopCombo;
    StyledComboBox *flipCombo;
};
