#include "viewer/ImageView.h"

#include "viewer/CurrentPicture.h"

#include "formats/Formats.h"
#include "ImageLoader.h"
#include "PictureLoad.h"
#include "PictureItem.h"
#include "ViewerLog.h"
#include "ZoomModel.h"
#include "ImageLoadTask.h"
#include "widgets/DropTarget.h"
#include "widgets/DropArea.h"
#include "widgets/StartFolder.h"
#include "widgets/StyledBackground.h"
#include "widgets/UiProfile.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QtMath>

#include <cmath>
#include <utility>

namespace {

constexpr int kArrowMargin = 30;

QPushButton *makeArrow(const QString &tip, const QString &image, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setToolTip(tip);
    button->setStyleSheet(QStringLiteral("QPushButton{border:0px;image:url(:/icons/icons/%1.png);}"
                                         "QPushButton:hover{border:0px;image:url(:/icons/icons/%1_p.png);}")
                              .arg(image));
    button->setFixedSize(UiProfile::isSmallScreen() ? QSize(130, 40) : QSize(64, 64));
    const int icon = UiProfile::pick(32, 64);
    button->setIconSize(QSize(icon, icon));
    button->hide();
    return button;
}

} // namespace

ImageView::ImageView(QWidget *parent)
    : QWidget(parent)
    , centerShow(new DropArea(QString(), this))
    , view(new QGraphicsView(this))
    , scene(new QGraphicsScene(this))
    , current(new CurrentPicture(this))
    , load(new PictureLoad(this, current))
    , spinnerTimer(new QTimer(this))
    , preloadTimer(new QTimer(this))
{
    centerShow->setAcceptedSuffixes(Formats::openSuffixes());
    connect(centerShow->centerWidget(), &DropTarget::clicked, this, &ImageView::addFile);
    connect(centerShow, &DropArea::drapAndDrop, this, &ImageView::onDragAndDrop);

    rightBtn = makeArrow(QStringLiteral("下一张"), QStringLiteral("right_c"), this);
    leftBtn = makeArrow(QStringLiteral("上一张"), QStringLiteral("left_c"), this);

    view->setObjectName(QStringLiteral("graphicsView"));
    view->setStyleSheet(QStringLiteral("QGraphicsView#graphicsView{border:0px;}"));
    view->setDragMode(QGraphicsView::ScrollHandDrag);
    view->setTransformationAnchor(QGraphicsView::NoAnchor);
    view->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    view->setMouseTracking(true);
    view->viewport()->setMouseTracking(true);
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    scene->setBackgroundBrush(QColor(247, 249, 252));
    view->setScene(scene);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(view);
    layout->addWidget(centerShow);
    view->hide();

    loading = new QLabel(this);
    const int side = UiProfile::pick(39, 50);
    loading->setFixedSize(side, side);
    loading->setAlignment(Qt::AlignCenter);
    loading->setScaledContents(true);
    loadingMovie = new QMovie(QStringLiteral(":/icons/icons/loading.gif"), QByteArray(), loading);
    loading->setMovie(loadingMovie);
    hideSpinner();

    message = new QLabel(this);
    message->setAlignment(Qt::AlignCenter);
    message->setStyleSheet(QStringLiteral("QLabel{color:#484848;background:transparent;}"));
    QFont font = message->font();
    font.setPixelSize(UiProfile::pick(16, 20));
    message->setFont(font);
    message->setAttribute(Qt::WA_TransparentForMouseEvents);
    message->hide();

    connect(current, &CurrentPicture::changed, this, &ImageView::followCurrent);
    connect(load, &PictureLoad::pictureIncomplete, this, &ImageView::pictureIncomplete);
    connect(load, &PictureLoad::animationCut, this, &ImageView::animationCut);
    spinnerTimer->setSingleShot(true);
    spinnerTimer->setInterval(kSpinnerDelayMs);
    connect(spinnerTimer, &QTimer::timeout, this, &ImageView::showSpinner);
    // Once a resize (full screen, a dragged edge) has settled.
    preloadTimer->setSingleShot(true);
    preloadTimer->setInterval(200);
    connect(preloadTimer, &QTimer::timeout, this, [this] {
        if (!load->isLoading() && hasPicture())
            load->preloadNeighbours();
    });
}

// --- zoom ---------------------------------------------------------------

QPointF ImageView::sceneAt(const QPointF &viewportPos) const
{
    // mapToScene() takes whole pixels; this keeps the fraction so repeated anchored
    // steps do not drift.
    const QTransform &t = view->transform();
    const QPointF scroll = t.map(view->mapToScene(QPoint(0, 0)));
    return t.inverted().map(viewportPos + scroll);
}

void ImageView::transformKeeping(const QPointF &viewportPos, const std::function<void()> &change)
{
    // The view has no anchor of its own (Qt's centre anchor remembers a centre that
    // goes stale after a wheel zoom); every change is shifted back so the scene point
    // under viewportPos stays there.
    const QPointF before = sceneAt(viewportPos);
    change();
    const QPointF after = sceneAt(viewportPos);
    view->translate(after.x() - before.x(), after.y() - before.y());
}

QSize ImageView::screenPixels() const
{
    // This widget's size: the graphics view fills it, but may not be laid out yet
    // when it has just replaced the drop area.
    return size() * devicePixelRatioF();
}

QPointF ImageView::viewportCentre() const
{
    return QRectF(view->viewport()->rect()).center();
}

void ImageView::applyZoom(const QPointF &anchor, double scaleBy, double factor)
{
    if (scaleBy != 1.0)
        transformKeeping(anchor, [&] { view->scale(scaleBy, scaleBy); });
    zoomFactorValue = factor;
    fit = Fit::None;
    load->scheduleLevel();
}

void ImageView::zoomIn()
{
    const ZoomModel::Step step = ZoomModel::stepUp(zoomFactorValue);
    applyZoom(viewportCentre(), step.scaleBy, step.factor);
}

void ImageView::zoomOut()
{
    const ZoomModel::Step step = ZoomModel::stepDown(zoomFactorValue);
    applyZoom(viewportCentre(), step.scaleBy, step.factor);
}

void ImageView::toOrigin(bool notify)
{
    // A plain reset, no translation left in the transform; the scroll bars keep the
    // picture's middle where it was.
    const QPointF centre = sceneAt(viewportCentre());
    view->resetTransform();
    view->centerOn(centre);
    zoomFactorValue = 1.0;
    fit = Fit::None;
    load->scheduleLevel();
    if (notify)
        emit notifyScale(1.0);
}

void ImageView::fitToScreen()
{
    // Without decoded pixels there is nothing to fit and the quotient would be infinite.
    const QSizeF picture = pictureSize();
    if (picture.isEmpty()) {
        emit notifyScale(1.0);
        return;
    }
    fit = Fit::Screen;
    zoomFactorValue = fitView();
    load->scheduleLevel();
    qCDebug(lcViewer) << "oriWidth:" << picture.width() << ",sceneWidth:" << view->width()
                      << "oriHeight:" << picture.height() << ",sceneHeight:" << view->height();
    emit notifyScale(zoomFactorValue);
}

void ImageView::rotateView(double angle)
{
    transformKeeping(viewportCentre(), [&] { view->rotate(angle); });
    // A fitted landscape picture turned upright no longer fits.
    refit();
    load->scheduleLevel();
}

bool ImageView::followsWindow() const
{
    return fit != Fit::None;
}

double ImageView::fitView()
{
    const QRectF rect = scene->sceneRect();
    const QTransform turn = QTransform().rotate(turnDegrees());
    const QSizeF turned = turn.mapRect(rect).size();
    // The exact quotient, no margin: the zoom reports the real scale.
    const double scale = fit == Fit::Load && ZoomModel::showsAtActualSize(turned, view->size())
                             ? 1.0
                             : ZoomModel::fitFactor(turned, view->size());
    view->setTransform(QTransform(turn).scale(scale, scale));
    view->centerOn(rect.center());
    return scale;
}

void ImageView::refit()
{
    if (fit == Fit::None || pictureSize().isEmpty())
        return;
    zoomFactorValue = fitView();
    load->scheduleLevel();
}

void ImageView::zoomAt(const QPointF &viewportPos, bool up)
{
    const ZoomModel::Step step = up ? ZoomModel::stepUp(zoomFactorValue) : ZoomModel::stepDown(zoomFactorValue);
    applyZoom(viewportPos, step.scaleBy, step.factor);
    emit notifyScale(zoomFactorValue);
}

void ImageView::wheelEvent(QWheelEvent *event)
{
    if (!hasPicture())
        return;
    zoomAt(event->position() - view->viewport()->mapTo(this, QPoint(0, 0)), event->angleDelta().y() > 0);
    event->accept();
}

bool ImageView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view || watched == view->viewport()) {
        if (event->type() == QEvent::Resize && watched == view->viewport()) {
            refit();
        } else if (event->type() == QEvent::MouseButtonDblClick && watched == view->viewport()) {
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && pixmapItem)
                emit pictureDoubleClicked();
        } else if (event->type() == QEvent::MouseMove) {
            const QPoint pos = static_cast<QMouseEvent *>(event)->pos();
            const QWidget *source = static_cast<QWidget *>(watched);
            updateArrows(source->mapTo(this, pos).x());
        } else if (event->type() == QEvent::Wheel && watched == view->viewport()) {
            // The view would scroll on the wheel; here the wheel zooms. Accepted, or
            // Qt hands a real wheel event on to this widget and it zooms twice.
            auto *wheel = static_cast<QWheelEvent *>(event);
            if (hasPicture())
                zoomAt(wheel->position(), wheel->angleDelta().y() > 0);
            wheel->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ImageView::updateArrows(int x)
{
    const int w = width();
    if (x < 0.1 * w) {
        leftBtn->move(kArrowMargin, (height() - leftBtn->height()) / 2);
        leftBtn->show();
        leftBtn->raise();
    } else if (x > 0.9 * w) {
        rightBtn->move(w - rightBtn->width() - kArrowMargin, (height() - rightBtn->height()) / 2);
        rightBtn->show();
        rightBtn->raise();
    } else {
        leftBtn->hide();
        rightBtn->hide();
    }
}

void ImageView::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}

void ImageView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeLabels();
    // Neighbours decoded for a smaller view would not serve the next step.
    if (event->size().width() > event->oldSize().width() || event->size().height() > event->oldSize().height())
        preloadTimer->start();
}

void ImageView::placeLabels()
{
    loading->move((width() - loading->width()) / 2, (height() - loading->height()) / 2);
    message->resize(width(), message->sizeHint().height());
    message->move(0, (height() - message->height()) / 2);
}

// --- accessors ----------------------------------------------------------

QString ImageView::imgFilePath() const
{
    return current->path();
}
CurrentPicture *ImageView::currentPicture() const
{
    return current;
}
QPixmap ImageView::currentPixmap() const
{
    // The most detailed picture held: the full one only while zoomed in.
    return hasPicture() ? pixmapItem->best() : QPixmap();
}
void ImageView::withWholePicture(QObject *context, const std::function<void(const QPixmap &)> &use)
{
    load->withWholePicture(context, use);
}

int ImageView::turnDegrees() const
{
    // Quarter turns and one scale on both axes: the turn is the angle of a mapped unit.
    const QTransform t = view->transform();
    return qRound(qRadiansToDegrees(std::atan2(t.m12(), t.m11())));
}
bool ImageView::hasPicture() const
{
    // A previous picture left on screen while the next loads is not the current one.
    return pixmapItem && shownPath == current->path();
}
bool ImageView::isLoading() const
{
    return load->isLoading();
}
LoadFailure ImageView::loadFailure() const
{
    return load->failure();
}
int ImageView::currentFrame() const
{
    return load->currentFrame();
}
bool ImageView::isAnimating() const
{
    return load->isAnimating();
}
double ImageView::zoomFactor() const
{
    return zoomFactorValue;
}
QSizeF ImageView::pictureSize() const
{
    return hasPicture() ? QSizeF(pixmapItem->fullSize()) : QSizeF(0, 0);
}
QPushButton *ImageView::leftArrowBtn() const
{
    return leftBtn;
}
QPushButton *ImageView::rightArrowBtn() const
{
    return rightBtn;
}
QGraphicsView *ImageView::graphicsView() const
{
    return view;
}
QLabel *ImageView::loadingLabel() const
{
    return loading;
}
QLabel *ImageView::messageLabel() const
{
    return message;
}
ImageLoader *ImageView::loader() const
{
    return load->loader();
}
PictureItem *ImageView::pictureItem() const
{
    return pixmapItem;
}
DropArea *ImageView::dropArea() const
{
    return centerShow;
}

void ImageView::setImgPath(const QString &path)
{
    // Not yet the current file: that is what showing it makes of it (a folder never is).
    startPath = path;
}

// --- loading ------------------------------------------------------------

void ImageView::addFile()
{
    auto *dialog = new QFileDialog(this, QStringLiteral("打开图片"));
    StartFolder::track(dialog);
    QString filter;
    for (const QString &suffix : Formats::openSuffixes())
        filter += QStringLiteral("*.") + suffix + QLatin1Char(' ');
    dialog->setNameFilter(filter);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setViewMode(QFileDialog::Detail);
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        showImg(dialog->selectedFiles().constFirst());
        qCDebug(lcViewer) << "oriWidth:" << pictureSize().width() << ",viewWidth:" << view->width();
    }
    dialog->deleteLater();
}

void ImageView::showDefaultImg()
{
    if (!startPath.isEmpty())
        showImg(startPath);
}

void ImageView::onDragAndDrop(QList<QUrl> urls)
{
    qCDebug(lcViewer) << "on drag and drop event";
    if (!urls.isEmpty())
        showImg(urls.constFirst().toLocalFile());
}

void ImageView::showGraphicsView()
{
    if (centerShow->isVisibleTo(this)) {
        centerShow->hide();
        view->show();
    }
}

void ImageView::showImg(const QString &path)
{
    // A folder (named at start-up, dropped) opens as a folder does: its first
    // picture, or the empty view when it has none. It never becomes the current
    // file, on which Delete and the other actions would act.
    current->open(path);
}

void ImageView::followCurrent()
{
    if (current->generation() == followedGeneration)
        return;
    followedGeneration = current->generation();
    if (current->path().isEmpty()) {
        showEmpty();
        return;
    }
    showGraphicsView();
    emit shownPathChanged(current->path());
    message->hide();
    load->start();
}

void ImageView::waitForPicture()
{
    // The shown picture stays until the next one has its first paint; the spinner
    // comes when nothing new could be shown for a while.
    if (!spinnerTimer->isActive() && loading->isHidden())
        spinnerTimer->start();
}

void ImageView::showSpinner()
{
    if (!load->isLoading() || hasPicture())
        return;
    placeLabels();
    loadingMovie->start();
    loading->show();
    loading->raise();
}

void ImageView::hideSpinner()
{
    // A running movie decodes its frames even while hidden: 5 ms of processor
    // time a second and 30 wake-ups of an idle viewer.
    loadingMovie->stop();
    loading->hide();
}

void ImageView::closePicture()
{
    current->clear();
}

void ImageView::showEmpty()
{
    load->stop();
    removePicture();
    hideSpinner();
    message->hide();
    view->hide();
    centerShow->show();
    emit shownPathChanged(QString());
}

void ImageView::showFailure(LoadFailure why)
{
    removePicture();
    spinnerTimer->stop();
    hideSpinner();
    message->setText(QStringLiteral("无法显示此图片\n") + failureReason(why));
    placeLabels();
    message->show();
    message->raise();
    qCDebug(lcViewer) << "cannot show" << current->path() << failureReason(why);
}


void ImageView::showDecodedPicture(QImage img, const QString &forPath)
{
    load->showDecoded(std::move(img), forPath);
}

void ImageView::removePicture()
{
    fit = Fit::None;
    shownPath.clear();
    if (!pixmapItem)
        return;
    scene->removeItem(pixmapItem);
    delete pixmapItem;
    pixmapItem = nullptr;
}

void ImageView::beginPicture(const QSize &fullSize)
{
    removePicture();
    pixmapItem = new PictureItem(fullSize);
    shownPath = current->path();
    scene->setSceneRect(pixmapItem->boundingRect());
    scene->addItem(pixmapItem);
    // Every picture starts upright: the last picture's turns do not carry over.
    view->resetTransform();
    fit = Fit::Load;
    zoomFactorValue = fitView();
    // Something new is on screen.
    spinnerTimer->stop();
    hideSpinner();
}

double ImageView::paintScale() const
{
    // In the screen's pixels, as the item paints: a scaled screen draws each view
    // pixel with several.
    return PictureItem::scaleOf(view->transform()) * view->devicePixelRatioF();
}

void ImageView::preloadNeighbours()
{
    load->preloadNeighbours();
}

// --- browsing -----------------------------------------------------------

bool ImageView::nextImg()
{
    return current->step(1);
}

bool ImageView::prevImg()
{
    return current->step(-1);
}
