#pragma once

#include "batch/engine/BatchTypes.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <memory>

class JobControl;

// One batch job: runs every file of its list as a FileTask on a pool of its own,
// as many threads as tools may run at once (ToolSlots::limit()), and tells what
// happens on the thread of the file: fileStarted() when a file's tools start,
// one fileFinished() per file, then finished() once, after every file's result.
// Listeners on another thread (a page, the command line) get them queued, in
// that order.
//
// A page creates the job with itself as parent, connects the three signals and
// finished() -> deleteLater(), then calls start().
//
// stop() ends the job early: no further file starts, running tools are ended,
// and every file that had not succeeded by then ends Cancelled and leaves
// nothing behind; outputs already written stay.
//
// Closing a page while its job runs is safe: when the parent is destroyed the
// job detaches itself (detach()), runs to its end with its signals going
// nowhere, and deletes itself. Before the process exits while jobs may run, call
// BatchJob::shutdownAll() (the viewer does so right before exit(1)); it is also
// hooked to QCoreApplication::aboutToQuit, to the application's destruction and
// to exit() as a safety net.
class BatchJob : public QObject
{
    Q_OBJECT

public:
    BatchJob(JobSettings settings, const JobFiles &files, const QString &exportDir, QObject *parent = nullptr);
    ~BatchJob() override;

    // Hands every file to the pool and returns at once. An empty job finishes
    // from the event loop.
    void start();

    // Leaves the parent's ownership so that the parent can be destroyed while the
    // job runs; the job still deletes itself on finished(). Must be called on the
    // thread the job object lives in (the GUI thread).
    void detach();

    // Ends the job early (see above). Any thread; returns at once.
    void stop();

    // Started and not yet finished.
    bool isRunning() const;
    const JobSettings &settings() const { return *jobSettings; }
    // Threads of the job's pool: the tool bound when it started.
    int threadCount() const { return pool.maxThreadCount(); }

    // Ends all work of this process promptly: no further files start, running
    // children are killed and their partial outputs removed. Waits at most
    // timeoutMs for every task to end. Afterwards no job can process files any
    // more. Call on the GUI thread; never from a job's slot.
    static void shutdownAll(int timeoutMs = 10000);

signals:
    void fileStarted(int row);
    void fileFinished(const FileResult &result);
    void finished(const JobSummary &summary);

private:
    // A task's result, on its thread.
    void record(const FileResult &result);

    std::shared_ptr<const JobSettings> jobSettings;
    JobFiles files;
    QString exportDir;
    std::shared_ptr<JobControl> control;
    QThreadPool pool;
    QAtomicInt remaining;
    QAtomicInt running;
    QAtomicInt succeeded;
    QAtomicInt failed;
    QAtomicInt cancelled;
};
