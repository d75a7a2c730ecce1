#pragma once

#include "batch/engine/BatchTypes.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// Running batch workers in tests, and the small fake programs that stand in for
// ImageMagick or pngquant when a test needs a tool to misbehave on purpose.
namespace EngineHarness {

// What a task told, gathered.
struct WorkerResult
{
    int startedCount = 0; // told its tools start
    bool startedAfterDone = false;
    int doneCount = 0; // results told
    QString path;
    int row = -1;
    bool success = false;
    FileResult::Status status = FileResult::Failed;
    QString reason; // a failed file: why
    int frames = 0; // how many pictures the output is
    bool keptOriginal = false;
};

struct FileToRun
{
    QString source;
    int row = 1;
};

// Runs one FileTask per file on a pool of their own at once and waits for all,
// handling this thread's events meanwhile.
QList<WorkerResult> runWorkers(const JobSettings &settings, const QList<FileToRun> &files, const QString &exportDir);
WorkerResult runWorker(const JobSettings &settings, const QString &source, const QString &exportDir, int row = 1);

// Writes an executable /bin/sh script; in body, $IN is the first argument and
// $OUT the last (a "format:" prefix the engine puts before ImageMagick's input is
// dropped from $IN). Returns its path.
QString writeTool(const QString &dir, const QString &name, const QByteArray &body);

// Every file and folder below dir, hidden ones included, relative and sorted.
QStringList entriesBelow(const QString &dir);

// Runs the real ImageMagick (to make fixtures such as animated GIFs).
bool magick(const QStringList &args);

// Reads a whole file (empty when unreadable).
QByteArray readAll(const QString &path);

// Which of the four bands of Fixtures::writeDng a decoded pixel shows: 'R', 'G',
// 'B', 'K' (grey) or '?'.
QChar dngBand(unsigned int rgb);

// format: an output suffix, or empty for none (the source's own); -1: not given.
JobSettings settingsFor(Operation operation, const QString &format = QString(), int quality = -1, int width = -1,
                        int height = -1);

} // namespace EngineHarness
