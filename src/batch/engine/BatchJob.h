#pragma once

#include "batch/engine/BatchTypes.h"

class JobControl;

#include <QList>
#include <QMap>
#include <QString>
#include <QThread>

#include <memory>

// One batch job: hands every file of its list to an FileTask on the global
// thread pool (kPoolThreads at once, shared with every other job; of those, at
// most ToolSlots::limit() run their tools), relays their progress and results,
// and ends with the marker notifyParentDone("", -1, true) after every file's own
// result. A worker's end wakes the dispatch at once; 100 ms is only its longest
// wait.
//
// A page creates the job with itself as parent, connects notifyParentProgress,
// notifyParentDone and finished() -> deleteLater(), then calls start().
//
// stop() ends the job early: no further file starts, running tools are ended,
// and every file that had not succeeded by then reports notifyParentCancelled
// (and no notifyParentDone) and leaves nothing behind; outputs already written
// stay. The end marker follows as always.
//
// Closing a page while its job runs is safe: when the parent is destroyed the
// job detaches itself (detach()), runs to its end with its signals going
// nowhere, and deletes itself. Before the process exits while jobs may run, call
// BatchJob::shutdownAll() (the viewer does so right before exit(1)); it is also
// hooked to QCoreApplication::aboutToQuit, to the application's destruction and
// to exit() as a safety net.
class BatchJob : public QThread
{
    Q_OBJECT

public:
    // Threads of the global pool: workers ready at once, for every job together.
    static constexpr int kPoolThreads = 10;
    // Sets the global pool to kPoolThreads; done once at start-up.
    static void setUpPool();

    BatchJob(const JobSettings &settings, const JobFiles &files, const QString &exportDir, QObject *parent = nullptr);
    // fileList: one map per file with the keys "id" (row index) and "path"; the
    // job owns and deletes it.
    BatchJob(int imgType, int formatIndex, int qualityValue, int zoomWidth, int zoomHeight,
              const QString &rotateDegree, bool isFlop, bool isFlip, QList<QMap<QString, QString>> *fileList,
              const QString &exportDir, QObject *parent = nullptr);
    ~BatchJob() override;

    // Leaves the parent's ownership so that the parent can be destroyed while the
    // job runs; the job still deletes itself on finished(). Must be called on the
    // thread the job object lives in (the GUI thread).
    void detach();

    // Ends the job early (see above). Any thread; returns at once.
    void stop();

    // Ends all work of this process promptly: no further files start, running
    // children are killed and their partial outputs removed, and workers blocked
    // on a signal to a thread that no longer handles events are released. Waits
    // at most timeoutMs for every job and worker to end. Afterwards no job can
    // process files any more. Call on the GUI thread; never from a job's slot.
    static void shutdownAll(int timeoutMs = 10000);

signals:
    void notifyParentProgress(int progress, int rowIndex);
    void notifyParentDone(QString exportFilePath, int rowIndex, bool isSuccess);
    // Why a file failed, one line; arrives before that file's notifyParentDone.
    void notifyParentFailure(QString reason, int rowIndex);
    // The output of a file is count pictures; arrives before its notifyParentDone,
    // which names the first.
    void notifyParentFrames(int count, int rowIndex);
    // A compression result would not have been smaller: the output holds the
    // source's bytes. Arrives before that file's notifyParentDone.
    void notifyParentKeptOriginal(int rowIndex);
    // A file succeeded with a decoder's warning; arrives before its notifyParentDone.
    void notifyParentWarning(QString warning, int rowIndex);
    // The job was stopped before this file succeeded; it has no other result.
    void notifyParentCancelled(int rowIndex);

public slots:
    void setParentProgress(int progress, int index);
    void parentDone(QString filePath, int index, bool isSuccess);
    void parentFailed(QString reason, int index);
    void parentKeptOriginal(int index);
    void parentCancelled(int index);

protected:
    void run() override;

private:
    bool stopping() const;

    JobSettings settings; // imgType ... isFlip of the job record
    JobFiles files;
    QString exportDir;
    std::shared_ptr<JobControl> control;
};
