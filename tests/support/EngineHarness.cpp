#include "support/EngineHarness.h"

#include "batch/engine/FileTask.h"
#include "batch/engine/ToolLocator.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QRgb>
#include <QStandardPaths>
#include <QThreadPool>

namespace EngineHarness {

QList<WorkerResult> runWorkers(const JobSettings &s, const QList<FileToRun> &files, const QString &exportDir)
{
    QList<WorkerResult> results;
    for (int i = 0; i < files.size(); ++i)
        results << WorkerResult();
    QMutex mutex;
    QList<FileTask *> workers;
    for (int i = 0; i < files.size(); ++i) {
        auto *worker = new FileTask(s, JobFile{files.at(i).row, files.at(i).source}, exportDir);
        WorkerResult *result = &results[i];
        // Direct: the slots run on the worker's threads, so no event loop is needed.
        QObject::connect(
            worker, &FileTask::setProgress, worker,
            [&mutex, result](int progress, int) {
                QMutexLocker lock(&mutex);
                result->progress << progress;
                result->progressAfterDone = result->progressAfterDone || result->doneCount > 0;
            },
            Qt::DirectConnection);
        QObject::connect(
            worker, &FileTask::warned, worker,
            [&mutex, result](const QString &warning, int) {
                QMutexLocker lock(&mutex);
                result->reason = warning;
            },
            Qt::DirectConnection);
        QObject::connect(
            worker, &FileTask::keptOriginal, worker,
            [&mutex, result](int) {
                QMutexLocker lock(&mutex);
                result->keptOriginal = true;
            },
            Qt::DirectConnection);
        QObject::connect(
            worker, &FileTask::done, worker,
            [&mutex, result](const QString &path, int row, bool success) {
                QMutexLocker lock(&mutex);
                ++result->doneCount;
                result->path = path;
                result->row = row;
                result->success = success;
            },
            Qt::DirectConnection);
        QObject::connect(
            worker, &FileTask::failed, worker,
            [&mutex, result](const QString &reason, int) {
                QMutexLocker lock(&mutex);
                result->reason = reason;
            },
            Qt::DirectConnection);
        QObject::connect(
            worker, &FileTask::frames, worker,
            [&mutex, result](int count, int) {
                QMutexLocker lock(&mutex);
                result->frames = count;
            },
            Qt::DirectConnection);
        workers << worker;
    }
    for (FileTask *worker : qAsConst(workers))
        QThreadPool::globalInstance()->start(worker);
    // Keep this thread's events flowing: a test may serve the failure report here.
    while (!QThreadPool::globalInstance()->waitForDone(10))
        QCoreApplication::processEvents();
    return results;
}

WorkerResult runWorker(const JobSettings &settings, const QString &source, const QString &exportDir, int row)
{
    return runWorkers(settings, {{source, row}}, exportDir).first();
}

bool running(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

QString writeTool(const QString &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    // ImageMagick is told the input's format ("png:/path"); $IN is the path alone.
    file.write("#!/bin/sh\nIN=\"$1\"\ncase \"$IN\" in [a-z]*:/*) IN=\"${IN#*:}\" ;; esac\n"
               "for a in \"$@\"; do OUT=\"$a\"; done\n"
               + body + "\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
    return path;
}

QStringList entriesBelow(const QString &dir)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << it.next().mid(dir.size() + 1);
    entries.sort();
    return entries;
}

bool magick(const QStringList &args)
{
    QProcess process;
    process.start(ToolLocator::locate(
                      ToolLocator::Tool::ImageMagick, QStringLiteral("/nonexistent"),
                      [](const QString &) { return false; },
                      [](const QString &name) { return QStandardPaths::findExecutable(name); }),
                  args);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QChar dngBand(unsigned int rgb)
{
    const int r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
    if (qMax(r, qMax(g, b)) - qMin(r, qMin(g, b)) < 30)
        return QLatin1Char('K');
    if (r > g + 40 && r > b + 40)
        return QLatin1Char('R');
    if (g > r + 40 && g > b + 40)
        return QLatin1Char('G');
    if (b > r + 40 && b > g + 40)
        return QLatin1Char('B');
    return QLatin1Char('?');
}

JobSettings settingsFor(int imgType, int formatIndex, int quality, int width, int height)
{
    JobSettings s;
    s.imgType = imgType;
    s.formatIndex = formatIndex;
    s.qualityValue = quality;
    s.zoomWidth = width;
    s.zoomHeight = height;
    return s;
}

} // namespace EngineHarness
