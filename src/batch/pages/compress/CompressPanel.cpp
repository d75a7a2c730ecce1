#include "batch/pages/compress/CompressPanel.h"

#include "batch/engine/BatchCatalogue.h"
#include "widgets/CaptionLabel.h"
#include "widgets/StyledComboBox.h"
#include "widgets/UiProfile.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

QStringList LevelRows::levelNames()
{
    QStringList names;
    for (const BatchCatalogue::CompressionLevel &level : BatchCatalogue::compressionLevels())
        names << level.label;
    return names;
}

LevelRows::LevelRows(QWidget *panel)
    : SettingsPart(panel)
    , levelCombo(new StyledComboBox(panel))
    , caption(new CaptionLabel(QStringLiteral("压缩等级："), panel))
    , hint(new QLabel(QStringLiteral("等级高，图片清晰，等级低，压缩率高"), panel))
{
    levelCombo->addItems(levelNames());
    levelCombo->setCurrentIndex(BatchCatalogue::kDefaultLevelIndex);
    hint->setFont(UiProfile::bodyFont());
    hint->setStyleSheet(QStringLiteral("QLabel{color:#FF9F00;}"));
    hint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

int LevelRows::quality() const
{
    return BatchCatalogue::qualityAt(levelCombo->currentIndex());
}

int LevelRows::place(QGridLayout *grid, int row)
{
    row = addFields(grid, row, {{caption, levelCombo}});
    grid->addWidget(hint, row, 0, 1, 4);
    return row + 1;
}

QString LevelRows::readInto(JobSettings &settings) const
{
    settings.quality = quality();
    return QString();
}

CompressPanel::CompressPanel(QWidget *parent)
    : SettingsPanel(QStringLiteral("开始压缩"), parent)
    , levelPart(new LevelRows(this))
    , sizePart(new SizeRows(SizeRows::OriginalOrCustom, this))
{
    settingTitle()->setStyleSheet(QStringLiteral("QPushButton{border:0px;}"));
    addPart(levelPart);
    addSeparator();
    addPart(sizePart);
    grid()->setColumnStretch(0, 2);
    grid()->setColumnStretch(1, 3);
}
