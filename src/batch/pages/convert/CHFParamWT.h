#pragma once

#include "batch/shell/SizeParamWT.h"

class StyledComboBox;

// Settings of the format conversion page: output format and optional size.
class CHFParamWT : public SizeParamWT
{
    Q_OBJECT

public:
    explicit CHFParamWT(QWidget *parent = nullptr);

    // "JPG" … "GIF"; the index is the job's formatIndex.
    static QStringList formatNames();

    StyledComboBox *formatBox() const { return formatCombo; }
    int formatIndex() const;

protected:
    // For a page with the same panel and other size presets (the resize page).
    CHFParamWT(const QList<SizePreset> &presets, QWidget *parent);

private:
    StyledComboBox *formatCombo;
};
