#pragma once

#include "CommandLists.h"

#include "batch/engine/BatchTypes.h"
#include "NameReservation.h"
#include "OutputNaming.h"
#include "process/ToolLocator.h"

#include <QDateTime>
#include <QRunnable>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include <functional>

class JobControl;
class ProcessRunner;
struct ToolRun;
class TempFolder;
class StagedOutput;

// Converts one file of a batch job on a thread of its job's pool: picks the
// output name, runs the external programs and tells one FileResult for its row.
// It waits for a tool slot (ToolSlots) first and says when it has one: its
// tools start then.
//
// A failed file leaves nothing this run created: outputs are written under a
// temporary name and renamed into place only when the file succeeded.
class FileTask : public QRunnable
{
public:
    // What a task tells, on its own thread: its tools start (started, may be
    // empty), and how it ended (finished, once; nothing once the process is
    // shutting down).
    struct Listener
    {
        std::function<void(int row)> started;
        std::function<void(const FileResult &result)> finished;
    };

    // control: the job's stop; none for a task run on its own.
    FileTask(std::shared_ptr<const JobSettings> settings, const JobFile &file, const QString &exportDir,
             Listener listener, std::shared_ptr<JobControl> control = nullptr);
    ~FileTask() override;

    void run() override;

    // Tasks of this process inside run(); a shutdown waits for them.
    static int runningCount();

private:
    bool stopRequested() const;
    QString process();
    void keepSourceIfNotSmaller(StagedOutput &stage);

    QString convertOrRotate();
    QString compress();
    bool claimTarget(const QString &fmt, QString &target);
    // Runs a decoder that writes source as a picture ImageMagick reads (suffix) in
    // the file's temporary folder: its path, or empty after a note.
    QString decodeFirst(ToolLocator::Tool tool, const QString &source, const QString &suffix);
    // Sends a source ImageMagick cannot read through the decoder that can (djxl),
    // else notes that the format is not supported.
    bool makeReadable(QString &input, QString &coder);
    bool canWrite(const QString &fmt);
    bool knownToMagick(const QString &format, bool (*can)(const QString &, const QString &, const std::atomic_bool *));
    void noteUnsupported(const QString &format);
    // The ImageMagick program, looked up once a file.
    const QString &magickProgram();
    // Whether the source's header size is within ImageMagick's limits, for the
    // tools that have none (pngquant, djxl); notes why not.
    bool withinLimits();
    bool checkSource(bool wantPicture);
    // The picture ImageMagick is given, with what its header says where that counts.
    CommandLists::Input magickInput(const QString &path, const QString &coder) const;
    // The conversion's arguments for the metadata choice that need a look at the
    // source first (MetadataStrip).
    QStringList metadataArgs(const QString &input, const QString &coder, const QString &fmt);
    // Runs a tool with its share of the cores.
    ToolRun runTool(const QString &program, const QStringList &arguments);
    // Whether the ImageMagick in use applies the program's policy; notes why not
    // (once a file).
    bool magickHoldsPolicy();
    bool runMagick(const CommandLists::Command &command, const QString &fmt, StagedOutput &stage, const QString &coder);
    bool runPngquant(const CommandLists::Command &command, StagedOutput &stage);
    // Several pictures written: they go to a folder of their own. False (with
    // the reason noted) when it cannot be made.
    bool placeFrames(QString &outputPath, int &frameCount);
    QString nextFreeTarget();
    QString noSpaceProblem() const;
    void note(const QString &problem);
    void noteRun(const QString &program, const ToolRun &result);
    void finish(const QString &outputPath);
    void tell(FileResult::Status status, const QString &outputPath, int frameCount = 1,
              const QString &reason = QString());

    std::shared_ptr<const JobSettings> settings;
    const JobSettings &job;
    std::shared_ptr<JobControl> control;
    Listener listener;
    QString oriFilePath;
    QString exportDir;
    QString subDir;
    QString errorText;
    int rowIndex;

    // One file's run.
    std::unique_ptr<TempFolder> temp;
    std::unique_ptr<ProcessRunner> runner;
    QString sourceCoder; // ImageMagick format of the source's content
    QString magickPath;
    std::optional<bool> policyHeld;
    QSize sourceSize; // from its header, when known
    QDateTime claimedAt;
    NameReservation names;
    std::unique_ptr<StagedOutput> output;
    QString createdFrameDir;
    bool programsOk = true;
    bool keptSource = false;
    QString engineCause; // the first failure the engine noticed itself
};
