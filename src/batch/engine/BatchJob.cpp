#include "batch/engine/BatchJob.h"

#include "batch/engine/BatchCatalogue.h"
#include "BatchLog.h"
#include "batch/engine/BatchPaths.h"
#include "FileTask.h"
#include "JobControl.h"
#include "ProcessRunner.h"
#include "TempArea.h"
#include "batch/engine/ToolSlots.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QThread>

#include <cstdlib>
#include <mutex>

namespace {

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
// registration. Tasks still running would read tables that are gone. So the job
// registry and the tables tasks read are created first and our hook registered
// after them: it runs, and the tasks end, before they go.
void installShutdownHooks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        qRegisterMetaType<FileResult>();
        qRegisterMetaType<JobSummary>();
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

} // namespace

BatchJob::BatchJob(JobSettings settings, const JobFiles &files, const QString &exportDir, QObject *parent)
    : QObject(parent)
    , jobSettings(std::make_shared<const JobSettings>(std::move(settings)))
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
    // so that a page closed mid-run never deletes a running job.
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
    {
        QMutexLocker lock(&jobsMutex);
        liveJobs().remove(this);
    }
    // Files not started go unheard; running ones end with their tools.
    pool.clear();
    control->stop();
    pool.waitForDone();
}

void BatchJob::start()
{
    if (!QFileInfo::exists(exportDir))
        QDir().mkpath(BatchPaths::defaultExportDir());
    TempArea::sweep();

    running = 1;
    remaining = files.size();
    if (files.isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                running = 0;
                emit finished(JobSummary{});
            },
            Qt::QueuedConnection);
        return;
    }
    // One thread per tool that may run: a file waits for a thread, not beside one.
    pool.setMaxThreadCount(qMin(ToolSlots::limit(), int(files.size())));
    FileTask::Listener listener;
    listener.started = [this](int row) { emit fileStarted(row); };
    listener.finished = [this](const FileResult &result) { record(result); };
    for (const JobFile &file : qAsConst(files))
        pool.start(new FileTask(jobSettings, file, exportDir, listener, control));
}

void BatchJob::record(const FileResult &result)
{
    switch (result.status) {
    case FileResult::Succeeded: succeeded.ref(); break;
    case FileResult::Failed: failed.ref(); break;
    case FileResult::Cancelled: cancelled.ref(); break;
    }
    emit fileFinished(result);
    if (!remaining.deref()) {
        running = 0;
        emit finished(JobSummary{succeeded.loadRelaxed(), failed.loadRelaxed(), cancelled.loadRelaxed()});
    }
}

bool BatchJob::isRunning() const
{
    return running.loadRelaxed() != 0;
}

void BatchJob::detach()
{
    setParent(nullptr);
}

void BatchJob::stop()
{
    control->stop();
}

void BatchJob::shutdownAll(int timeoutMs)
{
    ProcessRunner::requestStop();
    QElapsedTimer clock;
    clock.start();
    forever
    {
        bool busy = FileTask::runningCount() > 0;
        {
            QMutexLocker lock(&jobsMutex);
            for (BatchJob *job : qAsConst(liveJobs()))
                busy = busy || job->pool.activeThreadCount() > 0;
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
