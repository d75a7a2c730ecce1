#include "PictureLoad.h"

#include "FrameAnimator.h"
#include "ImageLoader.h"
#include "PictureItem.h"
#include "ViewerLog.h"
#include "ZoomModel.h"
#include "viewer/CurrentPicture.h"
#include "viewer/ImageView.h"

#include <QTimer>
#include <QtMath>

#include <utility>

PictureLoad::PictureLoad(ImageView *view, CurrentPicture *current)
    : QObject(view)
    , view(view)
    , current(current)
    , imageLoader(new ImageLoader(this))
    , animator(new FrameAnimator(this))
    , levelTimer(new QTimer(this))
{
    connect(imageLoader, &ImageLoader::loaded, this, &PictureLoad::onLoaded);
    connect(imageLoader, &ImageLoader::levelReady, this, &PictureLoad::onLevelReady);
    connect(animator, &FrameAnimator::frameDue, this, [this](const QImage &frame) {
        if (PictureItem *item = this->view->pictureItem())
            item->setFull(QPixmap::fromImage(frame));
    });
    // One level request per burst of zoom steps.
    levelTimer->setSingleShot(true);
    levelTimer->setInterval(0);
    connect(levelTimer, &QTimer::timeout, this, &PictureLoad::prepareLevel);
}

ImageLoader *PictureLoad::loader() const
{
    return imageLoader;
}
bool PictureLoad::isLoading() const
{
    return !loadEnded;
}
LoadFailure PictureLoad::failure() const
{
    return failed;
}
int PictureLoad::currentFrame() const
{
    return animator->currentFrame();
}
bool PictureLoad::isAnimating() const
{
    return animator->isRunning();
}

void PictureLoad::start()
{
    const QString path = current->path();
    const QSize pixels = view->screenPixels();
    failed = LoadFailure::None;

    // A ready neighbour is on screen in this very frame, if its level was made for
    // a view of this size.
    if (const LoadResult *hit = imageLoader->cached(path)) {
        if (hit->image.width() >= ZoomModel::fittedSize(hit->fullSize, pixels).width()) {
            LoadResult ready = *hit;
            loadGeneration = imageLoader->takeCached(path);
            ready.generation = loadGeneration;
            loadEnded = false;
            onLoaded(ready);
            return;
        }
    }

    loadGeneration = imageLoader->request(path, pixels);
    loadEnded = false;
    view->waitForPicture();
}

void PictureLoad::stop()
{
    ++loadGeneration;
    loadEnded = true;
    failed = LoadFailure::None;
    dropPictureState();
}

void PictureLoad::onLoaded(const LoadResult &result)
{
    if (result.generation != loadGeneration || result.path != current->path())
        return;
    const bool onScreen = view->hasPicture();
    switch (result.stage) {
    case LoadStage::Preview:
        if (onScreen || loadEnded)
            return; // first paints are alternatives; the first wins
        newPicture(result.fullSize);
        if (result.isFullResolution())
            view->pictureItem()->setFull(QPixmap::fromImage(result.image));
        else
            view->pictureItem()->setStandIn(QPixmap::fromImage(result.image));
        break;
    case LoadStage::Full: {
        for (const QString &warning : result.warnings)
            qCWarning(lcViewer).noquote() << result.path << warning;
        if (!onScreen || view->pictureItem()->fullSize() != result.fullSize)
            newPicture(result.fullSize);
        PictureItem *item = view->pictureItem();
        // Same item, same geometry: the swap does not move the picture.
        if (result.isFullResolution()) {
            item->setFull(QPixmap::fromImage(result.image));
            if (!wholeWanted.isEmpty())
                handWhole(item->best());
        } else {
            item->setLevel(QPixmap::fromImage(result.image));
            item->setStandIn(QPixmap());
        }
        if (loadEnded) {
            scheduleLevel(); // the full resolution of a zoomed picture
            break;
        }
        qCDebug(lcViewer) << "oriWidth:" << result.fullSize.width() << ",oriHeight:" << result.fullSize.height();
        loadEnded = true;
        animator->play(result.frames, result.loopCount);
        if (result.framesCut)
            emit animationCut(qMax(1, int(result.frames.size())));
        if (result.incomplete)
            emit pictureIncomplete();
        scheduleLevel();
        // After this frame: the neighbours' decodes must not delay a step's paint.
        QTimer::singleShot(0, this, [this, generation = loadGeneration] {
            if (generation == loadGeneration)
                preloadNeighbours();
        });
        break;
    }
    case LoadStage::Failed:
        if (!loadEnded)
            fail(result.failure);
        else if (!wholeWanted.isEmpty())
            handWhole(view->currentPixmap()); // the full decode failed: the best held
        break;
    }
}

void PictureLoad::newPicture(const QSize &fullSize)
{
    dropPictureState();
    view->beginPicture(fullSize);
}

void PictureLoad::dropPictureState()
{
    wholeWanted.clear();
    animator->stop();
    fullAsked = false;
}

void PictureLoad::fail(LoadFailure why)
{
    dropPictureState();
    failed = why;
    loadEnded = true;
    view->showFailure(why);
}

void PictureLoad::showDecoded(QImage image, const QString &forPath)
{
    if (!forPath.isEmpty() && forPath != current->path())
        return;
    LoadResult result;
    result.path = current->path();
    result.generation = loadGeneration;
    result.stage = image.isNull() ? LoadStage::Failed : LoadStage::Full;
    result.failure = image.isNull() ? LoadFailure::Corrupt : LoadFailure::None;
    result.fullSize = image.size();
    result.image = std::move(image);
    loadEnded = false;
    dropPictureState();
    view->removePicture();
    onLoaded(result);
}

// --- held resolution, filtered levels and neighbours -------------------------

void PictureLoad::scheduleLevel()
{
    if (view->hasPicture() && loadEnded)
        levelTimer->start();
}

void PictureLoad::prepareLevel()
{
    if (!view->hasPicture() || !loadEnded || animator->hasFrames())
        return;
    PictureItem *item = view->pictureItem();
    const double scale = view->paintScale();
    // Zoomed past what is held: the full resolution comes in the background, drawn
    // scaled from the held picture until then.
    if (!item->hasFull() && scale > item->heldScale() * 1.001) {
        if (!fullAsked)
            imageLoader->requestFull(current->path());
        fullAsked = true;
        return;
    }
    // Back where the held level serves: the full resolution goes.
    if (item->hasFull() && view->followsWindow() && item->level().width() < item->fullSize().width()
        && &item->sourceFor(scale) == &item->level()) {
        item->setFull(QPixmap());
        fullAsked = false;
        return;
    }
    // Levels come from the full resolution only: one made from the display level
    // would take its place. Below the display level it is drawn smoothed.
    if (!item->hasFull() || item->hasFilteredSourceFor(scale) || scale >= 0.999)
        return;
    const QSize full = item->fullSize();
    const QSize size(qMax(1, qCeil(full.width() * scale)), qMax(1, qCeil(full.height() * scale)));
    // From the most detailed picture held.
    imageLoader->prepareLevel(loadGeneration, item->best().toImage(), size);
}

void PictureLoad::onLevelReady(quint64 generation, const QImage &level)
{
    if (generation != loadGeneration || !view->hasPicture())
        return;
    view->pictureItem()->setLevel(QPixmap::fromImage(level));
    // Zoomed on while it was made: maybe another level is due.
    scheduleLevel();
}

void PictureLoad::preloadNeighbours()
{
    imageLoader->preload(current->path(), current->neighbours(), view->screenPixels());
}

// --- the whole picture, for copying and printing ------------------------------

void PictureLoad::withWholePicture(QObject *context, const std::function<void(const QPixmap &)> &use)
{
    if (!view->hasPicture())
        return;
    wholeWanted.append({context, use});
    // An animation's frame is its full picture.
    if (view->pictureItem()->hasFull() || animator->hasFrames()) {
        handWhole(view->currentPixmap());
        return;
    }
    if (!fullAsked)
        imageLoader->requestFull(current->path());
    fullAsked = true;
}

void PictureLoad::handWhole(const QPixmap &picture)
{
    const int degrees = view->turnDegrees();
    const QPixmap turned = picture.isNull() || degrees == 0 ? picture : picture.transformed(QTransform().rotate(degrees));
    const QList<WholeWanted> waiting = std::exchange(wholeWanted, {});
    for (const WholeWanted &wanted : waiting) {
        if (wanted.context)
            wanted.use(turned);
    }
}
