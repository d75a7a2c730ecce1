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

QStringList FormatRows::formatNames()
{
    QStringList names;
    for (const QString &suffix : BatchCatalogue::outputFormats())
        names << BatchCatalogue::formatLabel(suffix);
    return names;
}

FormatRows::FormatRows(QWidget *panel)
    : SettingsPart(panel)
    , formatCombo(new StyledComboBox(panel))
    , formatLabel(new CaptionLabel(QStringLiteral("输出格式："), panel))
    , qualityLabel(new CaptionLabel(QStringLiteral("质量："), panel))
    , qualityField(new NumberField(kQualityRule, panel))
{
    formatCombo->addItems(formatNames());
    formatCombo->setCurrentIndex(0);
    qualityField->setText(QString::number(BatchCatalogue::kDefaultOutputQuality));
    qualityField->setHint(QStringLiteral("1–100，越高越清晰，越低文件越小"));
    connect(formatCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &FormatRows::showQualityFor);
    showQualityFor(formatCombo->currentIndex());
}

QString FormatRows::format() const
{
    return BatchCatalogue::outputFormats().value(formatCombo->currentIndex());
}

int FormatRows::place(QGridLayout *grid, int row)
{
    return addFields(grid, row, {{formatLabel, formatCombo}, {qualityLabel, qualityField}});
}

QString FormatRows::readInto(JobSettings &settings) const
{
    QString problem;
    settings.format = format();
    settings.quality = BatchCatalogue::outputQuality(format(), readNumber(qualityField, problem));
    return problem;
}

void FormatRows::showQualityFor(int formatIndex)
{
    const BatchCatalogue::OutputFormat *chosen
        = BatchCatalogue::outputFormat(BatchCatalogue::outputFormats().value(formatIndex));
    const bool lossy = chosen && chosen->takesQuality;
    qualityLabel->setVisible(lossy);
    qualityField->setVisible(lossy);
}

MetadataRow::MetadataRow(QWidget *panel)
    : SettingsPart(panel)
    , metadataCombo(new StyledComboBox(panel))
    , caption(new CaptionLabel(QStringLiteral("照片信息："), panel))
{
    for (const BatchCatalogue::MetadataChoice &choice : BatchCatalogue::metadataChoices())
        metadataCombo->addItem(choice.label);
    metadataCombo->setCurrentIndex(0);
}

Metadata MetadataRow::metadata() const
{
    const QList<BatchCatalogue::MetadataChoice> &choices = BatchCatalogue::metadataChoices();
    return choices.value(metadataCombo->currentIndex(), choices.constFirst()).metadata;
}

int MetadataRow::place(QGridLayout *grid, int row)
{
    return addFields(grid, row, {{caption, metadataCombo}});
}

QString MetadataRow::readInto(JobSettings &settings) const
{
    settings.metadata = metadata();
    return QString();
}

ConvertPanel::ConvertPanel(SizeRows::Presets presets, QWidget *parent)
    : SettingsPanel(QStringLiteral("开始转换"), parent)
    , formatPart(new FormatRows(this))
    , sizePart(new SizeRows(presets, this))
    , metadataPart(new MetadataRow(this))
{
    addPart(formatPart);
    addSeparator();
    addPart(sizePart);
    addPart(metadataPart);
    grid()->setColumnStretch(0, 2);
    grid()->setColumnStretch(1, 3);
}
