#include "cli/BatchRunner.h"

#include "batch/engine/BatchPaths.h"
#include "batch/engine/ImgThread.h"

#include <QDir>

#include <cstdio>
#include <unistd.h>

BatchRunner::BatchRunner(const BatchRequest &request, const QVector<BatchEntry> &entries, QObject *parent)
    : QObject(parent)
    , m_request(request)
    , m_entries(entries)
    , m_progressShown(isatty(STDERR_FILENO))
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).state == BatchEntry::Send)
            m_sent.append(i);
    }
    m_report = BatchReport(m_sent.size());
}

BatchRunner::~BatchRunner()
{
    if (m_job)
        m_job->wait();
}

void BatchRunner::start()
{
    for (const BatchEntry &entry : qAsConst(m_entries)) {
        if (entry.state == BatchEntry::Skipped) {
            m_report.addSkipped();
            printFile(BatchReport::skippedLine(entry.source), entry.source, QString(), QStringLiteral("skipped"),
                      QStringLiteral("unsupported suffix"));
        } else if (entry.state == BatchEntry::Missing) {
            m_report.addMissing();
            printFile(BatchReport::missingLine(entry.source), entry.source, QString(), QStringLiteral("missing"),
                      QStringLiteral("no such file"));
        } else if (entry.state == BatchEntry::BadName) {
            m_report.addMissing();
            printFile(BatchReport::badNameLine(entry.bytes), entry.source, QString(), QStringLiteral("failed"),
                      QStringLiteral("file name is not valid UTF-8"));
        }
    }
    if (m_sent.isEmpty()) {
        finish();
        return;
    }

    // A folder given with -o is created like the default one, so that a typo'd or
    // new folder does not fail every file (or make the job create the default).
    const QString exportDir = m_request.exportDir.isEmpty() ? BatchPaths::defaultExportDir() : m_request.exportDir;
    QDir().mkpath(exportDir);

    QVector<BatchEntry> sent;
    for (int entry : qAsConst(m_sent))
        sent << m_entries.at(entry);
    // A file that went away since the list was made is missing after all.
    QList<int> missing;
    const JobFiles files = BatchFiles::jobFiles(sent, &missing);
    for (int row : qAsConst(missing)) {
        m_report.finish(row, false);
        const QString source = m_entries.at(m_sent.at(row)).source;
        printFile(BatchReport::missingLine(source), source, QString(), QStringLiteral("missing"),
                  QStringLiteral("no such file"));
    }
    m_job = new ImgThread(m_request.job, files, exportDir, this);
    connect(m_job, &ImgThread::notifyParentProgress, this, &BatchRunner::setProgress);
    connect(m_job, &ImgThread::notifyParentFailure, this, &BatchRunner::failed);
    connect(m_job, &ImgThread::notifyParentFrames, this, &BatchRunner::frames);
    connect(m_job, &ImgThread::notifyParentKeptOriginal, this, &BatchRunner::keptOriginal);
    connect(m_job, &ImgThread::notifyParentDone, this, &BatchRunner::done);
    connect(m_job, &QThread::finished, m_job, &QObject::deleteLater);
    drawProgress();
    m_job->start();
}

void BatchRunner::setProgress(int progress, int rowIndex)
{
    if (rowIndex < 0 || rowIndex >= m_sent.size())
        return;
    m_report.setProgress(rowIndex, progress);
    drawProgress();
}

void BatchRunner::done(QString exportFilePath, int rowIndex, bool isSuccess)
{
    if (rowIndex == -1) {
        if (m_job)
            m_job->wait();
        finish();
        return;
    }
    if (rowIndex < 0 || rowIndex >= m_sent.size())
        return;
    if (m_report.finished(rowIndex))
        return;
    const QString source = m_entries.at(m_sent.at(rowIndex)).source;
    m_report.finish(rowIndex, isSuccess);
    const QString reason = m_reasons.take(rowIndex);
    const int frames = qMax(1, m_frames.take(rowIndex));
    const QString why = reason.isEmpty() ? QStringLiteral("conversion failed") : reason;
    if (isSuccess && m_kept.remove(rowIndex))
        printFile(BatchReport::keptLine(source, exportFilePath), source, exportFilePath, QStringLiteral("ok"),
                  QStringLiteral("original kept: compressing did not make it smaller"), frames);
    else if (isSuccess)
        printFile(BatchReport::okLine(source, exportFilePath, frames), source, exportFilePath, QStringLiteral("ok"),
                  QString(), frames);
    else
        printFile(BatchReport::failedLine(source, exportFilePath, why), source, exportFilePath,
                  QStringLiteral("failed"), why);
    drawProgress();
}

void BatchRunner::failed(QString reason, int rowIndex)
{
    m_reasons.insert(rowIndex, reason);
}

void BatchRunner::frames(int count, int rowIndex)
{
    m_frames.insert(rowIndex, count);
}

void BatchRunner::interrupt(bool printing)
{
    if (m_ended)
        return;
    // The tools are ended first; what had finished by then was reported.
    ImgThread::shutdownAll();
    if (!printing) {
        m_ended = true;
        return;
    }
    for (int row = 0; row < m_sent.size(); ++row) {
        if (!m_report.finished(row)) {
            m_report.finish(row, false);
            const QString source = m_entries.at(m_sent.at(row)).source;
            printFile(BatchReport::stoppedLine(source), source, QString(), QStringLiteral("stopped"),
                      QStringLiteral("interrupted"));
        }
    }
    if (!m_request.json)
        printLine(m_report.summaryLine());
    m_progressShown = false;
    m_ended = true;
}

void BatchRunner::keptOriginal(int rowIndex)
{
    m_kept.insert(rowIndex);
}

void BatchRunner::finish()
{
    if (m_ended)
        return;
    m_ended = true;
    // JSON lines carry files only; the exit status tells how the run went.
    if (!m_request.json)
        printLine(m_report.summaryLine());
    m_progressShown = false;
    emit finished(m_report.exitStatus());
}

void BatchRunner::printFile(const QString &line, const QString &source, const QString &output, const QString &status,
                            const QString &reason, int frames)
{
    if (m_request.json)
        printLine(BatchReport::jsonLine(source, output, status, reason, frames));
    else
        printLine(line);
}

void BatchRunner::printLine(const QString &line)
{
    if (m_progressShown)
        std::fputs("\r\033[K", stderr);
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void BatchRunner::drawProgress()
{
    if (!m_progressShown)
        return;
    std::fprintf(stderr, "\r%s\033[K", m_report.progressLine().toUtf8().constData());
    std::fflush(stderr);
}
