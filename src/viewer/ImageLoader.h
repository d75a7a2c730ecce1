#pragma once

#include "ImageLoadTask.h"
#include "viewer/LoadResult.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QStringList>
#include <QThreadPool>

#include <functional>
#include <memory>

// The viewer's one load path: decodes on threads of its own, hands back whole
// LoadResult values for the current picture, drops stale ones, and keeps the
// current picture's neighbours decoded in a bounded cache.
//
// A picture is loaded at the size the view fits it to (its display level); the full
// resolution is decoded only when the view asks for it (zoomed in past the level),
// and is never cached.
//
// A burst of requests decodes at most the load in flight (cancelled) and the newest
// request; the requests between are never started.
//
// CPU: the current picture's loads and levels run on a pool of kThreads; the
// neighbours on a pool of their own, one at a time on a small machine, at the
// lowest priority, and only when the view asks (after its picture is on screen).
//
// Cache budget: at most kCachedPictures display levels (the current picture and its
// two neighbours) and at most kCacheBytes of pixels. A neighbour whose header says
// its level would not fit is not preloaded. An entry is used only while the file's
// stamp (size, modification time, inode) is the one it was read with.
class ImageLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCachedPictures = 3;
    static constexpr qint64 kCacheBytes = 128LL * 1024 * 1024;
    static constexpr int kThreads = 2; // the current load, and its full resolution or a level

    explicit ImageLoader(QObject *parent = nullptr);
    ~ImageLoader() override;

    // Makes path the current picture and loads its display level for a view of this
    // size; returns the generation its results carry.
    quint64 request(const QString &path, const QSize &view);

    // Decodes the current picture at full resolution in the background; the result
    // arrives as loaded (stage Full, isFullResolution()). Once per picture until it ends.
    void requestFull(const QString &path);

    // Makes path the current picture, taken from the cache; returns its generation.
    quint64 takeCached(const QString &path);

    quint64 generation() const;

    // The cached display level of path while the file is unchanged; else null.
    // A changed file's entry is dropped.
    const LoadResult *cached(const QString &path);

    // Keeps the current picture and these neighbours, drops the rest, and decodes
    // the neighbours not yet cached at their display level for a view of this size.
    void preload(const QString &current, const QStringList &neighbours, const QSize &view);

    // An area-averaged copy of the current picture at size, made off this thread;
    // arrives as levelReady.
    void prepareLevel(quint64 generation, const QImage &source, const QSize &size);

    // Something is decoding or being prepared (for tests and benchmarks).
    bool isBusy() const;

    int cachedCount() const;
    qint64 cachedBytes() const;
    QThreadPool *threadPool();

signals:
    // A stage of the current picture's load.
    void loaded(LoadResult result);
    void levelReady(quint64 generation, QImage level);
    // Every decode started and ended, current or preload (for tests and benchmarks).
    void decodeStarted(QString path, bool preload);
    void decodeEnded(QString path, LoadFailure failure);

private:
    using State = ImageLoadTask::State;

    std::shared_ptr<State> start(const QString &path, const QSize &view, ImageLoadTask::Kind kind,
                                 ImageDecode::Resolution resolution, qint64 maxBytes = -1);
    void onResult(const std::shared_ptr<State> &state, LoadResult result);
    void onEnded(const std::shared_ptr<State> &state);
    void store(const LoadResult &result);
    void trimTo(const QStringList &keep);
    void release(LoadResult picture);
    void leaveCurrent();

    QThreadPool pool;
    QThreadPool preloadPool;
    quint64 currentGeneration = 0;
    QString currentPath;
    std::shared_ptr<State> inFlight; // the current picture's display load
    std::shared_ptr<State> fullLoad; // the current picture's full resolution
    QString pendingPath; // the newest request, waiting for inFlight to end
    QSize pendingView;
    QList<std::shared_ptr<State>> preloads;
    QHash<QString, LoadResult> cache;
    QStringList keep;
    QSize levelAsked;
    quint64 levelGeneration = 0;
    bool levelRunning = false;
};
