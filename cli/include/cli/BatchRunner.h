#pragma once

#include "batch/engine/BatchFiles.h"
#include "cli/BatchReport.h"
#include "cli/BatchRequest.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

class BatchJob;

// Runs one job the way a toolbox page does (a BatchJob and its results) and
// prints a line per file, the live progress and the summary.
class BatchRunner : public QObject
{
    Q_OBJECT

public:
    BatchRunner(const BatchRequest &request, const QVector<BatchEntry> &entries, QObject *parent = nullptr);
    ~BatchRunner() override;

    // Reports the skipped and missing files, then starts the job; finished() follows
    // the job's end (at once when nothing is left to send).
    void start();

    // Ends the running tools at once (a signal came): the files not finished are
    // reported stopped and counted failed, then the summary follows, unless
    // printing is false (nobody reads the output any more). finished() is not
    // emitted.
    void interrupt(bool printing);

signals:
    void finished(int exitStatus);

private:
    void fileStarted(int row);
    void fileFinished(const FileResult &result);
    void drawRunning();
    void finish();
    // A file's line, or its JSON object with --json.
    void printFile(const QString &line, const QString &source, const QString &output, const QString &status,
                   const QString &reason, int frames = 0);
    void printLine(const QString &line);
    void drawProgress();

    BatchRequest batchRequest;
    QVector<BatchEntry> fileEntries;
    QVector<int> sentIndices; // row index -> index into fileEntries
    BatchReport report;
    bool ended = false; // the summary was printed
    QPointer<BatchJob> job;
    QHash<int, qint64> startedAt; // running row -> when its tools started (clock)
    QElapsedTimer clock;
    QTimer ticker; // redraws the running files' progress
    bool progressShown; // standard error is a terminal
};
