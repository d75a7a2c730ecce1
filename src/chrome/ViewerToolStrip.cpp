#include "chrome/ViewerToolStrip.h"

#include "chrome/HoverPushButton.h"
#include "widgets/StyledBackground.h"
#include "widgets/UiProfile.h"

#include <QGridLayout>
#include <QResizeEvent>
#include <QStyle>
#include <QHBoxLayout>

namespace {

HoverPushButton *makeToolboxButton(const QString &text, const QString &icon, QWidget *parent)
{
    auto *button = new HoverPushButton(QStringLiteral(":/icons/icons/%1.png").arg(icon),
                                       QStringLiteral(":/icons/icons/%1_p.png").arg(icon), parent);
    button->setText(text);
    const int iconSide = UiProfile::pick(28, 32);
    button->setIconSize(QSize(iconSide, iconSide));
    button->setFixedHeight(UiProfile::pick(40, 50));
    button->setStyleSheet(
        QStringLiteral("QPushButton{border:0px;padding-right:20px;}QPushButton:hover{background-color:#F2F5F7;}"));
    // The keyboard belongs to the window's keys (Space steps to the next picture).
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// An icon-only button drawn by its style sheet. Some sheets of the design write
// "image: url(" with a blank, hence the separator argument.
QPushButton *makeIconButton(const QString &tip, const QString &image, const QString &hoverImage, int iconSide,
                            const QString &separator, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setToolTip(tip);
    button->setStyleSheet(
        QStringLiteral("QPushButton{border:0px;image:%3url(:/icons/icons/%1.png);}"
                       "QPushButton:hover{background-color:#F2F5F7;image:%3url(:/icons/icons/%2.png);}")
            .arg(image, hoverImage, separator));
    // Compact buttons are square too: eight buttons 130 wide do not fit a
    // 1100-pixel strip and their hit areas would overlap.
    button->setFixedSize(UiProfile::isSmallScreen() ? QSize(40, 40) : QSize(50, 50));
    button->setIconSize(QSize(iconSide, iconSide));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

ViewerToolStrip::ViewerToolStrip(QWidget *parent)
    : QWidget(parent)
{
    const QString blank = QStringLiteral(" ");
    const int centreIcon = UiProfile::pick(32, 36);
    const int rightIcon = UiProfile::pick(28, 32);

    sizeToggle = makeIconButton(QStringLiteral("原始大小"), QStringLiteral("1_1"), QStringLiteral("1_1_p"), rightIcon,
                                blank, this);
    convertButton = makeToolboxButton(QStringLiteral("格式转换"), QStringLiteral("chfmt_1"), this);
    resizeButton = makeToolboxButton(QStringLiteral("更改尺寸"), QStringLiteral("size_1"), this);
    batchButton = makeToolboxButton(QStringLiteral("批处理"), QStringLiteral("batch"), this);
    aiFix = makeToolboxButton(QStringLiteral("AI修图"), QStringLiteral("AI_fix"), this);
    next = makeIconButton(QStringLiteral("下一张"), QStringLiteral("next"), QStringLiteral("next_p"), centreIcon,
                          QString(), this);
    prev = makeIconButton(QStringLiteral("上一张"), QStringLiteral("prev"), QStringLiteral("prev_p"), centreIcon,
                          QString(), this);
    bigger = makeIconButton(QStringLiteral("放大"), QStringLiteral("bigger_1"), QStringLiteral("bigger_1_h"), rightIcon,
                            blank, this);
    smaller = makeIconButton(QStringLiteral("缩小"), QStringLiteral("smaller_1"), QStringLiteral("smaller_1_h"),
                             rightIcon, blank, this);
    turnRight = makeIconButton(QStringLiteral("右旋转"), QStringLiteral("turn_right"), QStringLiteral("turn_right_p"),
                               rightIcon, QString(), this);
    turnLeft = makeIconButton(QStringLiteral("左旋转"), QStringLiteral("turn_left"), QStringLiteral("turn_left_p"),
                              rightIcon, QString(), this);
    print = makeIconButton(QStringLiteral("打印"), QStringLiteral("printer"), QStringLiteral("printer_p"), rightIcon,
                           QString(), this);

    for (HoverPushButton *button : toolboxButtons())
        toolboxNames << button->text();
    stripToggle = makeIconButton(QStringLiteral("缩略图栏"), QStringLiteral("strip"), QStringLiteral("strip_p"),
                                 rightIcon, QString(), this);
    grid = makeIconButton(QStringLiteral("缩略图网格"), QStringLiteral("grid"), QStringLiteral("grid_p"), rightIcon,
                          QString(), this);

    auto *left = new QHBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    for (QPushButton *button : {convertButton, resizeButton, batchButton, aiFix})
        left->addWidget(button);
    left->addStretch();

    auto *centre = new QHBoxLayout;
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addStretch();
    centre->addWidget(prev);
    centre->addWidget(next);
    centre->addStretch();

    auto *right = new QHBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->addStretch();
    for (QPushButton *button : {stripToggle, grid, sizeToggle, bigger, smaller, turnLeft, turnRight, print})
        right->addWidget(button);

    auto *columns = new QGridLayout(this);
    columns->setContentsMargins(15, 5, 15, 5);
    columns->addLayout(left, 0, 0);
    columns->addLayout(centre, 0, 1);
    columns->addLayout(right, 0, 2);
    columns->setColumnStretch(0, 10);
    columns->setColumnStretch(1, 1);
    columns->setColumnStretch(2, 10);

    setStyleSheet(QStringLiteral("ViewerToolStrip{background:#F7F9FC;border-top:0px solid #E3E8F8;color:#484848;}"));
}

QList<HoverPushButton *> ViewerToolStrip::toolboxButtons() const
{
    return {convertButton, resizeButton, batchButton, aiFix};
}

int ViewerToolStrip::widthNeeded(bool names) const
{
    const int spacing = qMax(0, style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing));
    int left = 0;
    for (int i = 0; i < toolboxNames.size(); ++i) {
        const HoverPushButton *button = toolboxButtons().at(i);
        // The icon, the sheet's padding on the right and the frame's on both sides.
        left += button->iconSize().width() + 20 + 16 + spacing
                + (names ? button->fontMetrics().horizontalAdvance(toolboxNames.at(i)) + 4 : 0);
    }
    int right = 0;
    for (const QPushButton *button : {sizeToggle, bigger, smaller, turnLeft, turnRight, print})
        right += button->width() + spacing;
    const int centre = prev->width() + next->width() + spacing;
    const QMargins margins = layout()->contentsMargins();
    return margins.left() + margins.right() + left + centre + right + 2 * spacing;
}

QSize ViewerToolStrip::minimumSizeHint() const
{
    return QSize(widthNeeded(false), QWidget::minimumSizeHint().height());
}

void ViewerToolStrip::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const bool names = width() >= widthNeeded(true);
    const QList<HoverPushButton *> buttons = toolboxButtons();
    for (int i = 0; i < buttons.size(); ++i) {
        if (buttons.at(i)->text().isEmpty() == !names)
            continue;
        buttons.at(i)->setText(names ? toolboxNames.at(i) : QString());
        buttons.at(i)->setToolTip(names ? QString() : toolboxNames.at(i));
    }
}

QPushButton *ViewerToolStrip::changeSizeBtn() const
{
    return sizeToggle;
}
HoverPushButton *ViewerToolStrip::convertBtn() const
{
    return convertButton;
}
HoverPushButton *ViewerToolStrip::resizeBtn() const
{
    return resizeButton;
}
HoverPushButton *ViewerToolStrip::batchBtn() const
{
    return batchButton;
}
HoverPushButton *ViewerToolStrip::aiFixBtn() const
{
    return aiFix;
}
QPushButton *ViewerToolStrip::nextBtn() const
{
    return next;
}
QPushButton *ViewerToolStrip::prevBtn() const
{
    return prev;
}
QPushButton *ViewerToolStrip::biggerBtn() const
{
    return bigger;
}
QPushButton *ViewerToolStrip::smallerBtn() const
{
    return smaller;
}
QPushButton *ViewerToolStrip::turnRightBtn() const
{
    return turnRight;
}
QPushButton *ViewerToolStrip::turnLeftBtn() const
{
    return turnLeft;
}
QPushButton *ViewerToolStrip::printBtn() const
{
    return print;
}

void ViewerToolStrip::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
QPushButton *ViewerToolStrip::stripBtn() const
{
    return stripToggle;
}
QPushButton *ViewerToolStrip::gridBtn() const
{
    return grid;
}
