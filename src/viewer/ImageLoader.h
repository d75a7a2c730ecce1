#pragma once

#include "viewer/ImageLoadTask.h"
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
// A burst of requests decodes at most the load in flight (cancelled) and the newest
// request; the requests between are never started.
//
// Cache budget: at most kCachedPictures pictures (the current one and its two
// neighbours) and at most kCacheBytes of decoded pixels. A neighbour whose header
// says it would not fit is not preloaded. An entry is used only while the file's
// size and modification time are those it was read with.
class ImageLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCachedPictures = 3;
    static constexpr qint64 kCacheBytes = 512LL * 1024 * 1024;
    static constexpr int kThreads = 3; // the full decode, its fitted side decode, a preload or a level

    explicit ImageLoader(QObject *parent = nullptr);
    ~ImageLoader() override;

    // Makes path the current picture and loads it; returns the generation its
    // results carry.
    quint64 request(const QString &path, const QSize &view);

    // Makes path the current picture, taken from the cache; returns its generation.
    quint64 takeCached(const QString &path);

    quint64 generation() const;

    // The cached full picture of path while the file is unchanged; else null.
    // A changed file's entry is dropped.
    const LoadResult *cached(const QString &path);
    QImage cachedLevel(const QString &path) const;

    // Keeps the current picture and these neighbours, drops the rest, and decodes
    // the neighbours not yet cached, after anything the view asked for.
    void preload(const QString &current, const QStringList &neighbours, const QSize &view);

    // An area-averaged copy of the current picture at size, made off this thread;
    // arrives as levelReady.
    void prepareLevel(quint64 generation, const QImage &full, const QSize &size);

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
    struct Entry
    {
        LoadResult picture;
        QImage level;
    };

    std::shared_ptr<State> start(const QString &path, const QSize &view, ImageLoadTask::Kind kind,
                                 qint64 maxBytes = -1);
    void onResult(const std::shared_ptr<State> &state, LoadResult result);
    void onEnded(const std::shared_ptr<State> &state);
    void store(const LoadResult &result);
    void trimTo(const QStringList &keep);
    void release(Entry entry);
    void cancelPreloadsExcept(const QString &path);
    // An area-averaged copy of full at size, made on the pool and handed to done on
    // this object's thread.
    void makeLevel(const QImage &full, const QSize &size, int priority, std::function<void(const QImage &)> done);

    QThreadPool pool;
    quint64 currentGeneration = 0;
    QString currentPath;
    std::shared_ptr<State> inFlight; // the current picture's load
    QString pendingPath; // the newest request, waiting for inFlight to end
    QSize pendingView;
    QList<std::shared_ptr<State>> preloads;
    QHash<QString, Entry> cache;
    QStringList keep;
    QSize levelAsked;
    quint64 levelGeneration = 0;
    bool levelRunning = false;
    int neighbourLevels = 0; // levels of preloaded neighbours being made
};
