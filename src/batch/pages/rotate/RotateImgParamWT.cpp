#include "batch/pages/rotate/RotateImgParamWT.h"

#include "batch/engine/BatchCatalogue.h"
#include "widgets/CaptionLabel.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"

#include <QGridLayout>
#include <QSignalBlocker>

namespace {

const NumberRule kAngleRule{-BatchCatalogue::kMaxAngle, BatchCatalogue::kMaxAngle, false};
const QStringList kPresetAngles
    = {QStringLiteral("0"), QStringLiteral("90"), QStringLiteral("180"), QStringLiteral("270")};

StyledComboBox *makeYesNoBox(QWidget *parent)
{
    auto *box = new StyledComboBox(parent);
    box->addItems({QStringLiteral("否"), QStringLiteral("是")});
    box->setCurrentIndex(0);
    return box;
}

} // namespace

QStringList RotateImgParamWT::degreeNames()
{
    return {QStringLiteral("0度（不旋转）"), QStringLiteral("90度"), QStringLiteral("180度"), QStringLiteral("270度"),
            QStringLiteral("自定义")};
}

QString RotateImgParamWT::presetAngle(int index)
{
    return index >= 0 && index < kPresetAngles.size() ? kPresetAngles.at(index) : QString();
}

int RotateImgParamWT::presetOf(const QString &fieldText)
{
    const NumberRule::Reading reading = kAngleRule.read(fieldText);
    const int preset
        = reading.verdict == NumberRule::Verdict::Number ? kPresetAngles.indexOf(QString::number(reading.value)) : -1;
    return preset >= 0 ? preset : kPresetAngles.size();
}

RotateImgParamWT::RotateImgParamWT(QWidget *parent)
    : BatchParamWT(QStringLiteral("开始旋转"), parent)
    , degreeCombo(new StyledComboBox(this))
    , angleField(new NumberField(kAngleRule, this))
    , flopCombo(makeYesNoBox(this))
    , flipCombo(makeYesNoBox(this))
{
    degreeCombo->addItems(degreeNames());
    degreeCombo->setCurrentIndex(0);
    angleField->setPlaceholderText(QStringLiteral("正数顺时针，负数逆时针"));
    angleField->setHint(QStringLiteral("正数顺时针，负数逆时针"));

    addField(0, new CaptionLabel(QStringLiteral("旋转角度："), this), degreeCombo);
    addField(1, new CaptionLabel(QStringLiteral("角度大小："), this), angleField);
    addSeparator(2);
    addField(3, new CaptionLabel(QStringLiteral("水平翻转："), this), flopCombo);
    addField(4, new CaptionLabel(QStringLiteral("垂直翻转："), this), flipCombo);
    for (int column = 0; column < 4; ++column)
        grid()->setColumnStretch(column, 1);

    connect(degreeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &RotateImgParamWT::chooseSettingDegree);
    connect(angleField, &QLineEdit::textEdited, this, &RotateImgParamWT::angleTyped);
    angleField->setText(QStringLiteral("0"));
}

QString RotateImgParamWT::rotateDegree() const
{
    const std::optional<int> angle = angleField->value();
    return angle ? QString::number(*angle) : QString();
}

bool RotateImgParamWT::isFlop() const
{
    return flopCombo->currentIndex() == 1;
}

bool RotateImgParamWT::isFlip() const
{
    return flipCombo->currentIndex() == 1;
}

void RotateImgParamWT::chooseSettingDegree(int index)
{
    const QString angle = presetAngle(index);
    if (!angle.isNull())
        angleField->setText(angle);
}

void RotateImgParamWT::angleTyped(const QString &text)
{
    // Only the drop-down follows: the text stays as typed.
    const QSignalBlocker blocker(degreeCombo);
    degreeCombo->setCurrentIndex(presetOf(text));
}
