#include "viewer/ViewerWindow.h"

#include "batch/toolbox/Toolbox.h"
#include "chrome/EdgeResize.h"
#include "chrome/HoverPushButton.h"
#include "chrome/ViewerToolStrip.h"
#include "chrome/TitleBar.h"
#include "formats/Formats.h"
#include "print/PrintDialog.h"
#include "FolderBrowser.h"
#include "viewer/ImageView.h"
#include "InfoPanel.h"
#include "PictureItem.h"
#include "PictureMenu.h"
#include "ViewerLog.h"
#include "ZoomModel.h"
#include "widgets/DragAcceptance.h"
#include "widgets/MessageBox.h"
#include "widgets/ScreenFit.h"
#include "widgets/StartFolder.h"
#include "widgets/Toast.h"
#include "widgets/UiProfile.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
constexpr int kToastMs = 2000;
const QColor kFullScreenBackground(0x1B, 0x1C, 0x1E);
const char *const kWindowStyle = "ViewerWindow{background:transparent;border:1px solid #027DF0;color:#484848;}";
const char *const kFullScreenStyle = "ViewerWindow{background:#1B1C1E;border:0px;color:#484848;}";

QString lastImageText()
{
    return QStringLiteral("已经是最后一张图片了");
}
QString firstImageText()
{
    return QStringLiteral("已经是第一张图片了");
}

// The size toggle offers the other mode: its tooltip, key and icons.
void dressSizeToggle(QPushButton *toggle, bool fitted)
{
    using ViewerKeys::Action;
    toggle->setToolTip(fitted ? ViewerKeys::tooltip(QStringLiteral("原始大小"), Action::ActualSize)
                              : ViewerKeys::tooltip(QStringLiteral("适应屏幕"), Action::Fit));
    const QString icon = fitted ? QStringLiteral("1_1") : QStringLiteral("screen");
    toggle->setStyleSheet(
        QStringLiteral("QPushButton{border:0px;image: url(:/icons/icons/%1.png);}"
                       "QPushButton:hover{background-color:#F2F5F7;image: url(:/icons/icons/%1_p.png);}")
            .arg(icon));
}
} // namespace

ViewerWindow::ViewerWindow(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("ViewerWindow"));
    setWindowTitle(PictureFacts::windowTitle(QString()));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    ScreenFit::fit(this, wantedMinimum());
    setFont(QFont(UiProfile::uiFamily()));
    new EdgeResize(this);

    title = new TitleBar(this);
    imageView = new ImageView;
    toastWidget = new Toast(this);
    infoPanel = new InfoPanel;
    infoPanel->hide();
    footerWidget = new ViewerToolStrip;

    connectButtons();
    setUpKeys();

    auto *centre = new QWidget;
    centre->setObjectName(QStringLiteral("mainCenterWidget"));
    centre->setStyleSheet(QStringLiteral("QWidget#mainCenterWidget{background-color:white;}"));
    auto *centreLayout = new QHBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(0);
    centreLayout->addWidget(imageView);
    centreLayout->addWidget(infoPanel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(title);
    layout->addWidget(centre);
    layout->addWidget(footerWidget);

    setStyleSheet(QLatin1String(kWindowStyle));
    contentWidget = imageView;
    contentWidget->show();

    connect(imageView, &ImageView::setImgFilePath, this, &ViewerWindow::setImgName);
    connect(imageView, &ImageView::pictureDoubleClicked, this, &ViewerWindow::toggleFullScreen);
    connect(imageView, &ImageView::animationCut, this, &ViewerWindow::showAnimationCut);
    // The zoom and the picture's size are read whenever the picture is painted.
    imageView->graphicsView()->viewport()->installEventFilter(this);
    // The view, not its viewport: the scroll area hands the viewport's context menu
    // event to its own QWidget::event.
    imageView->graphicsView()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(imageView->graphicsView(), &QWidget::customContextMenuRequested, this, &ViewerWindow::showContextMenu);

    // A file dropped anywhere opens, the picture included: the view keeps no drops
    // of its own (its scene would take the drag and do nothing with it).
    setAcceptDrops(true);
    imageView->graphicsView()->setAcceptDrops(false);
    imageView->graphicsView()->viewport()->setAcceptDrops(false);

    const QRect area = ScreenFit::availableArea(this);
    if (!area.isEmpty())
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

QSize ViewerWindow::wantedMinimum()
{
    return QSize(UiProfile::pick(1100, 1400), UiProfile::pick(730, 900));
}

void ViewerWindow::connectButtons()
{
    const ViewerToolStrip *f = footerWidget;
    connect(f->changeSizeBtn(), &QPushButton::clicked, this, &ViewerWindow::onChangeSizeBtnClicked);
    connect(f->chFmtBtn(), &QPushButton::clicked, this, &ViewerWindow::onChFmtBtnClicked);
    connect(f->resizeBtn(), &QPushButton::clicked, this, &ViewerWindow::onChFmtBtnClicked);
    connect(f->batchBtn(), &QPushButton::clicked, this, &ViewerWindow::onBatchClicked);
    connect(f->aiFixBtn(), &QPushButton::clicked, this, &ViewerWindow::onAIFixBtnClicked);
    connect(f->turnRightBtn(), &QPushButton::clicked, this, &ViewerWindow::onTurnClicked);
    connect(f->turnLeftBtn(), &QPushButton::clicked, this, &ViewerWindow::onTurnClicked);
    connect(f->biggerBtn(), &QPushButton::clicked, this, &ViewerWindow::onScaleChangeBtnClicked);
    connect(f->smallerBtn(), &QPushButton::clicked, this, &ViewerWindow::onScaleChangeBtnClicked);
    for (QPushButton *button : {f->nextBtn(), f->prevBtn(), imageView->rightArrowBtn(), imageView->leftArrowBtn()})
        connect(button, &QPushButton::clicked, this, &ViewerWindow::onNextPrevBtnClicked);
    connect(f->printBtn(), &QPushButton::clicked, this, &ViewerWindow::onPrintBtnClicked);
    connect(imageView, &ImageView::notifyScale, this, &ViewerWindow::onSetScale);
    connect(imageView, &ImageView::pictureIncomplete, this,
            [this] { toastWidget->showToast(QStringLiteral("图片不完整"), kToastMs); });
}

void ViewerWindow::setUpKeys()
{
    for (const ViewerKeys::Binding &binding : ViewerKeys::bindings()) {
        for (const QKeySequence &key : binding.keys) {
            auto *shortcut = new QShortcut(key, this);
            shortcut->setAutoRepeat(true);
            const ViewerKeys::Action action = binding.action;
            connect(shortcut, &QShortcut::activated, this, [this, action] { perform(action); });
        }
    }

    using ViewerKeys::Action;
    using ViewerKeys::tooltip;
    const ViewerToolStrip *f = footerWidget;
    f->prevBtn()->setToolTip(tooltip(QStringLiteral("上一张"), Action::Previous));
    f->nextBtn()->setToolTip(tooltip(QStringLiteral("下一张"), Action::Next));
    imageView->leftArrowBtn()->setToolTip(tooltip(QStringLiteral("上一张"), Action::Previous));
    imageView->rightArrowBtn()->setToolTip(tooltip(QStringLiteral("下一张"), Action::Next));
    f->biggerBtn()->setToolTip(tooltip(QStringLiteral("放大"), Action::ZoomIn));
    f->smallerBtn()->setToolTip(tooltip(QStringLiteral("缩小"), Action::ZoomOut));
    f->turnLeftBtn()->setToolTip(tooltip(QStringLiteral("左旋转"), Action::TurnLeft));
    f->turnRightBtn()->setToolTip(tooltip(QStringLiteral("右旋转"), Action::TurnRight));
    f->printBtn()->setToolTip(tooltip(QStringLiteral("打印"), Action::Print));
    dressSizeToggle(f->changeSizeBtn(), sizeModeValue == SizeMode::Fitted);
}

void ViewerWindow::perform(ViewerKeys::Action action)
{
    using A = ViewerKeys::Action;
    // Opening and full screen work whatever is shown; stepping needs a file, and the
    // rest act on the picture. Each asks what its buttons ask.
    const bool anyTime = action == A::Open || action == A::ToggleFullScreen || action == A::LeaveFullScreen
                         || action == A::Undo;
    const bool steps = action == A::Previous || action == A::Next || action == A::First || action == A::Last
                       || action == A::Trash || action == A::ToggleInfo || action == A::CopyPath;
    if (!anyTime && !(steps ? hasImage() : imageView->hasPicture()))
        return;
    switch (action) {
    case A::Open: imageView->addFile(); break;
    case A::ToggleFullScreen: toggleFullScreen(); break;
    case A::LeaveFullScreen: leaveFullScreen(); break;
    case A::Previous: step(-1); break;
    case A::Next: step(1); break;
    case A::First: showFolderEnd(false); break;
    case A::Last: showFolderEnd(true); break;
    case A::ZoomIn: zoomStep(true); break;
    case A::ZoomOut: zoomStep(false); break;
    case A::Fit: setSizeMode(SizeMode::Fitted); break;
    case A::ActualSize: setSizeMode(SizeMode::ActualSize); break;
    case A::TurnRight: turn(90); break;
    case A::TurnLeft: turn(-90); break;
    case A::Print: onPrintBtnClicked(false); break;
    case A::Trash: trashShown(); break;
    case A::Undo: restoreTrashed(); break;
    case A::ToggleInfo: toggleInfo(); break;
    case A::CopyPicture: copyPicture(); break;
    case A::CopyPath: copyPath(); break;
    }
}

void ViewerWindow::toggleFullScreen()
{
    if (isFullScreen()) {
        leaveFullScreen();
        return;
    }
    maximizedBeforeFullScreen = isMaximized();
    title->hide();
    footerWidget->hide();
    setFullScreenLook(true);
    showFullScreen();
}

void ViewerWindow::leaveFullScreen()
{
    if (!isFullScreen())
        return;
    title->show();
    footerWidget->show();
    setFullScreenLook(false);
    if (maximizedBeforeFullScreen)
        showMaximized();
    else
        showNormal();
}

TitleBar *ViewerWindow::titleBar() const
{
    return title;
}
ViewerToolStrip *ViewerWindow::footer() const
{
    return footerWidget;
}
ImageView *ViewerWindow::view() const
{
    return imageView;
}
Toast *ViewerWindow::toast() const
{
    return toastWidget;
}
InfoPanel *ViewerWindow::info() const
{
    return infoPanel;
}
int ViewerWindow::sizeMode() const
{
    return int(sizeModeValue);
}

bool ViewerWindow::hasImage() const
{
    return !imageView->imgFilePath().isEmpty();
}

void ViewerWindow::onChangeSizeBtnClicked(bool)
{
    if (!imageView->hasPicture())
        return;
    setSizeMode(sizeModeValue == SizeMode::Fitted ? SizeMode::ActualSize : SizeMode::Fitted);
}

void ViewerWindow::setSizeMode(SizeMode mode)
{
    // The view reports the zoom, so the toast shows 100% or the fitted zoom.
    if (mode == SizeMode::ActualSize)
        imageView->toOrigin(true);
    else
        imageView->fitToScreen();
    sizeModeValue = mode;
    dressSizeToggle(footerWidget->changeSizeBtn(), mode == SizeMode::Fitted);
}

void ViewerWindow::onChFmtBtnClicked(bool)
{
    // The path is handed over even when empty; the page decides what it accepts.
    const bool resize = sender() == footerWidget->resizeBtn();
    Toolbox::open(this, resize ? Toolbox::ResizeTab : Toolbox::ConvertTab, imageView->imgFilePath());
}

void ViewerWindow::onBatchClicked(bool)
{
    Toolbox::open(this);
}

void ViewerWindow::onAIFixBtnClicked(bool)
{
    auto *dialog = new MessageBox(QStringLiteral("该功能即将上线！"), this);
    dialog->show();
}

void ViewerWindow::onTurnClicked(bool)
{
    if (!imageView->hasPicture())
        return;
    turn(sender() == footerWidget->turnRightBtn() ? 90 : -90);
}

void ViewerWindow::turn(double angle)
{
    imageView->rotateView(angle);
}

void ViewerWindow::onScaleChangeBtnClicked(bool)
{
    if (!imageView->hasPicture())
        return;
    zoomStep(sender() == footerWidget->biggerBtn());
}

void ViewerWindow::zoomStep(bool up)
{
    if (up)
        imageView->zoomIn();
    else
        imageView->zoomOut();
    onSetScale(imageView->zoomFactor());
}

void ViewerWindow::onNextPrevBtnClicked(bool)
{
    if (!hasImage())
        return;
    const QObject *button = sender();
    step(button == footerWidget->nextBtn() || button == imageView->rightArrowBtn() ? 1 : -1);
}

void ViewerWindow::step(int offset)
{
    if (offset > 0 && !imageView->nextImg())
        toastWidget->showToast(lastImageText(), kToastMs);
    else if (offset < 0 && !imageView->prevImg())
        toastWidget->showToast(firstImageText(), kToastMs);
}

void ViewerWindow::showAnimationCut(int framesPlayed)
{
    toastWidget->showToast(QStringLiteral("动画帧数过多，只播放前 %1 帧").arg(framesPlayed), kToastMs);
}

void ViewerWindow::showFolderEnd(bool last)
{
    const QString path = FolderBrowser::folderEnd(imageView->imgFilePath(), last);
    if (path.isEmpty() || path == QFileInfo(imageView->imgFilePath()).absoluteFilePath()) {
        toastWidget->showToast(last ? lastImageText() : firstImageText(), kToastMs);
        return;
    }
    imageView->showImg(path);
}

void ViewerWindow::onPrintBtnClicked(bool)
{
    if (!imageView->hasPicture())
        return;
    auto *dialog = new PrintDialog(this);
    dialog->setPicturePath(imageView->imgFilePath());
    dialog->show();
    imageView->withWholePicture(dialog, [dialog](const QPixmap &picture) { dialog->setPixmap(picture); });
}

void ViewerWindow::onSetScale(double scale)
{
    toastWidget->showToast(ZoomModel::percentText(scale), kToastMs);
}

void ViewerWindow::setImgName(const QString &path)
{
    const QFileInfo info(path);
    const QString name = path.isEmpty() ? QString() : info.fileName();
    title->setTitleText(name, path.isEmpty() ? QString() : QDir::toNativeSeparators(info.absoluteFilePath()));
    setWindowTitle(PictureFacts::windowTitle(name));
    StartFolder::setShownPicture(path);
    // The place in the folder and the file's size change with the file only.
    const FolderBrowser::Place place = path.isEmpty() ? FolderBrowser::Place() : FolderBrowser::place(path);
    facts = PictureFacts::Facts();
    facts.position = place.position;
    facts.count = place.count;
    facts.bytes = info.isFile() ? info.size() : -1;
    infoPanel->setPicture(path, QSize());
    updateFacts();
}

void ViewerWindow::updateFacts()
{
    const bool shown = imageView->hasPicture();
    const QSize pixels = shown ? imageView->pictureSize().toSize() : QSize();
    const double zoom = shown ? PictureItem::scaleOf(imageView->graphicsView()->transform()) : 0;
    if (pixels != facts.pixels)
        infoPanel->setPicture(imageView->imgFilePath(), pixels);
    facts.pixels = pixels;
    facts.zoom = zoom;
    const QString line = PictureFacts::line(facts);
    if (line != title->facts())
        title->setFacts(line);
}

bool ViewerWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched == imageView->graphicsView()->viewport())
        updateFacts();
    return QFrame::eventFilter(watched, event);
}

// --- culling, copying, the menu ---------------------------------------------

void ViewerWindow::trashShown()
{
    const QString path = imageView->imgFilePath();
    // The neighbours before the file goes: afterwards it is no longer listed.
    const QStringList around = FolderBrowser::neighbours(path);
    const TrashBin::Outcome outcome = trashBin.trash(path);
    if (outcome != TrashBin::Outcome::Done) {
        (new MessageBox(TrashBin::message(outcome), this))->show();
        return;
    }
    const QString next = !around.at(0).isEmpty() ? around.at(0) : around.at(1);
    if (next.isEmpty())
        imageView->closePicture();
    else
        imageView->showImg(next);
    toastWidget->showToast(TrashBin::message(outcome), kToastMs);
}

void ViewerWindow::restoreTrashed()
{
    QString restored;
    const TrashBin::Outcome outcome = trashBin.restoreLast(&restored);
    if (outcome != TrashBin::Outcome::Done) {
        toastWidget->showToast(TrashBin::message(outcome), kToastMs);
        return;
    }
    imageView->showImg(restored);
    toastWidget->showToast(QStringLiteral("已恢复"), kToastMs);
}

void ViewerWindow::toggleInfo()
{
    infoPanel->setVisible(!infoPanel->isVisible());
}

void ViewerWindow::copyPicture()
{
    imageView->withWholePicture(this, [this](const QPixmap &picture) {
        QApplication::clipboard()->setPixmap(picture);
        toastWidget->showToast(QStringLiteral("已复制图片"), kToastMs);
    });
}

void ViewerWindow::copyPath()
{
    QApplication::clipboard()->setText(QDir::toNativeSeparators(QFileInfo(imageView->imgFilePath()).absoluteFilePath()));
    toastWidget->showToast(QStringLiteral("已复制路径"), kToastMs);
}

void ViewerWindow::showContextMenu(const QPoint &pos)
{
    if (!hasImage())
        return;
    QMenu *menu = PictureMenu::make(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(imageView->graphicsView()->viewport()->mapToGlobal(pos));
}

void ViewerWindow::setFullScreenLook(bool on)
{
    setStyleSheet(QLatin1String(on ? kFullScreenStyle : kWindowStyle));
    imageView->graphicsView()->setBackgroundBrush(on ? QBrush(kFullScreenBackground) : QBrush());
}

void ViewerWindow::showDefaultImg()
{
    imageView->showDefaultImg();
}

void ViewerWindow::onToOriginBtnClicked(bool)
{
    if (imageView->hasPicture())
        imageView->toOrigin(true);
}

void ViewerWindow::onToScreenBtnClicked(bool)
{
    if (imageView->hasPicture())
        imageView->fitToScreen();
}

void ViewerWindow::showEvent(QShowEvent *event)
{
    // Now on its screen: bound the minimum by that screen's area.
    setMinimumSize(ScreenFit::boundedMinimum(wantedMinimum(), ScreenFit::availableArea(this).size()));
    activateWindow();
    QFrame::showEvent(event);
    qCDebug(lcViewer) << "this.window.width==============:" << width();
}

void ViewerWindow::mousePressEvent(QMouseEvent *event)
{
    pressX = event->pos().x();
    pressY = event->pos().y();
    const int posMaxX = width();
    qCDebug(lcViewer) << "X:" << pressX << ",Y:" << pressY << ",posMaxX:" << posMaxX;
    if (pressX > 0 && pressX < posMaxX && pressY > dragTop && pressY < dragBottom)
        dragging = true;
    QFrame::mousePressEvent(event);
}

void ViewerWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging)
        move(event->globalPos() - QPoint(pressX, pressY));
    QFrame::mouseMoveEvent(event);
}

void ViewerWindow::mouseReleaseEvent(QMouseEvent *event)
{
    dragging = false;
    QFrame::mouseReleaseEvent(event);
}

void ViewerWindow::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *mime = event->mimeData();
    if (mime->hasUrls() && DragAcceptance::acceptsUrls(mime->urls(), Formats::openSuffixes()))
        event->acceptProposedAction();
}

void ViewerWindow::dragMoveEvent(QDragMoveEvent *event)
{
    event->acceptProposedAction();
}

void ViewerWindow::dropEvent(QDropEvent *event)
{
    event->acceptProposedAction();
    imageView->onDragAndDrop(event->mimeData()->urls());
}
