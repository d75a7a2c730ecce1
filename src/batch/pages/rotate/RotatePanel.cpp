#include "batch/pages/rotate/RotatePanel.h"

#include "batch/engine/BatchCatalogue.h"
#include "widgets/BoundedIntValidator.h"
#include "widgets/StyledComboBox.h"
#include "widgets/StyledLineEdit.h"
#include "widgets/CaptionLabel.h"

#include <QGridLayout>

namespace {

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
    static const QStringList angles
        = {QStringLiteral("0"), QStringLiteral("90"), QStringLiteral("180"), QStringLiteral("270"), QStringLiteral("")};
    return index >= 0 && index < angles.size() ? angles.at(index) : QString();
}

RotatePanel::RotatePanel(QWidget *parent)
    : BatchParamWT(QStringLiteral("开始旋转"), parent)
    , degreeCombo(new StyledComboBox(this))
    , angleField(new StyledLineEdit(this))
    , flopCombo(makeYesNoBox(this))
    , flipCombo(makeYesNoBox(this))
{
    degreeCombo->addItems(degreeNames());
    degreeCombo->setCurrentIndex(0);
    angleField->setValidator(new BoundedIntValidator(-BatchCatalogue::kMaxAngle, BatchCatalogue::kMaxAngle, this));
    angleField->setPlaceholderText(QStringLiteral("正数顺时针，负数逆时针"));
    angleField->setToolTip(QStringLiteral("正数顺时针，负数逆时针"));

    addField(0, new CaptionLabel(QStringLiteral("旋转角度："), this), degreeCombo);
    addField(1, new CaptionLabel(QStringLiteral("角度大小："), this), angleField);
    addSeparator(2);
    addField(3, new CaptionLabel(QStringLiteral("水平翻转："), this), flopCombo);
    addField(4, new CaptionLabel(QStringLiteral("垂直翻转："), this), flipCombo);
    for (int column = 0; column < 4; ++column)
        grid()->setColumnStretch(column, 1);

    connect(degreeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &RotatePanel::chooseSettingDegree);
    angleField->setText(QStringLiteral("0"));
}

std::optional<int> RotatePanel::degrees() const
{
    return angle(angleField->text());
}

std::optional<int> RotatePanel::angle(const QString &fieldText)
{
    // A number goes on as the field read it ("-045" as -45).
    return BoundedIntValidator::read(fieldText, -BatchCatalogue::kMaxAngle, BatchCatalogue::kMaxAngle);
}

QString RotatePanel::angleProblem(const QString &fieldText)
{
    if (fieldText.isEmpty() || angle(fieldText))
        return QString();
    return QStringLiteral("the angle is not a whole number from -%1 to %1: %2")
        .arg(BatchCatalogue::kMaxAngle)
        .arg(fieldText);
}

JobSettings RotatePanel::settings() const
{
    JobSettings settings;
    settings.degrees = degrees();
    settings.flop = isFlop();
    settings.flip = isFlip();
    return settings;
}

QString RotatePanel::settingsProblem() const
{
    return angleProblem(angleField->text());
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
