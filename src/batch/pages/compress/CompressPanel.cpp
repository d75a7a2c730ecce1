#include "batch/pages/compress/CompressPanel.h"

#include "batch/engine/BatchCatalogue.h"
#include "widgets/StyledComboBox.h"
#include "widgets/CaptionLabel.h"
#include "widgets/UiProfile.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

QStringList CompressPanel::levelNames()
{
    QStringList names;
    for (const BatchCatalogue::CompressionLevel &level : BatchCatalogue::compressionLevels())
        names << level.label;
    return names;
}

CompressPanel::CompressPanel(QWidget *parent)
    : SizeSettingsPanel(QStringLiteral("开始压缩"), parent)
    , levelCombo(new StyledComboBox(this))
    , hint(new QLabel(QStringLiteral("等级高，图片清晰，等级低，压缩率高"), this))
{
    settingTitle()->setStyleSheet(QStringLiteral("QPushButton{border:0px;}"));

    levelCombo->addItems(levelNames());
    levelCombo->setCurrentIndex(BatchCatalogue::kDefaultLevelIndex);
    hint->setFont(UiProfile::bodyFont());
    hint->setStyleSheet(QStringLiteral("QLabel{color:#FF9F00;}"));
    hint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    addField(0, new CaptionLabel(QStringLiteral("压缩等级："), this), levelCombo);
    grid()->addWidget(hint, 1, 0, 1, 4);
    addSeparator(2);
    addSizeRows(3, originalOrCustom());
    grid()->setColumnStretch(0, 2);
    grid()->setColumnStretch(1, 3);
}

int CompressPanel::quality() const
{
    return BatchCatalogue::qualityAt(levelCombo->currentIndex());
}

JobSettings CompressPanel::settings() const
{
    JobSettings settings;
    settings.quality = quality();
    settings.width = outputWidth();
    settings.height = outputHeight();
    return settings;
}
