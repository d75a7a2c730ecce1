#include "thumbnails/Thumbnailer.h"

#include "ThreadPriority.h"
#include "ThumbnailsLog.h"
#include "thumbnails/ExifThumbnail.h"

#include <QMimeDatabase>
#include <QMutexLocker>

#include <algorithm>

namespace {

constexpr qint64 kDefaultBudget = 64LL * 1024 * 1024;

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
        waiting.clear();
    }
    pool.waitForDone();
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
    for (auto it = paths.crbegin(); it != paths.crend(); ++it) {
        const QString k = key(*it, size);
        if (!held.contains(k) && !failures.contains(k))
            jobs.append(Job{*it, size});
    }
    QMutexLocker lock(&mutex);
    jobs.erase(std::remove_if(jobs.begin(), jobs.end(),
                              [this](const Job &job) { return busy.contains(key(job.path, job.size)); }),
               jobs.end());
    waiting = std::move(jobs);
    while (workers < pool.maxThreadCount() && workers < waiting.size()) {
        ++workers;
        pool.start([this] { work(); });
    }
}

void Thumbnailer::forget(const QString &path)
{
    for (const ThumbnailSize size :
         {ThumbnailSize::Normal, ThumbnailSize::Large, ThumbnailSize::XLarge, ThumbnailSize::XXLarge}) {
        held.remove(key(path, size));
        failures.remove(key(path, size));
    }
}

void Thumbnailer::setMemoryBudget(qint64 bytes)
{
    held.setMaxCost(int(qMax<qint64>(1, bytes / 1024)));
}

void Thumbnailer::setThreads(int threads)
{
    pool.setMaxThreadCount(qMax(1, threads));
}

void Thumbnailer::work()
{
    thread_local bool lowered = false;
    if (!lowered) {
        ThreadPriority::lowerCurrentThread();
        lowered = true;
    }
    for (;;) {
        Job job;
        {
            QMutexLocker lock(&mutex);
            if (waiting.isEmpty() || closing) {
                --workers;
                return;
            }
            job = waiting.takeLast();
            busy.insert(key(job.path, job.size));
        }
        const Thumbnail made = make(job);
        {
            QMutexLocker lock(&mutex);
            busy.remove(key(job.path, job.size));
        }
        if (closing)
            continue;
        QMetaObject::invokeMethod(this, [this, made] { receive(made); }, Qt::QueuedConnection);
    }
}

Thumbnail Thumbnailer::make(const Job &job) const
{
    Thumbnail result{job.path, job.size, {}, true};
    const SourceStamp stamp = SourceStamp::of(job.path);
    if (!stamp.isValid())
        return result; // gone, or not a file: nothing to record
    result.image = cache.find(job.path, job.size, stamp);
    if (!result.image.isNull()) {
        result.failed = false;
        return result;
    }
    if (cache.hasFailure(job.path, stamp))
        return result;

    const int side = Thumbnails::pixels(job.size);
    QImage image = ExifThumbnail::read(job.path, side);
    if (image.isNull())
        image = decode(job.path, side, [this] { return closing.load(); });
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
