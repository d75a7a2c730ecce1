#include "batch/pages/convert/ConvertPanel.h"

#include "batch/engine/BatchCatalogue.h"
#include "widgets/CaptionLabel.h"
#include "widgets/StyledComboBox.h"

#include <QGridLayout>

QStringList ConvertPanel::formatNames()
{
    QStringList names;
    for (const QString &suffix : BatchCatalogue::outputFormats())
        names << BatchCatalogue::formatLabel(suffix);
    return names;
}

ConvertPanel::ConvertPanel(QWidget *parent)
    : ConvertPanel(originalOrCustom(), parent)
{ }

ConvertPanel::ConvertPanel(const QList<SizePreset> &presets, QWidget *parent)
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

QString ConvertPanel::format() const
{
    return BatchCatalogue::outputFormats().value(formatCombo->currentIndex());
}

JobSettings ConvertPanel::settings() const
{
    JobSettings settings;
    settings.format = format();
    settings.width = zoomWidth();
    settings.height = zoomHeight();
    return settings;
}
