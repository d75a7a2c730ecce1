#pragma once

#include "batch/engine/BatchTypes.h"
#include "batch/engine/NameReservation.h"
#include "batch/engine/OutputNaming.h"

#include <QDateTime>
#include <QObject>
#include <QRunnable>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

class ProcessRunner;
struct ToolRun;
class TempFolder;
class QThread;
class QTimer;
class StagedOutput;

// Converts one file of a batch job on a thread of the global pool: picks the
// output name, runs the external programs, shows a one-second pseudo-progress
// (3, 4, ... 91, then 100 on success) and reports the result for its table row.
//
// A failed file leaves nothing this run created: outputs are written under a
// temporary name and renamed into place only when the file succeeded.
class ImgRunable : public QObject, public QRunnable
{
    Q_OBJECT

public:
    ImgRunable(int imgType, int formatIndex, int qualityValue, int zoomWidth, int zoomHeight,
               const QString &rotateDegree, bool isFlop, bool isFlip, int rowIndex, const QString &oriFilePath,
               const QString &exportDir, QObject *parent = nullptr);
    ~ImgRunable() override;

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

public slots:
    void progressRefresh();

private:
    JobSettings settings() const;
    void startProgress();
    void stopProgress();
    void emitProgress(int value);

    QString convertOrRotate();
    QString compress();
    bool claimTarget(const QString &fmt, OutputNaming::Target &target);
    QString decodeRaw(const QString &rawPath);
    bool checkSource(bool wantPicture);
    bool runMagick(const QStringList &args, const QString &fmt, StagedOutput &stage, const QString &coder);
    bool runPngquant(const QStringList &args, StagedOutput &stage);
    bool placeFrames(QString &outputPath, int &frameCount);
    QString noSpaceProblem() const;
    void note(const QString &problem);
    void noteRun(const QString &program, const ToolRun &result);
    void finish(const QString &outputPath);

    int imgType;
    int formatIndex;
    int qualityValue;
    int zoomWidth;
    int zoomHeight;
    QString rotateDegree;
    bool isFlop;
    bool isFlip;
    QString oriFilePath;
    QString exportDir;
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
    QStringList intermediates;
    bool programsOk = true;
    QString engineCause; // the first failure the engine noticed itself
};
