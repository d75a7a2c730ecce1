#pragma once

#include "batch/shell/SizeParamWT.h"

class StyledComboBox;
class QLabel;

// Quality percent the job receives for a level index: 90 for "90" down to 10
// for "10" (the item text and the value agree).
int compressQuality(int levelIndex);

// Settings of the compression page: compression level and optional size.
class CompressParamWT : public SizeParamWT
{
    Q_OBJECT

public:
    // "90", "80(推荐)", "70(推荐)", ... "10".
    static QStringList levelNames();

    explicit CompressParamWT(QWidget *parent = nullptr);

    StyledComboBox *levelBox() const { return levelCombo; }
    QLabel *levelHint() const { return hint; }
    int qualityValue() const;

private:
    StyledComboBox *levelCombo;
    QLabel *hint;
};
