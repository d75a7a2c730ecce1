#include "cli/BatchRunner.h"

#include "batch/engine/BatchPaths.h"
#include "batch/engine/BatchJob.h"

#include <QDir>

#include <cstdio>
#include <unistd.h>

BatchRunner::BatchRunner(const BatchRequest &request, const QVector<BatchEntry> &entries, QObject *parent)
    : QObject(parent)
    , batchRequest(request)
    , fileEntries(entries)
    , progressShown(isatty(STDERR_FILENO))
{
    for (int i = 0; i < fileEntries.size(); ++i) {
        if (fileEntries.at(i).state == BatchEntry::Send)
            sentIndices.append(i);
    }
    report = BatchReport(sentIndices.size());
    ticker.setInterval(1000);
    connect(&ticker, &QTimer::timeout, this, &BatchRunner::drawRunning);
}

BatchRunner::~BatchRunner() = default;

void BatchRunner::start()
{
    for (const BatchEntry &entry : qAsConst(fileEntries)) {
        if (entry.state == BatchEntry::Skipped) {
            report.addSkipped();
            printFile(BatchReport::skippedLine(entry.source), entry.source, QString(), QStringLiteral("skipped"),
                      QStringLiteral("unsupported suffix"));
        } else if (entry.state == BatchEntry::Missing) {
            report.addMissing();
            printFile(BatchReport::missingLine(entry.source), entry.source, QString(), QStringLiteral("missing"),
                      QStringLiteral("no such file"));
        } else if (entry.state == BatchEntry::BadName) {
            report.addMissing();
            printFile(BatchReport::badNameLine(entry.bytes), entry.source, QString(), QStringLiteral("failed"),
                      QStringLiteral("file name is not valid UTF-8"));
        }
    }
    if (sentIndices.isEmpty()) {
        finish();
        return;
    }

    // A folder given with -o is created like the default one, so that a typo'd or
    // new folder does not fail every file (or make the job create the default).
    const QString exportDir
        = batchRequest.exportDir.isEmpty() ? BatchPaths::defaultExportDir() : batchRequest.exportDir;
    QDir().mkpath(exportDir);

    QVector<BatchEntry> sent;
    for (int entry : qAsConst(sentIndices))
        sent << fileEntries.at(entry);
    // A file that went away since the list was made is missing after all.
    QList<int> missing;
    const JobFiles files = BatchFiles::jobFiles(sent, &missing);
    for (int row : qAsConst(missing)) {
        report.finish(row, false);
        const QString source = fileEntries.at(sentIndices.at(row)).source;
        printFile(BatchReport::missingLine(source), source, QString(), QStringLiteral("missing"),
                  QStringLiteral("no such file"));
    }
    job = new BatchJob(batchRequest.job, files, exportDir, this);
    connect(job, &BatchJob::fileStarted, this, &BatchRunner::fileStarted);
    connect(job, &BatchJob::fileFinished, this, &BatchRunner::fileFinished);
    connect(job, &BatchJob::finished, this, &BatchRunner::finish);
    connect(job, &BatchJob::finished, job, &QObject::deleteLater);
    clock.start();
    if (progressShown)
        ticker.start();
    drawProgress();
    job->start();
}

void BatchRunner::fileStarted(int row)
{
    startedAt.insert(row, clock.elapsed());
    report.setProgress(row, runningProgress(0));
    drawProgress();
}

void BatchRunner::drawRunning()
{
    for (auto it = startedAt.constBegin(); it != startedAt.constEnd(); ++it)
        report.setProgress(it.key(), runningProgress(clock.elapsed() - it.value()));
    drawProgress();
}

void BatchRunner::fileFinished(const FileResult &result)
{
    const int row = result.row;
    if (row < 0 || row >= sentIndices.size() || report.finished(row))
        return;
    startedAt.remove(row);
    const bool ok = result.status == FileResult::Succeeded;
    report.finish(row, ok);
    const QString source = fileEntries.at(sentIndices.at(row)).source;
    const QString &output = result.output;
    if (result.status == FileResult::Cancelled) {
        printFile(BatchReport::stoppedLine(source), source, QString(), QStringLiteral("stopped"),
                  QStringLiteral("interrupted"));
    } else if (ok && result.keptOriginal) {
        printFile(BatchReport::keptLine(source, output), source, output, QStringLiteral("ok"),
                  QStringLiteral("original kept: compressing did not make it smaller"), result.frames);
    } else if (ok) {
        printFile(BatchReport::okLine(source, output, result.frames), source, output, QStringLiteral("ok"), QString(),
                  result.frames);
    } else {
        const QString why = result.reason.isEmpty() ? QStringLiteral("conversion failed") : result.reason;
        printFile(BatchReport::failedLine(source, output, why), source, output, QStringLiteral("failed"), why);
    }
    drawProgress();
}

void BatchRunner::interrupt(bool printing)
{
    if (ended)
        return;
    // The tools are ended first; what had finished by then was reported.
    BatchJob::shutdownAll();
    if (!printing) {
        ended = true;
        return;
    }
    for (int row = 0; row < sentIndices.size(); ++row) {
        if (!report.finished(row)) {
            report.finish(row, false);
            const QString source = fileEntries.at(sentIndices.at(row)).source;
            printFile(BatchReport::stoppedLine(source), source, QString(), QStringLiteral("stopped"),
                      QStringLiteral("interrupted"));
        }
    }
    if (!batchRequest.json)
        printLine(report.summaryLine());
    progressShown = false;
    ended = true;
    ticker.stop();
}

void BatchRunner::finish()
{
    if (ended)
        return;
    ended = true;
    ticker.stop();
    // JSON lines carry files only; the exit status tells how the run went.
    if (!batchRequest.json)
        printLine(report.summaryLine());
    progressShown = false;
    emit finished(report.exitStatus());
}

void BatchRunner::printFile(const QString &line, const QString &source, const QString &output, const QString &status,
                            const QString &reason, int frames)
{
    if (batchRequest.json)
        printLine(BatchReport::jsonLine(source, output, status, reason, frames));
    else
        printLine(line);
}

void BatchRunner::printLine(const QString &line)
{
    if (progressShown)
        std::fputs("\r\033[K", stderr);
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void BatchRunner::drawProgress()
{
    if (!progressShown)
        return;
    std::fprintf(stderr, "\r%s\033[K", report.progressLine().toUtf8().constData());
    std::fflush(stderr);
}
