#include "support/EngineHarness.h"

#include "FileTask.h"
#include "process/ToolLocator.h"

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
    const auto settings = std::make_shared<const JobSettings>(s);
    QThreadPool pool;
    pool.setMaxThreadCount(qMax(1, int(files.size())));
    for (int i = 0; i < files.size(); ++i) {
        WorkerResult *result = &results[i];
        // Called on the tasks' threads, so no event loop is needed.
        FileTask::Listener listener;
        listener.started = [&mutex, result](int) {
            QMutexLocker lock(&mutex);
            ++result->startedCount;
            result->startedAfterDone = result->startedAfterDone || result->doneCount > 0;
        };
        listener.finished = [&mutex, result](const FileResult &file) {
            QMutexLocker lock(&mutex);
            ++result->doneCount;
            result->path = file.output;
            result->row = file.row;
            result->status = file.status;
            result->success = file.status == FileResult::Succeeded;
            result->reason = file.reason;
            result->frames = file.frames > 1 ? file.frames : 0;
            result->keptOriginal = file.keptOriginal;
        };
        pool.start(new FileTask(settings, JobFile{files.at(i).row, files.at(i).source}, exportDir, listener));
    }
    // Keep this thread's events flowing: a test may serve the failure report here.
    while (!pool.waitForDone(10))
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

JobSettings settingsFor(Operation operation, const QString &format, int quality, int width, int height)
{
    const auto given = [](int value) { return value == -1 ? std::nullopt : std::optional<int>(value); };
    JobSettings s;
    s.operation = operation;
    if (!format.isEmpty())
        s.format = format;
    s.quality = given(quality);
    s.width = given(width);
    s.height = given(height);
    return s;
}

} // namespace EngineHarness
