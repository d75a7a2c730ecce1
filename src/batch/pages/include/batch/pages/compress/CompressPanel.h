#pragma once

#include "batch/shell/SizeSettingsPanel.h"

class StyledComboBox;
class QLabel;

// Settings of the compression page: compression level and optional size.
class CompressPanel : public SizeSettingsPanel
{
    Q_OBJECT

public:
    // "90", "80(推荐)", "70(推荐)", ... "10".
    static QStringList levelNames();

    explicit CompressPanel(QWidget *parent = nullptr);

    StyledComboBox *levelBox() const { return levelCombo; }
    QLabel *levelHint() const { return hint; }
    // The chosen level's quality: 90 for "90" down to 10 for "10".
    int quality() const;

    JobSettings settings() const override;

private:
    StyledComboBox *levelCombo;
    QLabel *hint;
};
