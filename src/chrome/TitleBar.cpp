#include "chrome/TitleBar.h"

#include "CloseBtn.h"
#include "widgets/ElidedLabel.h"
#include "widgets/StyledBackground.h"
#include "widgets/UiProfile.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVariant>

namespace {
const char *const kMaxIcon = ":/icons/icons/max_white.png";
const char *const kRestoreIcon = ":/icons/icons/normal_white.png";
} // namespace

TitleBar::TitleBar(QWidget *parent)
    : QWidget(parent)
    , iconLabel(new QLabel(this))
    , productLabel(new QLabel(QStringLiteral("Pelmora图片查看器"), this))
    , fileNameLabel(new ElidedLabel(this))
    , factsLabel(new QLabel(this))
    , minButton(new QPushButton(this))
    , maximizeButton(new QPushButton(this))
    , closeBtn(new CloseBtn(QStringLiteral(":/icons/icons/close_white.png"),
                            QStringLiteral(":/icons/icons/close_dialog.png"), this))
{
    setObjectName(QStringLiteral("titleBar"));
    iconLabel->setObjectName(QStringLiteral("titleIcon"));
    productLabel->setObjectName(QStringLiteral("productName"));
    fileNameLabel->setObjectName(QStringLiteral("fileName"));
    factsLabel->setObjectName(QStringLiteral("facts"));
    setFixedHeight(UiProfile::pick(45, 60));

    iconLabel->setPixmap(QPixmap(QStringLiteral(":/icons/icons/title_icon.png")));
    iconLabel->setFixedSize(40, 35);
    iconLabel->setScaledContents(true);
    iconLabel->setStyleSheet(QStringLiteral("QLabel{border-radius:8px;}"));

    productLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    productLabel->setFont(UiProfile::bodyFont());
    productLabel->setStyleSheet(QStringLiteral("QLabel{color:#484848;}"));

    const QSize buttonSize = UiProfile::isSmallScreen() ? QSize(40, 45) : QSize(45, 60);
    const QString buttonStyle = QStringLiteral(
        "QPushButton{border:0px;border-radius: none; background-color:none;}QPushButton:hover{background-color:%1;}");
    minButton->setFixedSize(buttonSize);
    minButton->setObjectName(QStringLiteral("minimizeButton"));
    minButton->setIcon(QIcon(QStringLiteral(":/icons/icons/min_black.png")));
    maximizeButton->setFixedSize(buttonSize);
    maximizeButton->setObjectName(QStringLiteral("maxButton"));
    // The window starts maximised, so the button offers to restore it; then it
    // follows the window's state, however that changes.
    setMaxIcon(QLatin1String(kRestoreIcon));
    if (parent)
        parent->installEventFilter(this);
    for (QPushButton *button : {minButton, maximizeButton})
        button->setStyleSheet(buttonStyle.arg(QStringLiteral("#E7EAED")));
    closeBtn->setFixedSize(buttonSize);
    closeBtn->setObjectName(QStringLiteral("closeButton"));
    // Red while hovered by the button's own state, which starts right (see CloseBtn).
    closeBtn->setStyleSheet(QStringLiteral("QPushButton{border:0px;border-radius: none; background-color:none;}"
                                           "QPushButton[hovered=\"true\"]{background-color:#CB3B3B;}"));

    fileNameLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    fileNameLabel->setFont(UiProfile::bodyFont());
    factsLabel->setObjectName(QStringLiteral("factsLabel"));
    factsLabel->setFont(UiProfile::bodyFont());
    factsLabel->setStyleSheet(QStringLiteral("QLabel{color:#7A8089;}"));
    factsLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    factsLabel->hide();

    auto *left = new QHBoxLayout;
    left->setContentsMargins(5, 0, 0, 0);
    left->setSpacing(5);
    left->addWidget(iconLabel);
    left->addWidget(productLabel);
    left->addStretch();

    auto *right = new QHBoxLayout;
    right->setContentsMargins(5, 0, 0, 0);
    right->setSpacing(5);
    right->addStretch();
    right->addWidget(minButton);
    right->addWidget(maximizeButton);
    right->addWidget(closeBtn);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addLayout(left, 0, 0);
    auto *middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(UiProfile::pick(10, 16));
    middle->addWidget(fileNameLabel);
    middle->addWidget(factsLabel);
    grid->addLayout(middle, 0, 1);
    grid->addLayout(right, 0, 2);
    // The name column has no stretch of its own: a grid gives a stretching column
    // only its minimum and shares the rest by stretch, which would elide a name
    // that fits. Without, it gets its whole width first, and the sides keep it
    // in the middle.
    grid->setColumnStretch(0, 10);
    grid->setColumnStretch(1, 0);
    grid->setColumnStretch(2, 10);

    QPalette pal = palette();
    pal.setColor(QPalette::All, QPalette::Window, QColor(247, 249, 252));
    setPalette(pal);
    setAutoFillBackground(true);
    setProperty("titleBar", true);

    connect(minButton, &QPushButton::clicked, this, [this] {
        if (window()->isWindow())
            window()->showMinimized();
    });
    connect(maximizeButton, &QPushButton::clicked, this, [this] {
        if (window()->isWindow())
            toggleMaximized();
    });
    connect(closeBtn, &QPushButton::clicked, this, [this] {
        if (!window()->isWindow())
            return;
        window()->close();
        emit closeClicked();
    });
}

void TitleBar::setTitleText(const QString &text, const QString &toolTip)
{
    fileNameLabel->setFullText(text, toolTip);
}

QString TitleBar::titleText() const
{
    return fileNameLabel->text();
}

QString TitleBar::shownTitleText() const
{
    return fileNameLabel->shownText();
}

void TitleBar::setFacts(const QString &text)
{
    factsLabel->setText(text);
    factsLabel->setVisible(!text.isEmpty());
}

QString TitleBar::facts() const
{
    return factsLabel->text();
}

QPushButton *TitleBar::minimizeButton() const
{
    return minButton;
}
QPushButton *TitleBar::maxButton() const
{
    return maximizeButton;
}
QPushButton *TitleBar::closeButton() const
{
    return closeBtn;
}
QString TitleBar::maxButtonIcon() const
{
    return maxIconPath;
}

void TitleBar::setMaxIcon(const QString &path)
{
    maxIconPath = path;
    maximizeButton->setIcon(QIcon(path));
}

void TitleBar::toggleMaximized()
{
    QWidget *win = window();
    if (win->isMaximized()) {
        win->showNormal();
        setMaxIcon(QLatin1String(kMaxIcon));
    } else {
        win->showMaximized();
        setMaxIcon(QLatin1String(kRestoreIcon));
    }
}

bool TitleBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && (event->type() == QEvent::WindowStateChange || event->type() == QEvent::Show))
        setMaxIcon(QLatin1String(window()->isMaximized() ? kRestoreIcon : kMaxIcon));
    return QWidget::eventFilter(watched, event);
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    toggleMaximized();
    QWidget::mouseDoubleClickEvent(event);
}

void TitleBar::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
