#include "thumbnails/Thumbnailer.h"

#include "ThreadPriority.h"
#include "ThumbnailsLog.h"
#include "thumbnails/ExifThumbnail.h"

#include <QElapsedTimer>
#include <QMimeDatabase>
#include <QMutexLocker>

#include <algorithm>

namespace {

constexpr qint64 kDefaultBudget = 64LL * 1024 * 1024;
// A decode still running after this is given up (a RAW decoder stuck in a parser
// would otherwise hold a thread for good) and the file recorded as failed.
constexpr qint64 kDecodeLimitMs = 20000;

int kib(const QImage &image)
{
    return int(qMax<qint64>(1, image.sizeInBytes() / 1024));
}

} // namespace

Thumbnailer::Thumbnailer(const ThumbnailCache &cache, Decode decode, QObject *parent)
    : QObject(parent)
    , cache(cache)
    , decode(std::move(decode))
{
    qRegisterMetaType<Thumbnail>();
    setMemoryBudget(kDefaultBudget);
}

Thumbnailer::~Thumbnailer()
{
    closing = true;
    {
        QMutexLocker lock(&mutex);
        lookups.jobs.clear();
        makers.jobs.clear();
    }
    lookups.pool.waitForDone();
    makers.pool.waitForDone();
}

QString Thumbnailer::key(const QString &path, ThumbnailSize size)
{
    return QString::number(int(size)) + QLatin1Char(':') + path;
}

QImage Thumbnailer::thumbnail(const QString &path, ThumbnailSize size) const
{
    const QImage *image = held.object(key(path, size));
    return image ? *image : QImage();
}

bool Thumbnailer::hasFailed(const QString &path, ThumbnailSize size) const
{
    return failures.contains(key(path, size));
}

void Thumbnailer::want(const QStringList &paths, ThumbnailSize size)
{
    QVector<Job> jobs;
    jobs.reserve(paths.size());
    for (int rank = paths.size() - 1; rank >= 0; --rank) {
        const QString &path = paths.at(rank);
        const QString k = key(path, size);
        if (!held.contains(k) && !failures.contains(k))
            jobs.append(Job{path, size, rank});
    }
    QMutexLocker lock(&mutex);
    lookups.jobs.clear();
    makers.jobs.clear();
    for (Job &job : jobs) {
        const QString k = key(job.path, job.size);
        if (busy.contains(k))
            continue;
        (missing.contains(k) ? makers : lookups).jobs.append(std::move(job));
    }
    start(Stage::Lookup);
    start(Stage::Make);
}

void Thumbnailer::forget(const QString &path)
{
    for (const ThumbnailSize size :
         {ThumbnailSize::Normal, ThumbnailSize::Large, ThumbnailSize::XLarge, ThumbnailSize::XXLarge}) {
        held.remove(key(path, size));
        failures.remove(key(path, size));
        QMutexLocker lock(&mutex);
        missing.remove(key(path, size));
    }
}

void Thumbnailer::setMemoryBudget(qint64 bytes)
{
    held.setMaxCost(int(qMax<qint64>(1, bytes / 1024)));
}

void Thumbnailer::setThreads(int threads)
{
    lookups.pool.setMaxThreadCount(qMax(1, threads));
    makers.pool.setMaxThreadCount(qMax(1, threads));
}

void Thumbnailer::start(Stage stage)
{
    Queue &queue = stage == Stage::Lookup ? lookups : makers;
    while (queue.workers < queue.pool.maxThreadCount() && queue.workers < queue.jobs.size()) {
        ++queue.workers;
        queue.pool.start([this, stage] { work(stage); });
    }
}

void Thumbnailer::work(Stage stage)
{
    Queue &queue = stage == Stage::Lookup ? lookups : makers;
    if (stage == Stage::Make) {
        // The makers' pool threads are lowered once, for good.
        thread_local bool lowered = false;
        if (!lowered) {
            ThreadPriority::lowerCurrentThread();
            lowered = true;
        }
    }
    for (;;) {
        Job job;
        {
            QMutexLocker lock(&mutex);
            if (queue.jobs.isEmpty() || closing) {
                --queue.workers;
                return;
            }
            job = queue.jobs.takeLast();
            busy.insert(key(job.path, job.size));
        }
        bool toMake = false;
        const Thumbnail done = stage == Stage::Lookup ? lookUp(job, &toMake) : make(job);
        {
            QMutexLocker lock(&mutex);
            const QString k = key(job.path, job.size);
            busy.remove(k);
            if (toMake) {
                // Among what waits to be made, in the order it was wanted in.
                missing.insert(k);
                const auto at = std::lower_bound(makers.jobs.begin(), makers.jobs.end(), job.rank,
                                                 [](const Job &queued, int rank) { return queued.rank > rank; });
                makers.jobs.insert(at, job);
                start(Stage::Make);
                continue;
            }
            missing.remove(k);
        }
        if (closing)
            continue;
        QMetaObject::invokeMethod(this, [this, done] { receive(done); }, Qt::QueuedConnection);
    }
}

Thumbnail Thumbnailer::lookUp(const Job &job, bool *toMake) const
{
    Thumbnail result{job.path, job.size, {}, true};
    const SourceStamp stamp = SourceStamp::of(job.path);
    if (!stamp.isValid())
        return result; // gone, or not a file: nothing to record
    result.image = cache.find(job.path, job.size, stamp);
    result.failed = result.image.isNull();
    *toMake = result.failed && !cache.hasFailure(job.path, stamp);
    return result;
}

Thumbnail Thumbnailer::make(const Job &job) const
{
    Thumbnail result{job.path, job.size, {}, true};
    const SourceStamp stamp = SourceStamp::of(job.path);
    if (!stamp.isValid())
        return result;
    const int side = Thumbnails::pixels(job.size);
    QImage image = ExifThumbnail::read(job.path, side);
    if (image.isNull()) {
        QElapsedTimer clock;
        clock.start();
        image = decode(job.path, side, [this, &clock] { return closing || clock.elapsed() > kDecodeLimitMs; });
    }
    if (image.isNull()) {
        if (!closing) {
            qCDebug(lcThumbnails) << "no thumbnail of" << job.path;
            cache.storeFailure(job.path, stamp);
        }
        return result;
    }
    if (image.width() > side || image.height() > side)
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QString mime = QMimeDatabase().mimeTypeForFile(job.path, QMimeDatabase::MatchExtension).name();
    if (!cache.store(job.path, job.size, image, stamp, mime))
        qCDebug(lcThumbnails) << "thumbnail of" << job.path << "not stored";
    result.image = image;
    result.failed = false;
    return result;
}

void Thumbnailer::receive(const Thumbnail &thumbnail)
{
    const QString k = key(thumbnail.path, thumbnail.size);
    if (thumbnail.failed)
        failures.insert(k);
    else
        held.insert(k, new QImage(thumbnail.image), kib(thumbnail.image));
    emit ready(thumbnail);
}
