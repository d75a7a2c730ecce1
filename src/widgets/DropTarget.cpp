#include "widgets/DropTarget.h"
#include "widgets/StyledBackground.h"

#include "widgets/UiProfile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
const char *const kTextStyle = "QLabel{color:#484848;}";
}

DropTarget::DropTarget(QWidget *parent)
    : QWidget(parent)
    , iconLabel(new QLabel(this))
    , textLabel(new QLabel(QStringLiteral("点击添加图片 或 拖拽图片到此区域"), this))
    , noteLabel(new QLabel(QStringLiteral("支持jpg，jpeg，png，bmp，tif，tiff，webp等上百种格式"), this))
{
    setCursor(Qt::PointingHandCursor);

    const int iconSize = UiProfile::pick(64, 80);
    iconLabel->setFixedSize(iconSize, iconSize);
    iconLabel->setScaledContents(true);
    iconLabel->setPixmap(QPixmap(QStringLiteral(":/icons/icons/center_add.png")));
    auto *iconRow = new QHBoxLayout;
    iconRow->setContentsMargins(0, 0, 0, 0);
    iconRow->addStretch();
    iconRow->addWidget(iconLabel);
    iconRow->addStretch();

    auto *gap = new QWidget(this);
    gap->setFixedHeight(15);

    textLabel->setObjectName(QStringLiteral("textLabel"));
    noteLabel->setObjectName(QStringLiteral("noteLabel"));
    for (QLabel *label : {textLabel, noteLabel}) {
        label->setAlignment(Qt::AlignCenter);
        label->setFont(UiProfile::largeFont());
    }
    textLabel->setStyleSheet(QLatin1String(kTextStyle));
    noteLabel->setStyleSheet(QStringLiteral("QLabel{color:#8991C1;}"));

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->setAlignment(Qt::AlignCenter);
    layout->addLayout(iconRow);
    layout->addWidget(gap);
    layout->addWidget(textLabel);
    layout->addWidget(noteLabel);
}

void DropTarget::setNoteText(const QString &text)
{
    noteLabel->setText(text);
}

QString DropTarget::noteText() const
{
    return noteLabel->text();
}

void DropTarget::enterEvent(QEvent *event)
{
    textLabel->setStyleSheet(QStringLiteral("QLabel{border:0px;background-color:white;color:#027DF0;}"));
    QWidget::enterEvent(event);
}

void DropTarget::leaveEvent(QEvent *event)
{
    textLabel->setStyleSheet(QLatin1String(kTextStyle));
    QWidget::leaveEvent(event);
}

void DropTarget::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    emit clicked();
}

void DropTarget::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
