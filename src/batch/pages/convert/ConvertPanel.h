#pragma once

#include "batch/shell/SizeParamWT.h"

class StyledComboBox;

// Settings of the format conversion page: output format and optional size.
class ConvertPanel : public SizeParamWT
{
    Q_OBJECT

public:
    explicit ConvertPanel(QWidget *parent = nullptr);

    // "JPG" … "GIF", in the catalogue's order.
    static QStringList formatNames();

    StyledComboBox *formatBox() const { return formatCombo; }
    // The chosen output suffix ("jpg").
    QString format() const;

    JobSettings settings() const override;

protected:
    // For a page with the same panel and other size presets (the resize page).
    ConvertPanel(const QList<SizePreset> &presets, QWidget *parent);

private:
    StyledComboBox *formatCombo;
};
