#include "ImageLoader.h"

#include "ZoomModel.h"

#include "ImageDecode.h"
#include "ViewerLog.h"

#include <QFileInfo>
#include <QThread>

#include <malloc.h>

namespace {

// The cache's key: a picture reached by a relative path and by its folder's listing
// is one picture.
QString keyOf(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

enum Priority { CurrentPriority = 1, FullPriority = 2, LevelPriority = 3 };

// One neighbour at a time on a machine of up to four cores: the shown picture and
// the rest of the desktop keep the others.
int preloadThreads()
{
    return qMax(1, QThread::idealThreadCount() / 4);
}

} // namespace

ImageLoader::ImageLoader(QObject *parent)
    : QObject(parent)
{
    // Decoded pictures are megabytes and freed on other threads than they were made
    // on; glibc would raise its mmap threshold after the first and keep later ones in
    // per-thread arenas, holding the memory after the picture is gone.
    static const bool mmapLarge = mallopt(M_MMAP_THRESHOLD, 1024 * 1024) == 1;
    Q_UNUSED(mmapLarge);
    qRegisterMetaType<LoadResult>();
    qRegisterMetaType<LoadFailure>();
    pool.setMaxThreadCount(kThreads);
    preloadPool.setMaxThreadCount(preloadThreads());
}

ImageLoader::~ImageLoader()
{
    // Nothing may still run on the pools' threads and post to a dead loader.
    for (const auto &state : {inFlight, fullLoad}) {
        if (state)
            state->cancelled = true;
    }
    for (const auto &state : qAsConst(preloads))
        state->cancelled = true;
    pool.clear();
    preloadPool.clear();
    pool.waitForDone();
    preloadPool.waitForDone();
}

QThreadPool *ImageLoader::threadPool()
{
    return &pool;
}

quint64 ImageLoader::generation() const
{
    return currentGeneration;
}

std::shared_ptr<ImageLoader::State> ImageLoader::start(const QString &path, const QSize &view, ImageLoadTask::Kind kind,
                                                       ImageDecode::Resolution resolution, qint64 maxBytes)
{
    auto state = std::make_shared<State>();
    state->path = path;
    state->kind = kind;
    state->resolution = resolution;
    state->view = view;
    state->maxBytes = maxBytes;
    if (kind == ImageLoadTask::Kind::Current)
        state->generation = currentGeneration;
    // Posted to this object, which outlives the pools' jobs (see the destructor).
    std::weak_ptr<State> weak = state;
    state->deliver = [this, weak](LoadResult result) {
        QMetaObject::invokeMethod(
            this,
            [this, weak, result] {
                if (auto s = weak.lock())
                    onResult(s, result);
            },
            Qt::QueuedConnection);
    };
    state->ended = [this, weak] {
        QMetaObject::invokeMethod(
            this,
            [this, weak] {
                if (auto s = weak.lock())
                    onEnded(s);
            },
            Qt::QueuedConnection);
    };
    const bool preload = kind == ImageLoadTask::Kind::Preload;
    emit decodeStarted(path, preload);
    if (preload)
        preloadPool.start(new ImageLoadTask(state));
    else
        pool.start(new ImageLoadTask(state),
                   resolution == ImageDecode::Resolution::Full ? FullPriority : CurrentPriority);
    return state;
}

void ImageLoader::leaveCurrent()
{
    ++currentGeneration;
    pendingPath.clear();
    if (fullLoad)
        fullLoad->cancelled = true;
}

quint64 ImageLoader::request(const QString &path, const QSize &view)
{
    leaveCurrent();
    currentPath = path;
    // A neighbour being preloaded runs at the lowest priority: it gives way to a
    // load of its own.
    for (const auto &state : qAsConst(preloads))
        state->cancelled = true;

    // Already decoding it for this view: the load just takes the new generation.
    if (inFlight && !inFlight->cancelled && inFlight->path == path && inFlight->view == view) {
        inFlight->generation = currentGeneration;
        return currentGeneration;
    }
    if (inFlight) {
        // Started once the load in flight has stopped.
        inFlight->cancelled = true;
        pendingPath = path;
        pendingView = view;
        return currentGeneration;
    }
    inFlight = start(path, view, ImageLoadTask::Kind::Current, ImageDecode::Resolution::Display);
    return currentGeneration;
}

void ImageLoader::requestFull(const QString &path)
{
    if (path != currentPath || (fullLoad && !fullLoad->cancelled))
        return;
    // The whole picture: no view to fit.
    fullLoad = start(path, QSize(), ImageLoadTask::Kind::Current, ImageDecode::Resolution::Full);
}

quint64 ImageLoader::takeCached(const QString &path)
{
    leaveCurrent();
    currentPath = path;
    if (inFlight)
        inFlight->cancelled = true;
    return currentGeneration;
}

const LoadResult *ImageLoader::cached(const QString &path)
{
    auto it = cache.find(keyOf(path));
    if (it == cache.end())
        return nullptr;
    if (FileStamp::of(path) != it->stamp) {
        qCDebug(lcViewer) << "cached picture out of date:" << path;
        release(it.value());
        cache.erase(it);
        return nullptr;
    }
    return &it.value();
}

bool ImageLoader::isBusy() const
{
    return inFlight || fullLoad || !preloads.isEmpty() || levelRunning;
}

int ImageLoader::cachedCount() const
{
    return cache.size();
}

qint64 ImageLoader::cachedBytes() const
{
    qint64 total = 0;
    for (const LoadResult &picture : cache)
        total += picture.bytes();
    return total;
}

void ImageLoader::release(LoadResult picture)
{
    // Unmapping a picture's pages takes milliseconds; a background thread does it.
    preloadPool.start([dropped = std::move(picture)]() mutable { dropped = LoadResult(); });
}

void ImageLoader::trimTo(const QStringList &paths)
{
    for (auto it = cache.begin(); it != cache.end();) {
        if (paths.contains(it.key())) {
            ++it;
        } else {
            release(std::move(it.value()));
            it = cache.erase(it);
        }
    }
}

void ImageLoader::store(const LoadResult &result)
{
    if (result.stage != LoadStage::Full || !result.stamp.isValid())
        return;
    const QString key = keyOf(result.path);
    const bool isCurrent = result.path == currentPath;
    if (!isCurrent && !keep.contains(key))
        return;
    LoadResult entry = result;
    entry.generation = 0;
    entry.warnings.clear();
    cache.insert(key, entry);
    // Over the bounds: pictures no longer kept go first, then the newcomer itself
    // unless it is the shown one.
    while (cache.size() > kCachedPictures || cachedBytes() > kCacheBytes) {
        QString victim;
        for (auto it = cache.cbegin(); it != cache.cend() && victim.isEmpty(); ++it) {
            if (it.key() != keyOf(currentPath) && !keep.contains(it.key()))
                victim = it.key();
        }
        if (victim.isEmpty() && !isCurrent)
            victim = key;
        if (victim.isEmpty())
            break;
        release(cache.take(victim));
    }
}

void ImageLoader::onResult(const std::shared_ptr<State> &state, LoadResult result)
{
    if (result.failure == LoadFailure::Cancelled || (result.stage == LoadStage::Preview && state->finalArrived))
        return;
    if (result.stage != LoadStage::Preview)
        state->finalArrived = true;
    // Only display levels are kept; a full resolution stays with the view.
    if (state->resolution == ImageDecode::Resolution::Display)
        store(result);
    // The current path's loads are current, whatever generation they started with
    // (a repeated request).
    if ((state == inFlight || state == fullLoad) && !state->cancelled && result.path == currentPath) {
        result.generation = currentGeneration;
        emit loaded(result);
    }
}

void ImageLoader::onEnded(const std::shared_ptr<State> &state)
{
    qCDebug(lcViewer) << (state->kind == ImageLoadTask::Kind::Preload ? "preload" : "load") << "ended:" << state->path
                      << int(state->outcome.load()) << "cached:" << cache.size();
    emit decodeEnded(state->path, state->outcome);
    preloads.removeOne(state);
    if (state == fullLoad)
        fullLoad.reset();
    if (state != inFlight)
        return;
    inFlight.reset();
    if (!pendingPath.isEmpty()) {
        const QString path = pendingPath;
        pendingPath.clear();
        inFlight = start(path, pendingView, ImageLoadTask::Kind::Current, ImageDecode::Resolution::Display);
    }
}

void ImageLoader::preload(const QString &current, const QStringList &neighbours, const QSize &view)
{
    keep.clear();
    for (const QString &path : QStringList{current} + neighbours)
        keep.append(keyOf(path));
    trimTo(keep);
    for (const auto &state : qAsConst(preloads)) {
        if (!keep.contains(keyOf(state->path)))
            state->cancelled = true;
    }
    for (const QString &path : neighbours) {
        if (path.isEmpty())
            continue;
        // Held at a level made for a smaller view (the window went full screen): made again.
        if (const LoadResult *hit = cached(path)) {
            if (hit->image.width() >= ZoomModel::fittedSize(hit->fullSize, view).width())
                continue;
            release(cache.take(keyOf(path)));
        }
        bool running = inFlight && inFlight->path == path;
        for (const auto &state : qAsConst(preloads))
            running = running || (state->path == path && !state->cancelled);
        if (running)
            continue;
        const qint64 room = kCacheBytes - cachedBytes();
        if (room <= 0 || cache.size() >= kCachedPictures)
            continue;
        preloads.append(start(path, view, ImageLoadTask::Kind::Preload, ImageDecode::Resolution::Display, room));
    }
}

void ImageLoader::prepareLevel(quint64 generation, const QImage &source, const QSize &size)
{
    if (levelRunning && generation == levelGeneration && size == levelAsked)
        return; // already on its way
    levelGeneration = generation;
    levelAsked = size;
    levelRunning = true;
    pool.start(
        [this, source, size, generation] {
            const QImage level = ImageDecode::downscale(source, size);
            // Posted to this object, which outlives the pool's jobs (see the destructor).
            QMetaObject::invokeMethod(
                this,
                [this, generation, size, level] {
                    if (generation == levelGeneration && size == levelAsked)
                        levelRunning = false;
                    if (generation == currentGeneration)
                        emit levelReady(generation, level);
                },
                Qt::QueuedConnection);
        },
        LevelPriority);
}
