#pragma once

#include "batch/engine/BatchTypes.h"
#include "batch/engine/NameReservation.h"
#include "batch/engine/OutputNaming.h"
#include "batch/engine/ToolLocator.h"

#include <QDateTime>
#include <QObject>
#include <QRunnable>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

class JobControl;
class ProcessRunner;
struct ToolRun;
class TempFolder;
class QThread;
class QTimer;
class StagedOutput;

// Converts one file of a batch job on a thread of the global pool: picks the
// output name, runs the external programs, shows a one-second pseudo-progress
// (3, 4, ... 91, then 100 on success) and reports the result for its table row.
// It shows 3 while it waits for a tool slot (ToolSlots); the steps start with its
// tools.
//
// A failed file leaves nothing this run created: outputs are written under a
// temporary name and renamed into place only when the file succeeded.
class FileTask : public QObject, public QRunnable
{
    Q_OBJECT

public:
    // control: the job's stop and end count; none for a worker run on its own.
    FileTask(const JobSettings &settings, const JobFile &file, const QString &exportDir,
               std::shared_ptr<JobControl> control = nullptr, QObject *parent = nullptr);
    FileTask(int imgType, int formatIndex, int qualityValue, int zoomWidth, int zoomHeight,
               const QString &rotateDegree, bool isFlop, bool isFlip, int rowIndex, const QString &oriFilePath,
               const QString &exportDir, QObject *parent = nullptr);
    ~FileTask() override;

    void run() override;

    // Workers of this process inside run(); a shutdown waits for them.
    static int runningCount();

    // The pseudo-progress step, 1000 ms unless changed (tests).
    static void setProgressInterval(int ms);

signals:
    void setProgress(int progress, int rowIndex);
    void done(const QString &exportFilePath, int rowIndex, bool isSuccess);
    // Just before a failed file's done(): one line saying why.
    void failed(const QString &reason, int rowIndex);
    // Just before done() of a file whose output is several pictures
    // (NAME-0.EXT, NAME-1.EXT, ...; done() names the first): how many.
    void frames(int count, int rowIndex);
    // Just before a compressed file's done(): the result was not smaller, so the
    // output holds the source's bytes.
    void keptOriginal(int rowIndex);
    // Instead of done(): the job was stopped before this file succeeded.
    void cancelled(int rowIndex);

public slots:
    void progressRefresh();

private:
    bool stopRequested() const;
    QString process();
    void keepSourceIfNotSmaller(StagedOutput &stage);
    void startProgress();
    void stopProgress();
    void emitProgress(int value);

    QString convertOrRotate();
    QString compress();
    bool claimTarget(const QString &fmt, OutputNaming::Target &target);
    // Runs a decoder that writes source as a picture ImageMagick reads (suffix) in
    // the file's temporary folder: its path, or empty after a note.
    QString decodeFirst(ToolLocator::Tool tool, const QString &source, const QString &suffix);
    // Sends a source ImageMagick cannot read through the decoder that can (djxl),
    // else notes that the format is not supported.
    bool makeReadable(QString &input, QString &coder);
    bool canWrite(const QString &fmt);
    static bool knownToMagick(const QString &format, bool (*can)(const QString &, const QString &));
    // Whether the source's header size is within ImageMagick's limits, for the
    // tools that have none (pngquant, djxl); notes why not.
    bool withinLimits();
    bool checkSource(bool wantPicture);
    bool runMagick(const QStringList &args, const QString &fmt, StagedOutput &stage, const QString &coder);
    bool runPngquant(const QStringList &args, StagedOutput &stage);
    void placeFrames(QString &outputPath, int &frameCount);
    QString noSpaceProblem() const;
    void note(const QString &problem);
    void noteRun(const QString &program, const ToolRun &result);
    void finish(const QString &outputPath);

    JobSettings job;
    std::shared_ptr<JobControl> control;
    bool ran = false;
    QString oriFilePath;
    QString exportDir;
    QString subDir;
    QString errorText;
    int rowIndex;
    QTimer *progressTimer = nullptr; // deleted in its own thread when that ends
    int progressValue = 3;
    std::unique_ptr<QThread> progressThread;

    // One file's run.
    std::unique_ptr<TempFolder> temp;
    std::unique_ptr<ProcessRunner> runner;
    QString sourceCoder; // ImageMagick format of the source's content
    QSize sourceSize; // from its header, when known
    QDateTime claimedAt;
    NameReservation names;
    std::unique_ptr<StagedOutput> output;
    QString createdFrameDir;
    bool programsOk = true;
    bool keptSource = false;
    QString engineCause; // the first failure the engine noticed itself
};
