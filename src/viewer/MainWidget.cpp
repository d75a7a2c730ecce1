#include "viewer/MainWidget.h"

#include "batch/toolbox/Toolbox.h"
#include "chrome/HoverPushButton.h"
#include "chrome/MainFooterWidget.h"
#include "chrome/TitleBar.h"
#include "print/PrintDialog.h"
#include "viewer/SeeImgMainWT.h"
#include "viewer/ViewerLog.h"
#include "viewer/ZoomModel.h"
#include "widgets/MyDialog.h"
#include "widgets/Toast.h"
#include "widgets/UiProfile.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
constexpr int kToastMs = 2000;
} // namespace

MainWidget::MainWidget(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("MainWidget"));
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    minWidth = UiProfile::pick(1100, 1400);
    minHeight = UiProfile::pick(730, 900);
    setMinimumSize(minWidth, minHeight);
    setFont(QFont(UiProfile::uiFamily()));

    title = new TitleBar(this);
    imageView = new SeeImgMainWT;
    toastWidget = new Toast(this);
    footerWidget = new MainFooterWidget;

    connectButtons();

    auto *centre = new QWidget;
    centre->setObjectName(QStringLiteral("mainCenterWidget"));
    centre->setStyleSheet(QStringLiteral("QWidget#mainCenterWidget{background-color:white;}"));
    auto *centreLayout = new QHBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->addWidget(imageView);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(title);
    layout->addWidget(centre);
    layout->addWidget(footerWidget);

    setStyleSheet(QStringLiteral("MainWidget{background:transparent;border:1px solid #027DF0;color:#484848;}"));
    contentWidget = imageView;
    contentWidget->show();

    connect(imageView, &SeeImgMainWT::setImgFilePath, this, &MainWidget::setImgName);

    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move((area.width() - width()) / 2, (area.height() - height()) / 2);
    }
}

void MainWidget::connectButtons()
{
    const MainFooterWidget *f = footerWidget;
    connect(f->changeSizeBtn(), &QPushButton::clicked, this, &MainWidget::onChangeSizeBtnClicked);
    connect(f->chFmtBtn(), &QPushButton::clicked, this, &MainWidget::onChFmtBtnClicked);
    connect(f->resizeBtn(), &QPushButton::clicked, this, &MainWidget::onChFmtBtnClicked);
    connect(f->pichuliBtn(), &QPushButton::clicked, this, &MainWidget::onPichuliBtnClicker);
    connect(f->aiFixBtn(), &QPushButton::clicked, this, &MainWidget::onAIFixBtnClicked);
    connect(f->rightXuanBtn(), &QPushButton::clicked, this, &MainWidget::onXuanBtnClicked);
    connect(f->leftXuanBtn(), &QPushButton::clicked, this, &MainWidget::onXuanBtnClicked);
    connect(f->biggerBtn(), &QPushButton::clicked, this, &MainWidget::onScaleChangeBtnClicked);
    connect(f->smallerBtn(), &QPushButton::clicked, this, &MainWidget::onScaleChangeBtnClicked);
    for (QPushButton *button : {f->nextBtn(), f->prevBtn(), imageView->rightArrowBtn(), imageView->leftArrowBtn()})
        connect(button, &QPushButton::clicked, this, &MainWidget::onNextPrevBtnClicked);
    connect(f->printBtn(), &QPushButton::clicked, this, &MainWidget::onPrintBtnClicked);
    connect(imageView, &SeeImgMainWT::notifyScale, this, &MainWidget::onSetScale);
}

TitleBar *MainWidget::titleBar() const
{
    return title;
}
MainFooterWidget *MainWidget::footer() const
{
    return footerWidget;
}
SeeImgMainWT *MainWidget::view() const
{
    return imageView;
}
Toast *MainWidget::toast() const
{
    return toastWidget;
}
int MainWidget::sizeMode() const
{
    return sizeModeValue;
}

bool MainWidget::hasImage() const
{
    return !imageView->imgFilePath().isEmpty();
}

void MainWidget::onChangeSizeBtnClicked(bool)
{
    if (!hasImage())
        return;
    QPushButton *toggle = footerWidget->changeSizeBtn();
    if (sizeModeValue == 1) {
        imageView->toOrigin(true);
        toggle->setToolTip(QStringLiteral("适应屏幕"));
        toggle->setStyleSheet(
            QStringLiteral("QPushButton{border:0px;image: url(:/icons/icons/screen.png);}"
                           "QPushButton:hover{background-color:#F2F5F7;image: url(:/icons/icons/screen_p.png);}"));
        sizeModeValue = 2;
    } else {
        imageView->fitToScreen();
        toggle->setToolTip(QStringLiteral("原始大小"));
        toggle->setStyleSheet(
            QStringLiteral("QPushButton{border:0px;image: url(:/icons/icons/1_1.png);}"
                           "QPushButton:hover{background-color:#F2F5F7;image: url(:/icons/icons/1_1_p.png);}"));
        sizeModeValue = 1;
    }
}

void MainWidget::onChFmtBtnClicked(bool)
{
    // The path is handed over even when empty; the page decides what it accepts.
    const bool resize = sender() == footerWidget->resizeBtn();
    Toolbox::open(this, resize ? Toolbox::ResizeTab : Toolbox::ConvertTab, imageView->imgFilePath());
}

void MainWidget::onPichuliBtnClicker(bool)
{
    Toolbox::open(this);
}

void MainWidget::onAIFixBtnClicked(bool)
{
    auto *dialog = new MyDialog(QStringLiteral("该功能即将上线！"), this);
    dialog->show();
}

void MainWidget::onXuanBtnClicked(bool)
{
    if (!hasImage())
        return;
    imageView->rotateView(sender() == footerWidget->rightXuanBtn() ? 90 : -90);
}

void MainWidget::onScaleChangeBtnClicked(bool)
{
    if (!hasImage())
        return;
    if (sender() == footerWidget->biggerBtn())
        imageView->zoomIn();
    else
        imageView->zoomOut();
    onSetScale(imageView->zoomFactor());
}

void MainWidget::onNextPrevBtnClicked(bool)
{
    if (!hasImage())
        return;
    const QObject *button = sender();
    if (button == footerWidget->nextBtn() || button == imageView->rightArrowBtn()) {
        if (!imageView->nextImg())
            toastWidget->showToast(QStringLiteral("已经是最后一张图片了"), kToastMs);
    } else if (!imageView->prevImg()) {
        toastWidget->showToast(QStringLiteral("已经是第一张图片了"), kToastMs);
    }
}

void MainWidget::onPrintBtnClicked(bool)
{
    if (!hasImage())
        return;
    auto *dialog = new PrintDialog(this);
    dialog->show();
    dialog->setPixmap(imageView->currentPixmap());
}

void MainWidget::onSetScale(double scale)
{
    toastWidget->showToast(ZoomModel::percentText(scale), kToastMs);
}

void MainWidget::setImgName(const QString &path)
{
    title->setTitleText(QFileInfo(path).fileName());
}

void MainWidget::showDefaultImg()
{
    imageView->showDefaultImg();
}

void MainWidget::onToOriginBtnClicked(bool)
{
    if (hasImage())
        imageView->toOrigin(true);
}

void MainWidget::onToScreenBtnClicked(bool)
{
    if (hasImage())
        imageView->fitToScreen();
}

void MainWidget::showEvent(QShowEvent *event)
{
    activateWindow();
    QFrame::showEvent(event);
    qCDebug(lcViewer) << "this.window.width==============:" << width();
}

void MainWidget::mousePressEvent(QMouseEvent *event)
{
    pressX = event->pos().x();
    pressY = event->pos().y();
    const int posMaxX = width();
    qCDebug(lcViewer) << "X:" << pressX << ",Y:" << pressY << ",posMaxX:" << posMaxX;
    if (pressX > 0 && pressX < posMaxX && pressY > dragTop && pressY < dragBottom)
        dragging = true;
    QFrame::mousePressEvent(event);
}

void MainWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging)
        move(event->globalPos() - QPoint(pressX, pressY));
    QFrame::mouseMoveEvent(event);
}

void MainWidget::mouseReleaseEvent(QMouseEvent *event)
{
    dragging = false;
    QFrame::mouseReleaseEvent(event);
}
