#include "batch/pages/convert/ConvertPanel.h"

#include "batch/engine/BatchCatalogue.h"
#include "widgets/CaptionLabel.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"

#include <QGridLayout>

namespace {

// Empty is the default quality; anything else must be a quality.
const NumberRule kQualityRule{BatchCatalogue::kMinQuality, BatchCatalogue::kMaxQuality, true};

} // namespace

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
    : SizeSettingsPanel(QStringLiteral("开始转换"), parent)
    , formatCombo(new StyledComboBox(this))
    , qualityLabel(new CaptionLabel(QStringLiteral("质量："), this))
    , qualityField(new NumberField(kQualityRule, this))
    , metadataCombo(new StyledComboBox(this))
{
    formatCombo->addItems(formatNames());
    formatCombo->setCurrentIndex(0);
    qualityField->setText(QString::number(BatchCatalogue::kDefaultOutputQuality));
    qualityField->setHint(QStringLiteral("1–100，越高越清晰，越低文件越小"));

    addField(1, new CaptionLabel(QStringLiteral("输出格式："), this), formatCombo);
    addField(2, qualityLabel, qualityField);
    addSeparator(3);
    addSizeRows(4, presets);
    for (const BatchCatalogue::MetadataChoice &choice : BatchCatalogue::metadataChoices())
        metadataCombo->addItem(choice.label);
    metadataCombo->setCurrentIndex(0);
    addField(7, new CaptionLabel(QStringLiteral("照片信息："), this), metadataCombo);
    connect(formatCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &ConvertPanel::showQualityFor);
    showQualityFor(formatCombo->currentIndex());
    grid()->setColumnStretch(0, 2);
    grid()->setColumnStretch(1, 3);
}

QString ConvertPanel::format() const
{
    return BatchCatalogue::outputFormats().value(formatCombo->currentIndex());
}

void ConvertPanel::showQualityFor(int formatIndex)
{
    const BatchCatalogue::OutputFormat *chosen
        = BatchCatalogue::outputFormat(BatchCatalogue::outputFormats().value(formatIndex));
    const bool lossy = chosen && chosen->takesQuality;
    qualityLabel->setVisible(lossy);
    qualityField->setVisible(lossy);
}

std::optional<int> ConvertPanel::quality() const
{
    return BatchCatalogue::outputQuality(format(), qualityField->value());
}

Metadata ConvertPanel::metadata() const
{
    const QList<BatchCatalogue::MetadataChoice> &choices = BatchCatalogue::metadataChoices();
    return choices.value(metadataCombo->currentIndex(), choices.constFirst()).metadata;
}

JobSettings ConvertPanel::settings() const
{
    JobSettings settings;
    settings.format = format();
    settings.quality = quality();
    settings.width = outputWidth();
    settings.height = outputHeight();
    settings.metadata = metadata();
    return settings;
}
