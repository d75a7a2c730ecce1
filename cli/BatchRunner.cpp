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
}

BatchRunner::~BatchRunner()
{
    if (job)
        job->wait();
}

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
    connect(job, &BatchJob::notifyParentProgress, this, &BatchRunner::setProgress);
    connect(job, &BatchJob::notifyParentFailure, this, &BatchRunner::failed);
    connect(job, &BatchJob::notifyParentWarning, this, &BatchRunner::failed); // kept as the file's reason
    connect(job, &BatchJob::notifyParentFrames, this, &BatchRunner::frames);
    connect(job, &BatchJob::notifyParentKeptOriginal, this, &BatchRunner::keptOriginal);
    connect(job, &BatchJob::notifyParentDone, this, &BatchRunner::done);
    connect(job, &QThread::finished, job, &QObject::deleteLater);
    drawProgress();
    job->start();
}

void BatchRunner::setProgress(int progress, int rowIndex)
{
    if (rowIndex < 0 || rowIndex >= sentIndices.size())
        return;
    report.setProgress(rowIndex, progress);
    drawProgress();
}

void BatchRunner::done(QString exportFilePath, int rowIndex, bool isSuccess)
{
    if (rowIndex == -1) {
        if (job)
            job->wait();
        finish();
        return;
    }
    if (rowIndex < 0 || rowIndex >= sentIndices.size())
        return;
    if (report.finished(rowIndex))
        return;
    const QString source = fileEntries.at(sentIndices.at(rowIndex)).source;
    report.finish(rowIndex, isSuccess);
    const QString reason = reasons.take(rowIndex);
    const int frames = qMax(1, frameCounts.take(rowIndex));
    const QString why = reason.isEmpty() ? QStringLiteral("conversion failed") : reason;
    if (isSuccess && kept.remove(rowIndex))
        printFile(BatchReport::keptLine(source, exportFilePath), source, exportFilePath, QStringLiteral("ok"),
                  QStringLiteral("original kept: compressing did not make it smaller"), frames);
    else if (isSuccess)
        printFile(BatchReport::okLine(source, exportFilePath, frames)
                      + (reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(BatchReport::shown(reason))),
                  source, exportFilePath, QStringLiteral("ok"), reason, frames);
    else
        printFile(BatchReport::failedLine(source, exportFilePath, why), source, exportFilePath,
                  QStringLiteral("failed"), why);
    drawProgress();
}

void BatchRunner::failed(QString reason, int rowIndex)
{
    reasons.insert(rowIndex, reason);
}

void BatchRunner::frames(int count, int rowIndex)
{
    frameCounts.insert(rowIndex, count);
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
}

void BatchRunner::keptOriginal(int rowIndex)
{
    kept.insert(rowIndex);
}

void BatchRunner::finish()
{
    if (ended)
        return;
    ended = true;
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
