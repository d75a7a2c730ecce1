#pragma once

#include "batch/shell/SettingsPanel.h"
#include "batch/shell/SettingsPart.h"
#include "batch/shell/SizeRows.h"

class CaptionLabel;
class StyledComboBox;
class NumberField;

// The output format and its quality, shown where the format is lossy (JPEG,
// WebP, AVIF, HEIC).
class FormatRows : public SettingsPart
{
    Q_OBJECT

public:
    // "JPG" … "GIF", in the catalogue's order.
    static QStringList formatNames();

    explicit FormatRows(QWidget *panel);

    StyledComboBox *formatBox() const { return formatCombo; }
    // The chosen output suffix ("jpg").
    QString format() const;
    NumberField *qualityEdit() const { return qualityField; }

    int place(QGridLayout *grid, int row) override;
    // The format, and the quality for a lossy one (80 while the field is empty).
    QString readInto(JobSettings &settings) const override;

private:
    void showQualityFor(int formatIndex);

    StyledComboBox *formatCombo;
    CaptionLabel *formatLabel;
    CaptionLabel *qualityLabel;
    NumberField *qualityField;
};

// What of the photo's metadata goes along: "保留全部信息" (the default),
// "去除位置信息", "去除全部信息".
class MetadataRow : public SettingsPart
{
    Q_OBJECT

public:
    explicit MetadataRow(QWidget *panel);

    StyledComboBox *metadataBox() const { return metadataCombo; }
    Metadata metadata() const;

    int place(QGridLayout *grid, int row) override;
    QString readInto(JobSettings &settings) const override;

private:
    StyledComboBox *metadataCombo;
    CaptionLabel *caption;
};

// Settings of the format conversion page (and, with every size preset, of the
// resize page): the format and its quality, the size rows, the metadata.
class ConvertPanel : public SettingsPanel
{
    Q_OBJECT

public:
    explicit ConvertPanel(SizeRows::Presets presets = SizeRows::OriginalOrCustom, QWidget *parent = nullptr);

    FormatRows *formatRows() const { return formatPart; }
    SizeRows *sizeRows() const { return sizePart; }
    MetadataRow *metadataRow() const { return metadataPart; }

private:
    FormatRows *formatPart;
    SizeRows *sizePart;
    MetadataRow *metadataPart;
};
