#include "batch/pages/rotate/RotatePanel.h"

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

QStringList RotatePanel::degreeNames()
{
    return {QStringLiteral("0度（不旋转）"), QStringLiteral("90度"), QStringLiteral("180度"), QStringLiteral("270度"),
            QStringLiteral("自定义")};
}

QString RotatePanel::presetAngle(int index)
{
    return index >= 0 && index < kPresetAngles.size() ? kPresetAngles.at(index) : QString();
}

int RotatePanel::presetOf(const QString &fieldText)
{
    const NumberRule::Reading reading = kAngleRule.read(fieldText);
    const int preset
        = reading.verdict == NumberRule::Verdict::Number ? kPresetAngles.indexOf(QString::number(reading.value)) : -1;
    return preset >= 0 ? preset : kPresetAngles.size();
}

RotatePanel::RotatePanel(QWidget *parent)
    : SettingsPanel(QStringLiteral("开始旋转"), parent)
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
            &RotatePanel::chooseSettingDegree);
    connect(angleField, &QLineEdit::textEdited, this, &RotatePanel::angleTyped);
    angleField->setText(QStringLiteral("0"));
}

std::optional<int> RotatePanel::degrees() const
{
    return angleField->value();
}

JobSettings RotatePanel::settings() const
{
    JobSettings settings;
    settings.degrees = degrees();
    settings.flop = isFlop();
    settings.flip = isFlip();
    return settings;
}

bool RotatePanel::isFlop() const
{
    return flopCombo->currentIndex() == 1;
}

bool RotatePanel::isFlip() const
{
    return flipCombo->currentIndex() == 1;
}

void RotatePanel::chooseSettingDegree(int index)
{
    const QString angle = presetAngle(index);
    if (!angle.isNull())
        angleField->setText(angle);
}

void RotatePanel::angleTyped(const QString &text)
{
    // Only the drop-down follows: the text stays as typed.
    const QSignalBlocker blocker(degreeCombo);
    degreeCombo->setCurrentIndex(presetOf(text));
}
