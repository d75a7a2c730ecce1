#pragma once

#include "batch/shell/SizeSettingsPanel.h"

class CaptionLabel;
class StyledComboBox;
class NumberField;

// Settings of the format conversion page: output format, its quality where it is
// lossy (JPEG, WebP, AVIF, HEIC), optional size, and what of the photo's
// metadata goes along.
class ConvertPanel : public SizeSettingsPanel
{
    Q_OBJECT

public:
    explicit ConvertPanel(QWidget *parent = nullptr);

    // "JPG" … "GIF", in the catalogue's order.
    static QStringList formatNames();

    StyledComboBox *formatBox() const { return formatCombo; }
    // The chosen output suffix ("jpg").
    QString format() const;

    NumberField *qualityEdit() const { return qualityField; }
    // The quality the job gets: the field's number for a lossy format (80 while it
    // is empty), none for the others. A refused text stops the start (the page asks
    // the field) before this is read.
    std::optional<int> quality() const;

    // "保留全部信息" (the default), "去除位置信息", "去除全部信息".
    StyledComboBox *metadataBox() const { return metadataCombo; }
    Metadata metadata() const;

    JobSettings settings() const override;

protected:
    // For a page with the same panel and other size presets (the resize page).
    ConvertPanel(const QList<SizePreset> &presets, QWidget *parent);

private:
    void showQualityFor(int formatIndex);

    StyledComboBox *formatCombo;
    CaptionLabel *qualityLabel;
    NumberField *qualityField;
    StyledComboBox *metadataCombo;
};
