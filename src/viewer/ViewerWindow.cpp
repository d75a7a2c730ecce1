#include "viewer/ViewerWindow.h"

#include "batch/toolbox/Toolbox.h"
#include "chrome/EdgeResize.h"
#include "chrome/HoverPushButton.h"
#include "chrome/ViewerToolStrip.h"
#include "chrome/TitleBar.h"
#include "formats/Formats.h"
#include "print/PrintDialog.h"
#include "viewer/CurrentPicture.h"
#include "viewer/FolderModel.h"
#include "viewer/ImageView.h"
#include "viewer/ViewerCommands.h"
#include "viewer/ViewerSettings.h"
#include "FolderThumbnails.h"
#include "InfoPanel.h"
#include "PictureItem.h"
#include "PictureMenu.h"
#include "ShowInFolder.h"
#include "ShownFile.h"
#include "Slideshow.h"
#include "ThumbnailGrid.h"
#include "ThumbnailStrip.h"
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
#include <QAction>
#include <QPushButton>
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
QString shownGoneText()
{
    return QStringLiteral("当前图片已被移走或删除");
}

// The size toggle offers the other mode: its tooltip, key and icons.
void dressSizeToggle(QPushButton *toggle, bool fitted)
{
    using ViewerCommands::Action;
    toggle->setToolTip(fitted ? ViewerCommands::tooltip(QStringLiteral("原始大小"), Action::ActualSize)
                              : ViewerCommands::tooltip(QStringLiteral("适应屏幕"), Action::Fit));
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
    setFont(QFont(UiProfile::uiFamily()));
    new EdgeResize(this);

    title = new TitleBar(this);
    imageView = new ImageView;
    toastWidget = new Toast(this);
    infoPanel = new InfoPanel;
    infoPanel->hide();
    toolStripWidget = new ViewerToolStrip;
    folderThumbnails = new FolderThumbnails(imageView->currentPicture(), this);
    // The same minimum the window keeps once shown, so showing it changes nothing.
    ScreenFit::fit(this, neededMinimum());

    commands = new ViewerCommands::Actions(this);
    connect(commands, &ViewerCommands::Actions::triggered, this, &ViewerWindow::perform);
    slideshow = new Slideshow(imageView);
    commands->get(ViewerCommands::Action::Slideshow3s)->setChecked(true);
    connect(slideshow, &Slideshow::runningChanged, this, [this](bool running) {
        if (!running && slideshowEnteredFullScreen) {
            slideshowEnteredFullScreen = false;
            leaveFullScreen();
        }
    });
    // The remembered choices: the folder's order and the strip.
    const ViewerSettings::Choices choices = ViewerSettings::read();
    imageView->currentPicture()->folder()->setOrder(choices.sortOrder);
    showSortOrder(choices.sortOrder);
    connectButtons();

    auto *centre = new QWidget;
    centre->setObjectName(QStringLiteral("mainCenterWidget"));
    centre->setStyleSheet(QStringLiteral("QWidget#mainCenterWidget{background-color:white;}"));
    auto *centreLayout = new QHBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(0);
    centreLayout->addWidget(imageView);
    centreLayout->addWidget(folderThumbnails->grid());
    centreLayout->addWidget(infoPanel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(title);
    layout->addWidget(centre);
    layout->addWidget(folderThumbnails->strip());
    layout->addWidget(toolStripWidget);
    connect(folderThumbnails, &FolderThumbnails::leaveGrid, this, [this] { showGrid(false); });
    showStrip(choices.stripShown);
    // The grid's thumbnail size (Ctrl+wheel) is remembered too.
    folderThumbnails->grid()->setThumbnailSide(
        qBound(ThumbnailGrid::kSmallest, choices.thumbnailSize, ThumbnailGrid::kLargest));
    connect(folderThumbnails->grid(), &ThumbnailGrid::thumbnailSideChanged, this, [](int side) {
        ViewerSettings::Choices remembered = ViewerSettings::read();
        remembered.thumbnailSize = side;
        ViewerSettings::write(remembered);
    });

    setStyleSheet(QLatin1String(kWindowStyle));
    contentWidget = imageView;
    contentWidget->show();

    connect(imageView->currentPicture(), &CurrentPicture::changed, this, &ViewerWindow::followCurrent);
    connect(imageView->currentPicture(), &CurrentPicture::shownGone, this,
            [this] { toastWidget->showToast(shownGoneText(), kToastMs); });
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

    // The tool strip's width is known once its style is applied; set now, the minimum
    // is not changed again when the window shows.
    ensurePolished();
    const QRect area = ScreenFit::availableArea(this);
    setMinimumSize(ScreenFit::boundedMinimum(neededMinimum(), area.size()));
    // Restored for the first time: most of the screen, in its middle.
    if (!area.isEmpty()) {
        resize((area.size() * 3 / 4).expandedTo(minimumSize()).boundedTo(area.size()));
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    // The close button ends the process at once: the window is remembered first.
    connect(title, &TitleBar::closeClicked, this, &ViewerWindow::rememberGeometry);
}

QSize ViewerWindow::wantedMinimum()
{
    // What the tool strip's buttons need side by side, and a picture above them.
    return QSize(640, 480);
}

QSize ViewerWindow::neededMinimum() const
{
    return wantedMinimum().expandedTo(QSize(toolStripWidget->minimumSizeHint().width(), 0));
}

void ViewerWindow::showAsRemembered()
{
    // The first start fills the screen; later ones come back as they were left.
    const QByteArray geometry = ViewerSettings::read().windowGeometry;
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        showMaximized();
        return;
    }
    show();
}

void ViewerWindow::rememberGeometry()
{
    // Full screen is a passing state (a slideshow, a look at one picture): the
    // window is remembered as it was before.
    if (isFullScreen())
        return;
    ViewerSettings::Choices choices = ViewerSettings::read();
    choices.windowGeometry = saveGeometry();
    ViewerSettings::write(choices);
}

void ViewerWindow::closeEvent(QCloseEvent *event)
{
    rememberGeometry();
    QFrame::closeEvent(event);
}

void ViewerWindow::connectButtons()
{
    using A = ViewerCommands::Action;
    const ViewerToolStrip *f = toolStripWidget;
    const QList<QPair<QAbstractButton *, A>> buttons = {
        {f->changeSizeBtn(), A::ToggleSize},  {f->convertBtn(), A::OpenConvert},     {f->resizeBtn(), A::OpenResize},
        {f->batchBtn(), A::OpenBatch},        {f->aiFixBtn(), A::AiFix},           {f->turnRightBtn(), A::TurnRight},
        {f->turnLeftBtn(), A::TurnLeft},      {f->biggerBtn(), A::ZoomIn},         {f->smallerBtn(), A::ZoomOut},
        {f->nextBtn(), A::Next},              {f->prevBtn(), A::Previous},         {f->printBtn(), A::Print},
        {f->stripBtn(), A::ToggleStrip},      {f->gridBtn(), A::ToggleGrid},
        {imageView->rightArrowBtn(), A::Next}, {imageView->leftArrowBtn(), A::Previous},
    };
    for (const auto &pair : buttons) {
        QAction *action = commands->get(pair.second);
        connect(pair.first, &QAbstractButton::clicked, action, &QAction::trigger);
        // The toolbox buttons show their names; the icon buttons say them and their key.
        if (pair.first->text().isEmpty())
            pair.first->setToolTip(action->toolTip());
    }
    dressSizeToggle(f->changeSizeBtn(), sizeModeValue == SizeMode::Fitted);
    connect(imageView, &ImageView::notifyScale, this, &ViewerWindow::onSetScale);
    connect(imageView, &ImageView::pictureIncomplete, this,
            [this] { toastWidget->showToast(QStringLiteral("图片不完整"), kToastMs); });
}

ViewerCommands::Actions *ViewerWindow::commandActions() const
{
    return commands;
}

void ViewerWindow::perform(ViewerCommands::Action action)
{
    using A = ViewerCommands::Action;
    // Opening, full screen and the toolbox work whatever is shown; stepping needs a
    // file, and the rest act on the picture.
    const bool anyTime = action == A::Open || action == A::ToggleFullScreen || action == A::LeaveFullScreen
                         || action == A::Undo || action == A::OpenConvert || action == A::OpenResize
                         || action == A::OpenBatch || action == A::AiFix || ViewerCommands::isSortKey(action)
                         || action == A::SortAscending || action == A::SortDescending
                         || ViewerCommands::slideshowSeconds(action) > 0 || action == A::ToggleStrip
                         || action == A::ToggleGrid;
    const bool steps = action == A::Previous || action == A::Next || action == A::First || action == A::Last
                       || action == A::Trash || action == A::ToggleInfo || action == A::CopyPath
                       || action == A::ShowInFolder || action == A::Slideshow;
    if (!anyTime && !(steps ? hasImage() : imageView->hasPicture()))
        return;
    // A command on the picture shows it: the grid gives way. The grid's own toggles,
    // the panel, the toolbox, full screen, the order and the slideshow's interval
    // leave it be.
    const bool besideGrid = action == A::ToggleGrid || action == A::ToggleStrip || action == A::ToggleInfo
                            || action == A::OpenConvert || action == A::OpenResize || action == A::OpenBatch
                            || action == A::AiFix || action == A::ToggleFullScreen || action == A::LeaveFullScreen
                            || ViewerCommands::isSortKey(action) || action == A::SortAscending
                            || action == A::SortDescending || ViewerCommands::slideshowSeconds(action) > 0;
    if (!besideGrid && gridShown())
        showGrid(false);
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
    case A::ToggleSize:
        setSizeMode(sizeModeValue == SizeMode::Fitted ? SizeMode::ActualSize : SizeMode::Fitted);
        break;
    case A::TurnRight: turn(90); break;
    case A::TurnLeft: turn(-90); break;
    case A::Print: print(); break;
    case A::Trash: trashShown(); break;
    case A::Undo: restoreTrashed(); break;
    case A::ToggleInfo: toggleInfo(); break;
    case A::CopyPicture: copyPicture(); break;
    case A::CopyPath: copyPath(); break;
    case A::ShowInFolder: showInFolder(); break;
    case A::OpenConvert: openWith(Toolbox::ConvertTab); break;
    case A::OpenResize: openWith(Toolbox::ResizeTab); break;
    case A::OpenBatch: Toolbox::open(this); break;
    case A::AiFix: (new MessageBox(QStringLiteral("该功能即将上线！"), this))->show(); break;
    case A::SortByName:
    case A::SortByTaken:
    case A::SortByModified:
    case A::SortBySize:
    case A::SortByType: {
        FolderOrder::Key key = FolderOrder::Key::Name;
        ViewerCommands::isSortKey(action, &key);
        setSortKey(key);
        break;
    }
    case A::SortAscending: setSortDescending(false); break;
    case A::SortDescending: setSortDescending(true); break;
    case A::Slideshow: toggleSlideshow(); break;
    case A::Slideshow2s:
    case A::Slideshow3s:
    case A::Slideshow5s:
    case A::Slideshow10s: slideshow->setSeconds(ViewerCommands::slideshowSeconds(action)); break;
    case A::ToggleStrip: showStrip(!stripShown()); break;
    case A::ToggleGrid: showGrid(!gridShown()); break;
    }
}

void ViewerWindow::setSortKey(FolderOrder::Key key)
{
    FolderOrder::Order order = folderModel()->order();
    order.key = key;
    setSortOrder(order);
}

void ViewerWindow::setSortDescending(bool descending)
{
    FolderOrder::Order order = folderModel()->order();
    order.descending = descending;
    setSortOrder(order);
}

void ViewerWindow::setSortOrder(FolderOrder::Order order)
{
    folderModel()->setOrder(order);
    showSortOrder(order);
    ViewerSettings::Choices choices = ViewerSettings::read();
    choices.sortOrder = order;
    ViewerSettings::write(choices);
}

void ViewerWindow::showSortOrder(FolderOrder::Order order)
{
    using A = ViewerCommands::Action;
    commands->get(ViewerCommands::sortKeyAction(order.key))->setChecked(true);
    commands->get(order.descending ? A::SortDescending : A::SortAscending)->setChecked(true);
}

void ViewerWindow::toggleSlideshow()
{
    if (slideshow->isRunning()) {
        slideshow->stop();
        return;
    }
    // Full screen for the show; left again when it ends if the show entered it.
    slideshowEnteredFullScreen = !isFullScreen();
    if (slideshowEnteredFullScreen)
        toggleFullScreen();
    slideshow->start();
}

Slideshow *ViewerWindow::slideshowRunner() const
{
    return slideshow;
}

void ViewerWindow::toggleFullScreen()
{
    if (isFullScreen()) {
        leaveFullScreen();
        return;
    }
    maximizedBeforeFullScreen = isMaximized();
    title->hide();
    toolStripWidget->hide();
    folderThumbnails->strip()->hide(); // T still shows it

    setFullScreenLook(true);
    showFullScreen();
}

void ViewerWindow::leaveFullScreen()
{
    // Esc ends a slideshow, and with it the full screen it entered.
    slideshowEnteredFullScreen = false;
    slideshow->stop();
    if (!isFullScreen())
        return;
    title->show();
    toolStripWidget->show();
    folderThumbnails->strip()->setVisible(commands->get(ViewerCommands::Action::ToggleStrip)->isChecked());
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
ViewerToolStrip *ViewerWindow::toolStrip() const
{
    return toolStripWidget;
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
CurrentPicture *ViewerWindow::currentPicture() const
{
    return imageView->currentPicture();
}
FolderModel *ViewerWindow::folderModel() const
{
    return imageView->currentPicture()->folder();
}
int ViewerWindow::sizeMode() const
{
    return int(sizeModeValue);
}

bool ViewerWindow::hasImage() const
{
    return !imageView->imgFilePath().isEmpty();
}

QString ViewerWindow::shownPictureFile() const
{
    const QString path = imageView->imgFilePath();
    return ShownFile::isPictureFile(path) ? path : QString();
}

TrashBin &ViewerWindow::trash()
{
    return trashBin;
}

void ViewerWindow::showInFolder()
{
    const QString path = shownPictureFile();
    if (path.isEmpty())
        return;
    const QString folder = QFileInfo(path).absolutePath();
    ShowInFolder::show(path, this,
                       [this, folder] { toastWidget->showToast(QStringLiteral("无法打开文件夹：") + folder, kToastMs); });
}

void ViewerWindow::openWith(int tab)
{
    // The toolbox opens whatever is shown; only a picture file is handed to it.
    Toolbox::open(this, Toolbox::Tab(tab), shownPictureFile());
}

void ViewerWindow::setSizeMode(SizeMode mode)
{
    // The view reports the zoom, so the toast shows 100% or the fitted zoom.
    if (mode == SizeMode::ActualSize)
        imageView->toOrigin(true);
    else
        imageView->fitToScreen();
    sizeModeValue = mode;
    dressSizeToggle(toolStripWidget->changeSizeBtn(), mode == SizeMode::Fitted);
}

void ViewerWindow::turn(double angle)
{
    imageView->rotateView(angle);
}

void ViewerWindow::zoomStep(bool up)
{
    if (up)
        imageView->zoomIn();
    else
        imageView->zoomOut();
    onSetScale(imageView->zoomFactor());
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
    if (!imageView->currentPicture()->toEnd(last))
        toastWidget->showToast(last ? lastImageText() : firstImageText(), kToastMs);
}

void ViewerWindow::print()
{
    if (!imageView->hasPicture() || shownPictureFile().isEmpty())
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
    // The file's size changes with the file only.
    factsPath = path;
    facts = PictureFacts::Facts();
    facts.bytes = info.isFile() ? info.size() : -1;
    infoPanel->setPicture(path, QSize());
    placeFacts();
}

void ViewerWindow::followCurrent()
{
    if (imageView->currentPicture()->path() != factsPath)
        setImgName(imageView->currentPicture()->path());
    else
        placeFacts(); // other files came or went: the place changed
}

void ViewerWindow::placeFacts()
{
    const CurrentPicture *current = imageView->currentPicture();
    const bool shown = !factsPath.isEmpty() && current->path() == factsPath;
    facts.position = shown && current->row() >= 0 ? current->row() + 1 : 0;
    facts.count = shown ? current->count() : 0;
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
    // A click ends a slideshow, and does nothing else.
    if (event->type() == QEvent::MouseButtonPress && watched == imageView->graphicsView()->viewport()
        && slideshow->isRunning()) {
        slideshow->stop();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

// --- culling, copying, the menu ---------------------------------------------

void ViewerWindow::trashShown()
{
    CurrentPicture *current = imageView->currentPicture();
    // The neighbours before the file goes: afterwards it is no longer listed.
    const QStringList around = current->neighbours();
    const TrashBin::Outcome outcome = trashBin.trash(current->path());
    if (outcome != TrashBin::Outcome::Done) {
        (new MessageBox(TrashBin::message(outcome), this))->show();
        return;
    }
    const QString next = !around.at(0).isEmpty() ? around.at(0) : around.at(1);
    if (next.isEmpty())
        imageView->closePicture();
    else
        imageView->showImg(next);
    // Gone from the rows now, not when the watcher reports it.
    current->folder()->refresh();
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

FolderThumbnails *ViewerWindow::thumbnails() const
{
    return folderThumbnails;
}

bool ViewerWindow::gridShown() const
{
    return folderThumbnails->grid()->isVisibleTo(this);
}

bool ViewerWindow::stripShown() const
{
    return folderThumbnails->strip()->isVisibleTo(this);
}

void ViewerWindow::showGrid(bool on)
{
    ThumbnailGrid *grid = folderThumbnails->grid();
    imageView->setVisible(!on);
    grid->setVisible(on);
    if (on) {
        grid->setCurrentRow(imageView->currentPicture()->row());
        grid->setFocus();
    } else {
        imageView->setFocus();
    }
    commands->get(ViewerCommands::Action::ToggleGrid)->setChecked(on);
    emit gridToggled(on);
}

void ViewerWindow::showStrip(bool on)
{
    folderThumbnails->strip()->setVisible(on);
    commands->get(ViewerCommands::Action::ToggleStrip)->setChecked(on);
    ViewerSettings::Choices choices = ViewerSettings::read();
    if (choices.stripShown != on) {
        choices.stripShown = on;
        ViewerSettings::write(choices);
    }
    emit stripToggled(on);
}

void ViewerWindow::toggleInfo()
{
    infoPanel->setVisible(!infoPanel->isVisible());
    // The menu's "属性" is checked while the panel shows, however it was opened.
    commands->get(ViewerCommands::Action::ToggleInfo)->setChecked(infoPanel->isVisible());
}

void ViewerWindow::copyPicture()
{
    if (shownPictureFile().isEmpty())
        return;
    imageView->withWholePicture(this, [this](const QPixmap &picture) {
        QApplication::clipboard()->setPixmap(picture);
        toastWidget->showToast(QStringLiteral("已复制图片"), kToastMs);
    });
}

void ViewerWindow::copyPath()
{
    const QString path = shownPictureFile();
    if (path.isEmpty())
        return;
    QApplication::clipboard()->setText(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
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
    // A folder opens on its grid.
    if (QFileInfo(imageView->startingPath()).isDir())
        showGrid(true);
}

void ViewerWindow::showEvent(QShowEvent *event)
{
    // Now on its screen: bound the minimum by that screen's area.
    setMinimumSize(ScreenFit::boundedMinimum(neededMinimum(), ScreenFit::availableArea(this).size()));
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
    const QList<QUrl> urls = event->mimeData()->urls();
    imageView->onDragAndDrop(urls);
    const bool folder = !urls.isEmpty() && QFileInfo(urls.constFirst().toLocalFile()).isDir();
    if (folder || gridShown())
        showGrid(folder);
}
