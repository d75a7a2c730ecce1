#include "batch/shell/SettingsPanel.h"

#include "batch/engine/BatchPaths.h"
#include "OutputFolderRow.h"
#include "StartButton.h"
#include "batch/shell/SettingsPart.h"
#include "widgets/StyledBackground.h"
#include "widgets/UiProfile.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton *makeFlatTitle(const QString &iconPath, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(QIcon(iconPath), text, parent);
    button->setStyleSheet(QStringLiteral("QPushButton{border:0px;color:#484848;}"));
    button->setFont(UiProfile::bodyFont());
    const int icon = UiProfile::pick(18, 22);
    button->setIconSize(QSize(icon, icon));
    return button;
}

} // namespace

SettingsPanel::SettingsPanel(const QString &startText, QWidget *parent)
    : QWidget(parent)
    , gridLayout(nullptr)
    , exportRow(new OutputFolderRow(this))
    , submit(new StartButton(startText, false, this))
    , settingButton(nullptr)
{
    auto *frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("parHeaderWidget"));
    frame->setAttribute(Qt::WA_StyledBackground);
    frame->setStyleSheet(QStringLiteral("QWidget#parHeaderWidget{border:2px solid #E2E2E2;border-radius:8px;}"));

    auto *header = new QLabel(frame);
    header->setFixedHeight(UiProfile::pick(45, 60));
    header->setStyleSheet(QStringLiteral("QLabel{padding-left:15;background-color:#E2E2E2; "
                                         "border-top-left-radius:8px; border-top-right-radius:8px;}"));
    settingButton = makeFlatTitle(QStringLiteral(":/icons/icons/setting.png"), QStringLiteral("设置"), header);
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(10, 5, 0, 0);
    headerLayout->addWidget(settingButton);
    headerLayout->addStretch();

    auto *gridWidget = new QWidget(frame);
    gridWidget->setObjectName(QStringLiteral("gridWidget"));
    gridLayout = new QGridLayout(gridWidget);
    gridLayout->setSpacing(UiProfile::pick(10, 15));
    gridLayout->setContentsMargins(10, 10, 10, 10);

    auto *footer = new QWidget(frame);
    footer->setFixedHeight(50);
    footer->setStyleSheet(QStringLiteral("QWidget{border-top:1px solid #E2E2E2;}"));
    auto *footerLayout = new QHBoxLayout(footer);
    footerLayout->addWidget(
        makeFlatTitle(QStringLiteral(":/icons/icons/change_dir_title.png"), QStringLiteral("输出目录"), footer), 0,
        Qt::AlignLeft | Qt::AlignTop);

    exportRow->setParent(frame);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->setSpacing(0);
    frameLayout->setContentsMargins(0, 0, 0, 20);
    frameLayout->addWidget(header);
    frameLayout->addWidget(gridWidget);
    frameLayout->addStretch();
    frameLayout->addWidget(footer);
    frameLayout->addWidget(exportRow);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->setContentsMargins(5, 0, 0, 0);
    layout->addWidget(frame);
    layout->addWidget(submit);

    exportRow->setText(BatchPaths::defaultExportDir());
}

QString SettingsPanel::exportDir() const
{
    return exportRow->text();
}

void SettingsPanel::addPart(SettingsPart *part)
{
    parts.append(part);
    nextRow = part->place(gridLayout, nextRow);
}

void SettingsPanel::addSeparator()
{
    auto *line = new QWidget(this);
    line->setFixedHeight(4);
    line->setStyleSheet(QStringLiteral("QWidget{border-bottom:2px solid #E4EFFA;}"));
    addWideRow(line);
}

void SettingsPanel::addWideRow(QWidget *widget)
{
    gridLayout->addWidget(widget, nextRow++, 0, 1, 4);
}

SettingsReading SettingsPanel::read() const
{
    SettingsReading reading;
    for (const SettingsPart *part : parts) {
        const QString problem = part->readInto(reading.settings);
        if (reading.problem.isEmpty())
            reading.problem = problem;
    }
    return reading;
}

void SettingsPanel::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
