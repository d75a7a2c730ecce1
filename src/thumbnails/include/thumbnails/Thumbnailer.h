#pragma once

#include "thumbnails/ThumbnailCache.h"

#include <QCache>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <QVector>

#include <atomic>
#include <functional>

// One thumbnail's outcome, crossing from the thumbnailer's threads whole.
struct Thumbnail
{
    QString path;
    ThumbnailSize size = ThumbnailSize::Normal;
    QImage image; // upright, within the size; null when failed
    bool failed = false;
};

// Gives thumbnails from threads of its own: from the shared cache when it holds a
// valid one, else made from the cheapest source large enough (the EXIF thumbnail, else
// the decode it is given) at a lower priority than the viewer's loads, and stored
// back into the cache. What it gives is kept in memory up to a budget; the views ask
// for it with thumbnail() and are told with ready().
class Thumbnailer : public QObject
{
    Q_OBJECT

public:
    // Decodes path upright with its longest side at least longSide where the picture
    // is that large (a larger result is scaled down); null when it cannot be read.
    // Runs on the thumbnailer's threads; cancelled answers true when it is closing.
    using Decode =
        std::function<QImage(const QString &path, int longSide, const std::function<bool()> &cancelled)>;

    Thumbnailer(const ThumbnailCache &cache, Decode decode, QObject *parent = nullptr);
    ~Thumbnailer() override;

    // The thumbnail held in memory, or null: then the caller shows a placeholder
    // and asks for it with want().
    QImage thumbnail(const QString &path, ThumbnailSize size) const;
    bool hasFailed(const QString &path, ThumbnailSize size) const;

    // Replaces what waits with these files, most urgent first (the visible cells,
    // then their neighbours). Those held, failed or being made are left out.
    void want(const QStringList &paths, ThumbnailSize size);
    // Drops what is held for a file that changed, so it is looked up again.
    void forget(const QString &path);

    // How many bytes of thumbnails stay in memory (the least recently asked go first).
    void setMemoryBudget(qint64 bytes);
    void setThreads(int threads);

signals:
    void ready(const Thumbnail &thumbnail);

private:
    struct Job
    {
        QString path;
        ThumbnailSize size = ThumbnailSize::Normal;
        int rank = 0; // its place in the last want(), 0 the most urgent
    };
    // Looking a thumbnail up in the cache is cheap and runs at the process's priority,
    // so a full cache fills the screen at once; making one runs lowered.
    enum class Stage { Lookup, Make };
    struct Queue
    {
        QVector<Job> jobs; // the most urgent last
        int workers = 0;
        QThreadPool pool;
    };

    static QString key(const QString &path, ThumbnailSize size);
    void start(Stage stage); // with the mutex held
    void work(Stage stage);
    Thumbnail lookUp(const Job &job, bool *toMake) const;
    Thumbnail make(const Job &job) const;
    void receive(const Thumbnail &thumbnail);

    const ThumbnailCache cache;
    const Decode decode;
    std::atomic<bool> closing{false};

    mutable QMutex mutex; // guards the four below
    Queue lookups;
    Queue makers;
    QSet<QString> busy;
    QSet<QString> missing; // looked up, not in the cache: to be made

    // The GUI thread's alone.
    mutable QCache<QString, QImage> held; // cost in KiB
    QSet<QString> failures;
};

Q_DECLARE_METATYPE(Thumbnail)
