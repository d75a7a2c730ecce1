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

QStringList AngleRows::degreeNames()
{
    return {QStringLiteral("0度（不旋转）"), QStringLiteral("90度"), QStringLiteral("180度"), QStringLiteral("270度"),
            QStringLiteral("自定义")};
}

QString AngleRows::presetAngle(int index)
{
    return index >= 0 && index < kPresetAngles.size() ? kPresetAngles.at(index) : QString();
}

int AngleRows::presetOf(const QString &fieldText)
{
    const NumberRule::Reading reading = kAngleRule.read(fieldText);
    const int preset
        = reading.verdict == NumberRule::Verdict::Number ? kPresetAngles.indexOf(QString::number(reading.value)) : -1;
    return preset >= 0 ? preset : kPresetAngles.size();
}

AngleRows::AngleRows(QWidget *panel)
    : SettingsPart(panel)
    , degreeCombo(new StyledComboBox(panel))
    , angleField(new NumberField(kAngleRule, panel))
    , degreeLabel(new CaptionLabel(QStringLiteral("旋转角度："), panel))
    , angleLabel(new CaptionLabel(QStringLiteral("角度大小："), panel))
{
    degreeCombo->addItems(degreeNames());
    degreeCombo->setCurrentIndex(0);
    angleField->setPlaceholderText(QStringLiteral("正数顺时针，负数逆时针"));
    angleField->setHint(QStringLiteral("正数顺时针，负数逆时针"));
    connect(degreeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &AngleRows::choosePreset);
    connect(angleField, &QLineEdit::textEdited, this, &AngleRows::angleTyped);
    angleField->setText(QStringLiteral("0"));
}

int AngleRows::place(QGridLayout *grid, int row)
{
    return addFields(grid, row, {{degreeLabel, degreeCombo}, {angleLabel, angleField}});
}

QString AngleRows::readInto(JobSettings &settings) const
{
    QString problem;
    settings.degrees = readNumber(angleField, problem);
    return problem;
}

void AngleRows::choosePreset(int index)
{
    const QString angle = presetAngle(index);
    if (!angle.isNull())
        angleField->setText(angle);
}

void AngleRows::angleTyped(const QString &text)
{
    // Only the drop-down follows: the text stays as typed.
    const QSignalBlocker blocker(degreeCombo);
    degreeCombo->setCurrentIndex(presetOf(text));
}

MirrorRows::MirrorRows(QWidget *panel)
    : SettingsPart(panel)
    , flopCombo(makeYesNoBox(panel))
    , flipCombo(makeYesNoBox(panel))
    , flopLabel(new CaptionLabel(QStringLiteral("水平翻转："), panel))
    , flipLabel(new CaptionLabel(QStringLiteral("垂直翻转："), panel))
{ }

bool MirrorRows::isFlop() const
{
    return flopCombo->currentIndex() == 1;
}

bool MirrorRows::isFlip() const
{
    return flipCombo->currentIndex() == 1;
}

int MirrorRows::place(QGridLayout *grid, int row)
{
    return addFields(grid, row, {{flopLabel, flopCombo}, {flipLabel, flipCombo}});
}

QString MirrorRows::readInto(JobSettings &settings) const
{
    settings.flop = isFlop();
    settings.flip = isFlip();
    return QString();
}

RotatePanel::RotatePanel(QWidget *parent)
    : SettingsPanel(QStringLiteral("开始旋转"), parent)
    , anglePart(new AngleRows(this))
    , mirrorPart(new MirrorRows(this))
{
    addPart(anglePart);
    addSeparator();
    addPart(mirrorPart);
    for (int column = 0; column < 4; ++column)
        grid()->setColumnStretch(column, 1);
}
