#include "batch/pages/convert/CHFParamWT.h"

#include "batch/engine/BatchCatalogue.h"
#include "widgets/StyledComboBox.h"
#include "widgets/CaptionLabel.h"

#include <QGridLayout>

QStringList CHFParamWT::formatNames()
{
    QStringList names;
    for (int index = 0; index < BatchCatalogue::outputFormats().size(); ++index)
        names << BatchCatalogue::formatLabel(index);
    return names;
}

CHFParamWT::CHFParamWT(QWidget *parent)
    : CHFParamWT(originalOrCustom(), parent)
{ }

CHFParamWT::CHFParamWT(const QList<SizePreset> &presets, QWidget *parent)
    : SizeParamWT(QStringLiteral("开始转换"), parent)
    , formatCombo(new StyledComboBox(this))
{
    formatCombo->addItems(formatNames());
    formatCombo->setCurrentIndex(0);

    addField(1, new CaptionLabel(QStringLiteral("输出格式："), this), formatCombo);
    addSeparator(2);
    addSizeRows(3, presets);
    grid()->setColumnStretch(0, 2);
    grid()->setColumnStretch(1, 3);
}

int CHFParamWT::formatIndex() const
{
    return formatCombo->currentIndex();
}
