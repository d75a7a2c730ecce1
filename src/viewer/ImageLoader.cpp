#include "viewer/ImageLoader.h"

#include "viewer/ImageDecode.h"
#include "viewer/ViewerLog.h"
#include "viewer/ZoomModel.h"

#include <QFileInfo>

#include <malloc.h>

namespace {

// The cache's key: a picture reached by a relative path and by its folder's listing
// is one picture.
QString keyOf(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

enum Priority { PreloadPriority = 0, CurrentPriority = 1, LevelPriority = 3 };

} // namespace

ImageLoader::ImageLoader(QObject *parent)
    : QObject(parent)
{
    // Decoded pictures are tens of megabytes and freed on other threads than they
    // were made on; glibc would raise its mmap threshold after the first and keep
    // later ones in per-thread arenas, holding the memory after the picture is gone.
    static const bool mmapLarge = mallopt(M_MMAP_THRESHOLD, 1024 * 1024) == 1;
    Q_UNUSED(mmapLarge);
    qRegisterMetaType<LoadResult>();
    qRegisterMetaType<LoadFailure>();
    pool.setMaxThreadCount(kThreads);
}

ImageLoader::~ImageLoader()
{
    // Nothing may still run on the pool's threads and post to a dead loader.
    if (inFlight)
        inFlight->cancelled = true;
    for (const auto &state : qAsConst(preloads))
        state->cancelled = true;
    pool.clear();
    pool.waitForDone();
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
                                                       qint64 maxBytes)
{
    auto state = std::make_shared<State>();
    state->path = path;
    state->kind = kind;
    state->view = view;
    state->maxBytes = maxBytes;
    state->running = 1;
    if (kind == ImageLoadTask::Kind::Current)
        state->generation = currentGeneration;
    // Posted to this object, which outlives the pool's jobs (see the destructor).
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
    emit decodeStarted(path, kind == ImageLoadTask::Kind::Preload);
    pool.start(new ImageLoadTask(state, &pool),
               kind == ImageLoadTask::Kind::Current ? CurrentPriority : PreloadPriority);
    return state;
}

void ImageLoader::cancelPreloadsExcept(const QString &path)
{
    for (const auto &state : qAsConst(preloads)) {
        if (state->path != path)
            state->cancelled = true;
    }
}

quint64 ImageLoader::request(const QString &path, const QSize &view)
{
    ++currentGeneration;
    currentPath = path;
    pendingPath.clear();
    cancelPreloadsExcept(path);

    // Already decoding it: the load just takes the new generation.
    if (inFlight && !inFlight->cancelled && inFlight->path == path) {
        inFlight->generation = currentGeneration;
        return currentGeneration;
    }
    // A neighbour being preloaded becomes the current load.
    for (int i = 0; i < preloads.size(); ++i) {
        if (preloads.at(i)->path == path && !preloads.at(i)->cancelled) {
            if (inFlight)
                inFlight->cancelled = true;
            inFlight = preloads.takeAt(i);
            inFlight->generation = currentGeneration;
            return currentGeneration;
        }
    }
    if (inFlight) {
        // Started once the load in flight has stopped.
        inFlight->cancelled = true;
        pendingPath = path;
        pendingView = view;
        return currentGeneration;
    }
    inFlight = start(path, view, ImageLoadTask::Kind::Current);
    return currentGeneration;
}

quint64 ImageLoader::takeCached(const QString &path)
{
    ++currentGeneration;
    currentPath = path;
    pendingPath.clear();
    if (inFlight)
        inFlight->cancelled = true;
    cancelPreloadsExcept(path);
    return currentGeneration;
}

const LoadResult *ImageLoader::cached(const QString &path)
{
    auto it = cache.find(keyOf(path));
    if (it == cache.end())
        return nullptr;
    if (FileStamp::of(path) != it->picture.stamp) {
        qCDebug(lcViewer) << "cached picture out of date:" << path;
        cache.erase(it);
        return nullptr;
    }
    return &it->picture;
}

QImage ImageLoader::cachedLevel(const QString &path) const
{
    return cache.value(keyOf(path)).level;
}

bool ImageLoader::isBusy() const
{
    return inFlight || !preloads.isEmpty() || levelRunning || neighbourLevels > 0;
}

int ImageLoader::cachedCount() const
{
    return cache.size();
}

qint64 ImageLoader::cachedBytes() const
{
    qint64 total = 0;
    for (const Entry &entry : cache)
        total += entry.picture.bytes() + entry.level.sizeInBytes();
    return total;
}

void ImageLoader::release(Entry entry)
{
    // Unmapping a picture's pages takes milliseconds; a pool thread does it.
    pool.start([dropped = std::move(entry)]() mutable { dropped = Entry(); }, PreloadPriority);
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
    if (result.stage != LoadStage::Full || !result.stamp.modified.isValid())
        return;
    const QString key = keyOf(result.path);
    const bool isCurrent = result.path == currentPath;
    if (!isCurrent && !keep.contains(key))
        return;
    Entry entry;
    entry.picture = result;
    entry.picture.generation = 0;
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
    if (result.failure == LoadFailure::Cancelled || (result.stage == LoadStage::Preview && state->fullArrived))
        return;
    if (result.stage != LoadStage::Preview)
        state->fullArrived = true;
    store(result);
    // The load in flight for the current path is current, whatever generation it
    // started with (an adopted preload, a repeated request).
    if (state == inFlight && result.path == currentPath) {
        result.generation = currentGeneration;
        emit loaded(result);
    } else if (result.stage == LoadStage::Full && cache.contains(keyOf(result.path))
               && !ZoomModel::showsAtActualSize(QSizeF(result.fullSize), state->view)) {
        // A preloaded neighbour also gets its fitted level, so a step to it is filtered at once.
        const QSize size = result.fullSize.scaled(state->view, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        const QImage full = result.image;
        const QString path = keyOf(result.path);
        const FileStamp stamp = result.stamp;
        ++neighbourLevels;
        makeLevel(full, size, PreloadPriority, [this, path, stamp](const QImage &level) {
            --neighbourLevels;
            auto it = cache.find(path);
            if (it != cache.end() && it->picture.stamp == stamp && it->level.isNull())
                it->level = level;
        });
    }
}

void ImageLoader::onEnded(const std::shared_ptr<State> &state)
{
    qCDebug(lcViewer) << (state->kind == ImageLoadTask::Kind::Preload ? "preload" : "load") << "ended:" << state->path
                      << int(state->outcome.load()) << "cached:" << cache.size();
    emit decodeEnded(state->path, state->outcome);
    preloads.removeOne(state);
    if (state != inFlight)
        return;
    inFlight.reset();
    if (!pendingPath.isEmpty()) {
        const QString path = pendingPath;
        pendingPath.clear();
        inFlight = start(path, pendingView, ImageLoadTask::Kind::Current);
    }
}

void ImageLoader::preload(const QString &current, const QStringList &neighbours, const QSize &view)
{
    keep.clear();
    for (const QString &path : QStringList{current} + neighbours)
        keep.append(keyOf(path));
    trimTo(keep);
    for (const QString &path : neighbours) {
        if (path.isEmpty() || cached(path))
            continue;
        bool running = inFlight && inFlight->path == path;
        for (const auto &state : qAsConst(preloads))
            running = running || (state->path == path && !state->cancelled);
        if (running)
            continue;
        const qint64 room = kCacheBytes - cachedBytes();
        if (room <= 0 || cache.size() >= kCachedPictures)
            continue;
        preloads.append(start(path, view, ImageLoadTask::Kind::Preload, room));
    }
}

void ImageLoader::prepareLevel(quint64 generation, const QImage &full, const QSize &size)
{
    if (levelRunning && generation == levelGeneration && size == levelAsked)
        return; // already on its way
    levelGeneration = generation;
    levelAsked = size;
    levelRunning = true;
    const QString path = keyOf(currentPath);
    makeLevel(full, size, LevelPriority, [this, generation, path, size](const QImage &level) {
        if (generation == levelGeneration && size == levelAsked)
            levelRunning = false;
        if (generation != currentGeneration)
            return;
        auto it = cache.find(path);
        if (it != cache.end())
            it->level = level;
        emit levelReady(generation, level);
    });
}

void ImageLoader::makeLevel(const QImage &full, const QSize &size, int priority,
                            std::function<void(const QImage &)> done)
{
    pool.start(
        [this, full, size, done = std::move(done)] {
            const QImage level = ImageDecode::downscale(full, size);
            // Posted to this object, which outlives the pool's jobs (see the destructor).
            QMetaObject::invokeMethod(
                this, [done, level] { done(level); }, Qt::QueuedConnection);
        },
        priority);
}
