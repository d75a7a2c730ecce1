#include "batch/pages/rotate/RotateImgParamWT.h"

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

QStringList RotateImgParamWT::degreeNames()
{
    return {QStringLiteral("0度（不旋转）"), QStringLiteral("90度"), QStringLiteral("180度"), QStringLiteral("270度"),
            QStringLiteral("自定义")};
}

QString RotateImgParamWT::presetAngle(int index)
{
    static const QStringList angles
        = {QStringLiteral("0"), QStringLiteral("90"), QStringLiteral("180"), QStringLiteral("270"), QStringLiteral("")};
    return index >= 0 && index < angles.size() ? angles.at(index) : QString();
}

RotateImgParamWT::RotateImgParamWT(QWidget *parent)
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
            &RotateImgParamWT::chooseSettingDegree);
    angleField->setText(QStringLiteral("0"));
}

QString RotateImgParamWT::rotateDegree() const
{
    return angleText(angleField->text());
}

QString RotateImgParamWT::angleText(const QString &fieldText)
{
    // A number goes on as the field read it ("-045" as "-45"). Anything else the
    // field holds (a lone "-") goes on as it is: the tool refuses it and the row
    // shows the failure, rather than quietly turning by another angle or none.
    const std::optional<int> angle
        = BoundedIntValidator::read(fieldText, -BatchCatalogue::kMaxAngle, BatchCatalogue::kMaxAngle);
    return angle ? QString::number(*angle) : fieldText;
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
