#pragma once

#include "batch/engine/BatchFiles.h"
#include "cli/BatchReport.h"
#include "cli/BatchRequest.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVector>

class BatchJob;

// Runs one job the way a toolbox page does (an BatchJob, its two signals) and
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

private slots:
    void setProgress(int progress, int rowIndex);
    void done(QString exportFilePath, int rowIndex, bool isSuccess);
    void failed(QString reason, int rowIndex);
    void frames(int count, int rowIndex);
    void keptOriginal(int rowIndex);

private:
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
    QHash<int, QString> reasons; // row index -> why it failed (or its warning), until its done()
    QHash<int, int> frameCounts; // row index -> pictures of its output, until its done()
    bool ended = false; // the summary was printed
    QSet<int> kept; // row indices whose output is the source, until their done()
    QPointer<BatchJob> job;
    bool progressShown; // standard error is a terminal
};
