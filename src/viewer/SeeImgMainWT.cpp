#include "viewer/SeeImgMainWT.h"

#include "formats/Formats.h"
#include "viewer/FolderBrowser.h"
#include "viewer/ImageLoadTask.h"
#include "viewer/ViewerLog.h"
#include "viewer/ZoomModel.h"
#include "widgets/CenterShowForCenterWT.h"
#include "widgets/CenterShowWT.h"
#include "widgets/StyledBackground.h"
#include "widgets/UiProfile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QPushButton>
#include <QStandardPaths>
#include <QThreadPool>
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

QString suffixOf(const QString &path)
{
    // The text after the last dot of the whole path, or the whole path without one.
    return path.mid(path.lastIndexOf(QLatin1Char('.')) + 1);
}

} // namespace

SeeImgMainWT::SeeImgMainWT(QWidget *parent)
    : QWidget(parent)
    , centerShow(new CenterShowWT(QString(), this))
    , view(new QGraphicsView(this))
    , scene(new QGraphicsScene(this))
{
    centerShow->setAcceptedSuffixes(Formats::openSuffixes());
    connect(centerShow->centerWidget(), &CenterShowForCenterWT::clicked, this, &SeeImgMainWT::addFile);
    connect(centerShow, &CenterShowWT::drapAndDrop, this, &SeeImgMainWT::onDragAndDrop);

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
    loadingMovie->start();
    loading->hide();
}

// --- zoom ---------------------------------------------------------------

QPointF SeeImgMainWT::sceneAt(const QPointF &viewportPos) const
{
    // mapToScene() takes whole pixels; this keeps the fraction so repeated anchored
    // steps do not drift.
    const QTransform &t = view->transform();
    const QPointF scroll = t.map(view->mapToScene(QPoint(0, 0)));
    return t.inverted().map(viewportPos + scroll);
}

void SeeImgMainWT::transformKeeping(const QPointF &viewportPos, const std::function<void()> &change)
{
    // The view has no anchor of its own (Qt's centre anchor remembers a centre that
    // goes stale after a wheel zoom); every change is shifted back so the scene point
    // under viewportPos stays there.
    const QPointF before = sceneAt(viewportPos);
    change();
    const QPointF after = sceneAt(viewportPos);
    view->translate(after.x() - before.x(), after.y() - before.y());
}

QPointF SeeImgMainWT::viewportCentre() const
{
    return QRectF(view->viewport()->rect()).center();
}

void SeeImgMainWT::applyZoom(const QPointF &anchor, double scaleBy, double factor)
{
    if (scaleBy != 1.0)
        transformKeeping(anchor, [&] { view->scale(scaleBy, scaleBy); });
    zoomFactorValue = factor;
    fit = Fit::None;
}

void SeeImgMainWT::zoomIn()
{
    const ZoomModel::Step step = ZoomModel::stepUp(zoomFactorValue);
    applyZoom(viewportCentre(), step.scaleBy, step.factor);
}

void SeeImgMainWT::zoomOut()
{
    const ZoomModel::Step step = ZoomModel::stepDown(zoomFactorValue);
    applyZoom(viewportCentre(), step.scaleBy, step.factor);
}

void SeeImgMainWT::toOrigin(bool notify)
{
    // A plain reset, no translation left in the transform; the scroll bars keep the
    // picture's middle where it was.
    const QPointF centre = sceneAt(viewportCentre());
    view->resetTransform();
    view->centerOn(centre);
    zoomFactorValue = 1.0;
    fit = Fit::None;
    if (notify)
        emit notifyScale(1.0);
}

void SeeImgMainWT::fitToScreen()
{
    // Without decoded pixels there is nothing to fit and the quotient would be infinite.
    if (oriWidth <= 0 || oriHeight <= 0) {
        emit notifyScale(1.0);
        return;
    }
    view->fitInView(scene->sceneRect(), Qt::KeepAspectRatio);
    zoomFactorValue = ZoomModel::fitFactor(QSizeF(oriWidth, oriHeight), view->size());
    fit = Fit::Screen;
    qCDebug(lcViewer) << "oriWidth:" << oriWidth << ",sceneWidth:" << view->width() << "oriHeight:" << oriHeight
                      << ",sceneHeight:" << view->height();
    emit notifyScale(zoomFactorValue);
}

void SeeImgMainWT::rotateView(double angle)
{
    transformKeeping(viewportCentre(), [&] { view->rotate(angle); });
    // A fitted landscape picture turned upright no longer fits.
    refit();
}

bool SeeImgMainWT::followsWindow() const
{
    return fit != Fit::None;
}

void SeeImgMainWT::refit()
{
    if (fit == Fit::None || !pixmapItem || oriWidth <= 0 || oriHeight <= 0)
        return;
    const QRectF rect = scene->sceneRect();
    const QTransform t = view->transform();
    // Quarter turns and one scale on both axes: the scale is the length of a mapped unit.
    const double scale = std::hypot(t.m11(), t.m12());
    const QSizeF turned = t.mapRect(rect).size() / scale;
    if (fit == Fit::Load && ZoomModel::showsAtActualSize(turned, view->size())) {
        const int degrees = qRound(qRadiansToDegrees(std::atan2(t.m12(), t.m11())));
        view->setTransform(QTransform().rotate(degrees));
        view->centerOn(rect.center());
        return;
    }
    view->fitInView(rect, Qt::KeepAspectRatio);
    if (fit == Fit::Screen)
        zoomFactorValue = ZoomModel::fitFactor(turned, view->size());
}

void SeeImgMainWT::zoomAt(const QPointF &viewportPos, bool up)
{
    const ZoomModel::Step step = up ? ZoomModel::stepUp(zoomFactorValue) : ZoomModel::stepDown(zoomFactorValue);
    applyZoom(viewportPos, step.scaleBy, step.factor);
    emit notifyScale(zoomFactorValue);
}

void SeeImgMainWT::wheelEvent(QWheelEvent *event)
{
    if (imgPath.isEmpty())
        return;
    zoomAt(event->position() - view->viewport()->mapTo(this, QPoint(0, 0)), event->angleDelta().y() > 0);
    event->accept();
}

bool SeeImgMainWT::eventFilter(QObject *watched, QEvent *event)
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
            if (!imgPath.isEmpty())
                zoomAt(wheel->position(), wheel->angleDelta().y() > 0);
            wheel->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SeeImgMainWT::updateArrows(int x)
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

void SeeImgMainWT::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}

// --- accessors ----------------------------------------------------------

QString SeeImgMainWT::imgFilePath() const
{
    return imgPath;
}
QPixmap SeeImgMainWT::currentPixmap() const
{
    return picture;
}
double SeeImgMainWT::zoomFactor() const
{
    return zoomFactorValue;
}
QSizeF SeeImgMainWT::pictureSize() const
{
    return QSizeF(oriWidth, oriHeight);
}
QPushButton *SeeImgMainWT::leftArrowBtn() const
{
    return leftBtn;
}
QPushButton *SeeImgMainWT::rightArrowBtn() const
{
    return rightBtn;
}
QGraphicsView *SeeImgMainWT::graphicsView() const
{
    return view;
}
QLabel *SeeImgMainWT::loadingLabel() const
{
    return loading;
}
CenterShowWT *SeeImgMainWT::dropArea() const
{
    return centerShow;
}

void SeeImgMainWT::setImgPath(const QString &path)
{
    imgPath = path;
}

// --- loading ------------------------------------------------------------

void SeeImgMainWT::addFile()
{
    auto *dialog = new QFileDialog(this, QStringLiteral("打开图片"),
                                   QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    QString filter;
    for (const QString &suffix : Formats::openSuffixes())
        filter += QStringLiteral("*.") + suffix + QLatin1Char(' ');
    dialog->setNameFilter(filter);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setViewMode(QFileDialog::Detail);
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        showImg(dialog->selectedFiles().constFirst());
        qCDebug(lcViewer) << "oriWidth:" << oriWidth << ",viewWidth:" << view->width();
    }
    dialog->deleteLater();
}

void SeeImgMainWT::showDefaultImg()
{
    if (!imgPath.isEmpty())
        showImg(imgPath);
}

void SeeImgMainWT::onDragAndDrop(QList<QUrl> urls)
{
    qCDebug(lcViewer) << "on drag and drop event";
    if (!urls.isEmpty())
        showImg(urls.constFirst().toLocalFile());
}

void SeeImgMainWT::showGraphicsView()
{
    if (centerShow->isVisibleTo(this)) {
        centerShow->hide();
        view->show();
    }
}

void SeeImgMainWT::showImg(const QString &path)
{
    showGraphicsView();
    imgPath = path;
    qCDebug(lcViewer) << "default img====================";
    showAllImg();
}

void SeeImgMainWT::showAllImg()
{
    emit setImgFilePath(imgPath);
    if (Formats::isRawSuffix(suffixOf(imgPath)))
        loadRawAsync();
    else
        loadSync();
}

void SeeImgMainWT::loadRawAsync()
{
    loading->move((width() - loading->width()) / 2, (height() - loading->height()) / 2);
    loading->show();
    loading->raise();
    removePicture();
    // Nothing is shown while decoding; printing or fitting must not see the old picture.
    picture = QPixmap();
    oriWidth = 0;
    oriHeight = 0;
    // Let the label paint before the pool takes the decode; user input waits, so
    // no click can start another load from inside this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    auto *task = new ImageLoadTask(imgPath);
    connect(task, &ImageLoadTask::finished, this, &SeeImgMainWT::showRawImgAsync);
    QThreadPool::globalInstance()->start(task, 0);
}

void SeeImgMainWT::loadSync()
{
    // A RAW decode still running belongs to a path that is no longer current.
    loading->hide();
    // The old picture goes before the new one is decoded, so stepping through large
    // photos holds one decoded picture at a time, not two. Nothing paints meanwhile.
    removePicture();
    picture = QPixmap();

    QImage image;
    QFile file(imgPath);
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray bytes = file.readAll();
        file.close();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setDecideFormatFromContent(true);
        if (!reader.read(&image))
            image = QImage();
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    qCDebug(lcViewer) << "oriWidth:" << pixmap.width() << ",oriHeight:" << pixmap.height();
    setPicture(std::move(pixmap));
}

void SeeImgMainWT::showRawImg() { }

void SeeImgMainWT::showRawImgAsync(QImage img, const QString &forPath)
{
    if (!forPath.isEmpty() && forPath != imgPath)
        return;
    removePicture();
    setPicture(QPixmap::fromImage(std::move(img)));
    loading->hide();
}

void SeeImgMainWT::removePicture()
{
    if (!pixmapItem)
        return;
    scene->removeItem(pixmapItem);
    delete pixmapItem;
    pixmapItem = nullptr;
}

void SeeImgMainWT::setPicture(QPixmap pixmap)
{
    picture = std::move(pixmap);
    oriWidth = picture.width();
    oriHeight = picture.height();

    if (!picture.isNull()) {
        pixmapItem = new QGraphicsPixmapItem(picture);
        pixmapItem->setTransformationMode(Qt::SmoothTransformation);
        // The default mask shape builds a path from every pixel's alpha (a tenth of a
        // PNG's decode time, again on the first mouse move); nothing here hit-tests
        // the picture, and the fit covers the whole picture, transparent edges too.
        pixmapItem->setShapeMode(QGraphicsPixmapItem::BoundingRectShape);
        scene->setSceneRect(pixmapItem->boundingRect());
        scene->addItem(pixmapItem);
        view->fitInView(pixmapItem->boundingRect(), Qt::KeepAspectRatio);
    }
    zoomFactorValue = 1.0;
    if (ZoomModel::showsAtActualSize(QSizeF(oriWidth, oriHeight), view->size())) {
        view->resetTransform();
        zoomFactorValue = 1.0;
    }
    fit = picture.isNull() ? Fit::None : Fit::Load;
}

// --- browsing -----------------------------------------------------------

bool SeeImgMainWT::showNeighbour(int offset)
{
    const QString path = FolderBrowser::neighbour(imgPath, offset);
    if (path.isEmpty())
        return false;
    showGraphicsView();
    imgPath = path;
    showAllImg();
    return true;
}

bool SeeImgMainWT::nextImg()
{
    return showNeighbour(1);
}

bool SeeImgMainWT::prevImg()
{
    return showNeighbour(-1);
}
