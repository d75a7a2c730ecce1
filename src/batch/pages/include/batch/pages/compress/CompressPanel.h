#pragma once

#include "batch/shell/SettingsPanel.h"
#include "batch/shell/SettingsPart.h"
#include "batch/shell/SizeRows.h"

class StyledComboBox;
class CaptionLabel;
class QLabel;

// The compression level and the hint under it.
class LevelRows : public SettingsPart
{
    Q_OBJECT

public:
    // "90", "80(推荐)", "70(推荐)", ... "10".
    static QStringList levelNames();

    explicit LevelRows(QWidget *panel);

    StyledComboBox *levelBox() const { return levelCombo; }
    QLabel *levelHint() const { return hint; }
    // The chosen level's quality: 90 for "90" down to 10 for "10".
    int quality() const;

    int place(QGridLayout *grid, int row) override;
    QString readInto(JobSettings &settings) const override;

private:
    StyledComboBox *levelCombo;
    CaptionLabel *caption;
    QLabel *hint;
};

// Settings of the compression page: compression level and optional size.
class CompressPanel : public SettingsPanel
{
    Q_OBJECT

public:
    explicit CompressPanel(QWidget *parent = nullptr);

    LevelRows *levelRows() const { return levelPart; }
    SizeRows *sizeRows() const { return sizePart; }

private:
    LevelRows *levelPart;
    SizeRows *sizePart;
};
