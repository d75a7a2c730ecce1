#include "batch/engine/BatchJob.h"

#include "batch/engine/BatchCatalogue.h"
#include "batch/engine/BatchLog.h"
#include "batch/engine/BatchPaths.h"
#include "batch/engine/FileTask.h"
#include "batch/engine/JobControl.h"
#include "batch/engine/ProcessRunner.h"
#include "batch/engine/TempArea.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QThreadPool>

#include <cstdlib>
#include <mutex>

namespace {

// The longest the dispatch waits for a pool thread before it looks again.
constexpr int kDispatchWaitMs = 100;

QBasicMutex jobsMutex;

QSet<BatchJob *> &liveJobs()
{
    static QSet<BatchJob *> jobs;
    return jobs;
}

void shutdownHook()
{
    BatchJob::shutdownAll();
}

// exit() runs atexit handlers and static destructors in reverse order of
// registration. The global pool's destructor waits for every task; a worker
// blocked on a queued call to the GUI thread would make it wait forever. So the
// pool, the job registry and the lists workers read are created first and our
// hook registered after them: it runs, and the workers end, before they go.
void installShutdownHooks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QThreadPool::globalInstance();
        liveJobs();
        BatchCatalogue::init();
        std::atexit(shutdownHook);
        qAddPostRoutine(shutdownHook);
    });
    static std::once_flag appOnce;
    if (QCoreApplication *app = QCoreApplication::instance()) {
        std::call_once(appOnce, [app] { QObject::connect(app, &QCoreApplication::aboutToQuit, app, shutdownHook); });
    }
}

// The maps of the design's job record as the job's file list; takes the list.
JobFiles filesOf(QList<QMap<QString, QString>> *fileList)
{
    const std::unique_ptr<QList<QMap<QString, QString>>> owned(fileList);
    JobFiles files;
    if (owned) {
        for (const QMap<QString, QString> &file : *owned)
            files.append({file.value(QStringLiteral("id")).toInt(nullptr, 10), file.value(QStringLiteral("path"))});
    }
    return files;
}

} // namespace

void BatchJob::setUpPool()
{
    QThreadPool::globalInstance()->setMaxThreadCount(kPoolThreads);
}

BatchJob::BatchJob(int imgType, int formatIndex, int qualityValue, int zoomWidth, int zoomHeight,
                     const QString &rotateDegree, bool isFlop, bool isFlip, QList<QMap<QString, QString>> *fileList,
                     const QString &exportDir, QObject *parent)
    : BatchJob(JobSettings{imgType, formatIndex, qualityValue, zoomWidth, zoomHeight, rotateDegree, isFlop, isFlip},
                filesOf(fileList), exportDir, parent)
{ }

BatchJob::BatchJob(const JobSettings &settings, const JobFiles &files, const QString &exportDir, QObject *parent)
    : QThread(parent)
    , settings(settings)
    , files(files)
    , exportDir(exportDir)
    , control(std::make_shared<JobControl>())
{
    installShutdownHooks();
    {
        QMutexLocker lock(&jobsMutex);
        liveJobs().insert(this);
    }
    // A parent emits destroyed() before it deletes its children: leave it then,
    // so that a page closed mid-run never deletes a running thread.
    if (parent) {
        connect(
            parent, &QObject::destroyed, this,
            [this] {
                if (isRunning())
                    detach();
            },
            Qt::DirectConnection);
    }
}

BatchJob::~BatchJob()
{
    QMutexLocker lock(&jobsMutex);
    liveJobs().remove(this);
}

void BatchJob::detach()
{
    setParent(nullptr);
}

void BatchJob::stop()
{
    control->stop();
}

bool BatchJob::stopping() const
{
    return control->stopped() || ProcessRunner::stopRequested();
}

void BatchJob::setParentProgress(int progress, int index)
{
    qCDebug(lcBatch) << "=================progress:" << progress << ",index:" << index;
    emit notifyParentProgress(progress, index);
}

void BatchJob::parentDone(QString filePath, int index, bool isSuccess)
{
    emit notifyParentDone(filePath, index, isSuccess);
}

void BatchJob::parentFailed(QString reason, int index)
{
    emit notifyParentFailure(reason, index);
}

void BatchJob::parentKeptOriginal(int index)
{
    emit notifyParentKeptOriginal(index);
}

void BatchJob::parentCancelled(int index)
{
    emit notifyParentCancelled(index);
}

void BatchJob::run()
{
    if (!QFileInfo::exists(exportDir))
        QDir().mkpath(BatchPaths::defaultExportDir());
    TempArea::sweep();

    QThreadPool *pool = QThreadPool::globalInstance();
    int next = 0;
    int dispatched = 0;
    int endsSeen = 0;
    for (; next < files.size() && !stopping(); ++next) {
        auto worker = std::make_unique<FileTask>(settings, files.at(next), exportDir, control);
        // Blocking: a file's result reaches the page before its worker ends, so
        // before the job counts it ended and before the end marker.
        connect(worker.get(), &FileTask::setProgress, this, &BatchJob::setParentProgress,
                Qt::BlockingQueuedConnection);
        connect(worker.get(), &FileTask::done, this, &BatchJob::parentDone, Qt::BlockingQueuedConnection);
        connect(worker.get(), &FileTask::failed, this, &BatchJob::parentFailed, Qt::BlockingQueuedConnection);
        connect(worker.get(), &FileTask::frames, this, &BatchJob::notifyParentFrames, Qt::BlockingQueuedConnection);
        connect(worker.get(), &FileTask::warned, this, &BatchJob::notifyParentWarning, Qt::BlockingQueuedConnection);
        connect(worker.get(), &FileTask::keptOriginal, this, &BatchJob::parentKeptOriginal,
                Qt::BlockingQueuedConnection);
        connect(worker.get(), &FileTask::cancelled, this, &BatchJob::parentCancelled, Qt::BlockingQueuedConnection);
        bool started = false;
        while (!(started = pool->tryStart(worker.get())) && !stopping()) {
            if (control->waitForWorkerEnd(kDispatchWaitMs))
                ++endsSeen;
        }
        if (!started)
            break;
        worker.release(); // the pool deletes it after run()
        ++dispatched;
    }
    if (!ProcessRunner::stopRequested()) {
        for (int i = next; i < files.size(); ++i)
            emit notifyParentCancelled(files.at(i).row);
    }
    control->waitForWorkerEnds(dispatched - endsSeen);
    emit notifyParentDone(QString(), -1, true);
}

void BatchJob::shutdownAll(int timeoutMs)
{
    ProcessRunner::requestStop();
    QElapsedTimer clock;
    clock.start();
    forever
    {
        bool busy = FileTask::runningCount() > 0;
        QList<BatchJob *> jobs;
        {
            QMutexLocker lock(&jobsMutex);
            jobs = liveJobs().values();
        }
        for (BatchJob *job : qAsConst(jobs)) {
            // A worker blocked in a queued call to a job waits for this thread to
            // run it, which will not happen now: dropping the call wakes it.
            QCoreApplication::removePostedEvents(job, QEvent::MetaCall);
            if (!job->wait(0))
                busy = true;
        }
        if (!busy)
            return;
        if (clock.elapsed() > timeoutMs) {
            qCDebug(lcBatch) << "batch shutdown: work still running after" << timeoutMs << "ms";
            return;
        }
        QThread::msleep(5);
    }
}
