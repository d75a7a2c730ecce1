#include "OutputFolderRow.h"

#include "widgets/FolderOpener.h"
#include "ToolboxLog.h"
#include "widgets/ElidedLabel.h"
#include "widgets/MessageBox.h"
#include "widgets/StyledBackground.h"
#include "widgets/UiProfile.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStandardPaths>

namespace {

QPushButton *makeIconButton(const QString &iconPath, const QString &tip, QWidget *parent)
{
    auto *button = new QPushButton(QIcon(iconPath), QString(), parent);
    const int side = UiProfile::pick(35, 40);
    button->setFixedSize(side, side);
    button->setIconSize(QSize(side * 3 / 5, side * 3 / 5));
    button->setToolTip(tip);
    button->setStyleSheet(QStringLiteral("QPushButton{background-color:white;border:0px;}"));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

OutputFolderRow::OutputFolderRow(QWidget *parent)
    : QWidget(parent)
    , dirLabel(new ElidedLabel(this))
    , chooseBtn(makeIconButton(QStringLiteral(":/icons/icons/change_dir.png"), QStringLiteral("选择目录"), this))
    , openBtn(makeIconButton(QStringLiteral(":/icons/icons/dir.png"), QStringLiteral("打开目录"), this))
{
    // A long folder keeps its start and its end; the whole path is the tooltip.
    dirLabel->setStyleSheet(QStringLiteral("QLabel{color:#484848;border:0px;}"));
    dirLabel->setFont(UiProfile::bodyFont());
    dirLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    auto *selectWT = new QWidget(this);
    selectWT->setObjectName(QStringLiteral("selectWT"));
    // The border of a plain QWidget only shows when it paints its styled background.
    selectWT->setAttribute(Qt::WA_StyledBackground);
    selectWT->setStyleSheet(QStringLiteral("QWidget#selectWT{border:1px solid #027DF0;border-radius:5px;}"));
    selectWT->setFixedHeight(UiProfile::pick(40, 45));
    auto *selectLayout = new QHBoxLayout(selectWT);
    selectLayout->setSpacing(0);
    selectLayout->setContentsMargins(5, 1, 5, 1);
    selectLayout->addWidget(dirLabel, 1);
    selectLayout->addWidget(chooseBtn);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->addWidget(selectWT);
    layout->addWidget(openBtn);

    connect(chooseBtn, &QPushButton::clicked, this, &OutputFolderRow::onChooseDirClicked);
    connect(openBtn, &QPushButton::clicked, this, &OutputFolderRow::onOpenDirClicked);
}

QString OutputFolderRow::text() const
{
    return dirLabel->text();
}

QString OutputFolderRow::shownText() const
{
    return dirLabel->shownText();
}

void OutputFolderRow::setText(const QString &folder)
{
    dirLabel->setFullText(folder);
}

QString OutputFolderRow::askFolder(QWidget *parent, const QString &startDir)
{
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("选择目录"), startDir, QFileDialog::ShowDirsOnly);
}

void OutputFolderRow::onChooseDirClicked()
{
    const QString folder = askFolder(this, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    if (folder.isEmpty()) {
        qCDebug(lcToolbox) << "没有更改默认保存目录";
        return;
    }
    setText(folder);
}

void OutputFolderRow::onOpenDirClicked()
{
    const QString folder = text();
    FolderOpener::open(folder, this,
                       [this, folder] { (new MessageBox(QStringLiteral("无法打开文件夹：") + folder, this))->show(); });
}

void OutputFolderRow::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
