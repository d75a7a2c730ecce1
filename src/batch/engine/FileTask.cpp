#include "batch/engine/FileTask.h"

#include "batch/engine/BatchLog.h"
#include "batch/engine/BatchPaths.h"
#include "batch/engine/CommandLists.h"
#include "batch/engine/CompressRule.h"
#include "batch/engine/FailureReport.h"
#include "batch/engine/JobControl.h"
#include "batch/engine/MagickPolicy.h"
#include "batch/engine/Operations.h"
#include "batch/engine/PathAlias.h"
#include "batch/engine/ProcessRunner.h"
#include "batch/engine/SourceCheck.h"
#include "batch/engine/StagedOutput.h"
#include "batch/engine/SuccessRule.h"
#include "batch/engine/TempArea.h"
#include "batch/engine/ToolLocator.h"
#include "batch/engine/ToolSlots.h"
#include "formats/Formats.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

std::atomic_int runningWorkers{0};

// pngquant's status when the result would fall below the minimum quality; it
// then writes nothing.
constexpr int kPngquantQualityTooLow = 99;

// Less free space than this where a file failed: the disk is full.
constexpr qint64 kFullBelowBytes = 1024 * 1024;

// Bytes this process may still write below path; -1 when unknown.
qint64 freeBytes(const QString &path)
{
    struct statvfs info = {};
    if (::statvfs(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return qint64(::geteuid() == 0 ? info.f_bfree : info.f_bavail) * qint64(info.f_frsize);
}

void logLines(const QStringList &lines)
{
    for (const QString &line : lines)
        qCDebug(lcBatch).noquote() << line;
}

bool nonEmptyFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

} // namespace

FileTask::FileTask(std::shared_ptr<const JobSettings> settings, const JobFile &file, const QString &exportDir,
                   Listener listener, std::shared_ptr<JobControl> control)
    : settings(std::move(settings))
    , job(*this->settings)
    , control(std::move(control))
    , listener(std::move(listener))
    , oriFilePath(file.path)
    , exportDir(exportDir)
    , subDir(file.subDir)
    , rowIndex(file.row)
{
    setAutoDelete(true);
}

FileTask::~FileTask() = default;

int FileTask::runningCount()
{
    return runningWorkers;
}

bool FileTask::stopRequested() const
{
    return ProcessRunner::stopRequested() || (control && control->stopped());
}

void FileTask::run()
{
    ++runningWorkers;
    if (!stopRequested() && ToolSlots::acquire([this] { return stopRequested(); })) {
        if (listener.started && !ProcessRunner::stopRequested())
            listener.started(rowIndex);
        const QString outputPath = process();
        // Placed and reported before the slot is handed on: the next file's row
        // starts moving only after this one has ended.
        finish(outputPath);
        ToolSlots::release();
    } else {
        finish(QString());
    }
    runner.reset();
    --runningWorkers;
}

QString FileTask::process()
{
    temp = std::make_unique<TempFolder>();
    runner = std::make_unique<ProcessRunner>(BatchPaths::appDir(), temp->path());
    if (control)
        runner->setCancelFlag(control->stopFlag());

    // The programs run in the application folder: relative paths would name other files there.
    if (!oriFilePath.isEmpty())
        oriFilePath = QFileInfo(oriFilePath).absoluteFilePath();
    if (!exportDir.isEmpty())
        exportDir = QDir(exportDir).absolutePath();

    if (oriFilePath.isEmpty() || exportDir.isEmpty()) {
        note(QStringLiteral("no source file or no output folder given"));
        return QString();
    }
    if (temp->path().isEmpty()) {
        note(temp->problem());
        return QString();
    }
    // A file from a sub-folder goes to the same sub-folder of the output folder.
    if (!subDir.isEmpty()) {
        exportDir = QDir(exportDir).filePath(subDir);
        if (!QDir().mkpath(exportDir)) {
            note(QStringLiteral("cannot create the folder ") + exportDir);
            return QString();
        }
    }
    switch (Operations::row(job.operation).steps) {
    case Operations::Steps::Compress: return compress();
    case Operations::Steps::Magick: return convertOrRotate();
    }
    return QString();
}

void FileTask::note(const QString &problem)
{
    programsOk = false;
    errorText += problem + QLatin1Char('\n');
    if (engineCause.isEmpty())
        engineCause = problem;
}

void FileTask::noteRun(const QString &program, const ToolRun &result)
{
    errorText += result.errorText;
    if (!result.ok()) {
        programsOk = false;
        if (engineCause.isEmpty())
            engineCause = result.problem(program);
    }
}

bool FileTask::claimTarget(const QString &fmt, OutputNaming::Target &target)
{
    if (fmt.isEmpty()) {
        note(QStringLiteral("no output format"));
        return false;
    }
    claimedAt = QDateTime::currentDateTime();
    names.claim([&](const OutputNaming::ExistsFn &exists) {
        target = OutputNaming::outputTarget(job.operation, oriFilePath, fmt, exportDir, rowIndex, claimedAt, exists);
        return target.claimPath();
    });
    if (!target.frameDir.isEmpty()) {
        if (!QDir().mkdir(target.frameDir)) {
            note(QStringLiteral("cannot create the folder ") + target.frameDir);
            return false;
        }
        createdFrameDir = target.frameDir;
    }
    output = std::make_unique<StagedOutput>(target.outputPath);
    if (output->stagePath().isEmpty()) {
        note(output->problem());
        return false;
    }
    return true;
}

bool FileTask::checkSource(bool wantPicture)
{
    const SourceCheck::Source source = SourceCheck::inspect(oriFilePath, wantPicture);
    if (!source.problem.isEmpty()) {
        note(source.problem);
        return false;
    }
    sourceCoder = source.coder;
    sourceSize = source.size;
    return true;
}

QString FileTask::convertOrRotate()
{
    const QString fmt = OutputNaming::outputSuffix(job, oriFilePath);
    OutputNaming::Target target;
    if (!claimTarget(fmt, target))
        return target.outputPath;

    const bool raw = Operations::row(job.operation).decodesRaw
        && Formats::isRawSuffix(OutputNaming::sourceSuffix(oriFilePath));
    if (!checkSource(!raw))
        return target.outputPath;
    QString input = oriFilePath;
    QString coder = sourceCoder;
    if (raw) {
        input = decodeRaw(oriFilePath);
        if (input.isEmpty())
            return target.outputPath;
        coder = QStringLiteral("jpeg");
    }
    runMagick(CommandLists::convertArgs(job, input, target.outputPath, fmt), fmt, *output, coder);
    return target.outputPath;
}

QString FileTask::decodeRaw(const QString &rawPath)
{
    const QString tempDir = temp->path();
    const QDateTime now = QDateTime::currentDateTime();
    const QString folder = names.claim(
        [&](const OutputNaming::ExistsFn &exists) { return OutputNaming::rawIntermediateDir(tempDir, now, exists); });
    if (!QDir().mkdir(folder)) {
        note(QStringLiteral("cannot create the folder ") + folder);
        return QString();
    }
    const QString jpeg = folder + QStringLiteral(".jpg");

    const QStringList args = CommandLists::rawArgs(rawPath, jpeg);
    logLines(CommandLists::debugLines(rawPath, jpeg, QStringLiteral("jpg"), args));
    const QString decoder = ToolLocator::program(ToolLocator::Tool::RawDecoder);
    const ToolRun result = runner->run(decoder, args);
    noteRun(decoder, result);
    if (!result.ok())
        return QString();
    if (!nonEmptyFile(jpeg)) {
        note(QStringLiteral("the RAW decoder wrote no picture"));
        return QString();
    }
    return jpeg;
}

QString FileTask::compress()
{
    const QString fmt = OutputNaming::outputSuffix(job, oriFilePath);
    qCDebug(lcBatch) << "compress format is:" << fmt;
    OutputNaming::Target target;
    if (!claimTarget(fmt, target) || !checkSource(true))
        return target.outputPath;

    if (fmt != QLatin1String("png")) {
        if (runMagick(CommandLists::convertArgs(job, oriFilePath, target.outputPath, fmt), fmt, *output, sourceCoder))
            keepSourceIfNotSmaller(*output);
        return target.outputPath;
    }
    if (!CommandLists::hasSize(job)) {
        // pngquant has no limits of its own: a small file may declare a huge picture.
        const QString tooLarge = sourceSize.isValid()
            ? MagickPolicy::sizeProblem(sourceSize.width(), sourceSize.height(), MagickPolicy::limits())
            : QString();
        if (!tooLarge.isEmpty())
            note(tooLarge);
        else if (runPngquant(CommandLists::pngArgs(job.quality, oriFilePath, target.outputPath), *output))
            keepSourceIfNotSmaller(*output);
        return target.outputPath;
    }

    // Resize first, into an intermediate file, then quantise that.
    const QString tempDir = temp->path();
    const QString base = OutputNaming::baseName(job.operation, oriFilePath);
    const QDateTime now = QDateTime::currentDateTime();
    const QString resized = names.claim([&](const OutputNaming::ExistsFn &exists) {
        return OutputNaming::compressIntermediate(tempDir, base, fmt, now, exists);
    });
    StagedOutput resizedStage(resized);
    if (!runMagick(CommandLists::convertArgs(job, oriFilePath, resized, fmt), fmt, resizedStage, sourceCoder))
        return target.outputPath;
    if (!resizedStage.present() || !resizedStage.commit()) {
        note(QStringLiteral("the resized intermediate file is missing"));
        return target.outputPath;
    }
    runPngquant(CommandLists::pngArgs(job.quality, resized, target.outputPath), *output);
    return target.outputPath;
}

void FileTask::keepSourceIfNotSmaller(StagedOutput &stage)
{
    const QFileInfo result(stage.stagePath());
    if (!result.isFile()
        || !CompressRule::keepsSource(job.operation, CommandLists::hasSize(job),
                                      QFileInfo(oriFilePath).size(), result.size()))
        return;
    // The source is the better result: its bytes go under the output name.
    if (QFile::remove(stage.stagePath()) && QFile::copy(oriFilePath, stage.stagePath()))
        keptSource = true;
    else
        note(QStringLiteral("cannot keep the original under the output name"));
}

bool FileTask::runMagick(const QStringList &args, const QString &fmt, StagedOutput &stage, const QString &coder)
{
    logLines(CommandLists::debugLines(args.first(), args.last(), fmt, args));

    // Whichever ImageMagick was found must hold to the program's policy.
    const QString magick = ToolLocator::program(ToolLocator::Tool::ImageMagick);
    if (!ToolLocator::overridden(ToolLocator::Tool::ImageMagick) && QFileInfo(magick).isExecutable()
        && !MagickPolicy::appliedBy(magick)) {
        note(MagickPolicy::configDir().isEmpty()
                 ? QStringLiteral("the program's ImageMagick policy (imagemagick/policy.xml) is missing")
                 : magick + QStringLiteral(" does not apply the program's ImageMagick policy"));
        return false;
    }

    // The documented list names the real files. ImageMagick reads patterns into
    // names ("%d", "[0]", "*"), so an awkward input or output folder is given to it
    // as a plain link, and it writes to the stage name, not the final output. The
    // input is prefixed with the format its content showed.
    const QFileInfo staged(stage.stagePath());
    const PathAlias input(args.first(), temp->path());
    const PathAlias outputDir(staged.path(), temp->path());
    if (input.path().isEmpty() || outputDir.path().isEmpty()) {
        note(QStringLiteral("cannot give ImageMagick plain names for ") + args.first());
        return false;
    }
    QStringList actual = args;
    actual.first() = coder.isEmpty() ? input.path() : coder + QLatin1Char(':') + input.path();
    actual.last() = outputDir.path() + QLatin1Char('/') + staged.fileName();

    const ToolRun result = runner->run(magick, actual);
    noteRun(magick, result);
    return result.ok();
}

bool FileTask::runPngquant(const QStringList &args, StagedOutput &stage)
{
    logLines(CommandLists::debugLines(args.first(), args.last(), QStringLiteral("png"), args));
    QStringList actual = args;
    actual.last() = stage.stagePath();

    const QString pngquant = ToolLocator::program(ToolLocator::Tool::Pngquant);
    ToolRun result = runner->run(pngquant, actual);
    // The quality cannot be reached without going below the requested minimum:
    // the best image that meets it is the input itself, so its bytes become the
    // output and the row shows an unchanged size.
    if (result.started && !result.crashed && !result.timedOut && !result.stopped
        && result.exitCode == kPngquantQualityTooLow) {
        QFile source(args.first());
        if (source.copy(stage.stagePath()))
            result.exitCode = 0;
        else
            errorText
                += QStringLiteral("cannot copy the source as the result: ") + source.errorString() + QLatin1Char('\n');
    }
    noteRun(pngquant, result);
    return result.ok();
}

void FileTask::placeFrames(QString &outputPath, int &frameCount)
{
    const QList<int> frames = output->frames();
    frameCount = frames.size();
    if (frames.isEmpty())
        return;
    // Several pictures: their names are chosen together, none of them taken.
    const QString dir = QFileInfo(output->finalPath()).path();
    const QString base = OutputNaming::baseName(job.operation, oriFilePath);
    const QString fmt = QFileInfo(output->finalPath()).suffix();
    const QString stamp = OutputNaming::timeStamp(claimedAt) + QString::number(rowIndex);
    names.releaseAll();
    const QStringList set = names.claimAll([&](const OutputNaming::ExistsFn &exists) {
        const QString path = OutputNaming::frameSetTarget(dir, base, fmt, frames, stamp, exists);
        QStringList all{path};
        for (const int n : frames)
            all << OutputNaming::framePath(path, n);
        return all;
    });
    output->retarget(set.first());
    outputPath = OutputNaming::framePath(set.first(), frames.first());
}

QString FileTask::noSpaceProblem() const
{
    QStringList dirs;
    if (output)
        dirs << QFileInfo(output->finalPath()).path();
    if (temp && !temp->path().isEmpty())
        dirs << temp->path();
    const bool stated = errorText.contains(QLatin1String("No space left on device"), Qt::CaseInsensitive);
    QString fullest;
    qint64 least = -1;
    for (const QString &dir : qAsConst(dirs)) {
        const qint64 free = freeBytes(dir);
        if (free >= 0 && (least < 0 || free < least)) {
            least = free;
            fullest = dir;
        }
    }
    if (fullest.isEmpty() || (!stated && least >= kFullBelowBytes))
        return QString();
    return QStringLiteral("no space left on device (%1)").arg(fullest);
}

void FileTask::finish(const QString &plannedPath)
{
    if (!errorText.isEmpty())
        qCDebug(lcBatch).noquote() << QStringLiteral("执行失败，执行结果为：") + errorText;

    QString outputPath = plannedPath;
    int frameCount = 0;
    const bool present = output && output->present();
    bool success = SuccessRule::succeeded(job.operation, programsOk, present, errorText);
    if (success) {
        placeFrames(outputPath, frameCount);
        if (!output->commit()) {
            errorText += QStringLiteral("cannot move the output into place\n");
            success = false;
        }
    }
    // Judged before the partial output goes, which would free the space again.
    const QString noSpace = success || stopRequested() ? QString() : noSpaceProblem();
    if (!success) {
        if (output)
            output->discard();
        if (!createdFrameDir.isEmpty())
            QDir(createdFrameDir).removeRecursively();
    }
    output.reset();
    // The intermediates go with the file's temporary folder, before its result is told.
    temp.reset();
    names.releaseAll();

    if (ProcessRunner::stopRequested())
        return;
    if (!success && control && control->stopped()) {
        tell(FileResult::Cancelled, QString(), 0);
        return;
    }
    if (success) {
        tell(FileResult::Succeeded, outputPath, qMax(1, frameCount));
        return;
    }
    if (SuccessRule::wantsReport(job.operation, success)) {
        const QUrl url = FailureReport::endpoint();
        if (url.isValid())
            FailureReport::send(url,
                                FailureReport::line(Operations::row(job.operation).reportCode, oriFilePath,
                                                    QFileInfo(oriFilePath).size(), outputPath, job.width.value_or(-1),
                                                    job.height.value_or(-1), errorText));
    }
    tell(FileResult::Failed, outputPath, 0,
         noSpace.isEmpty() ? SuccessRule::failureReason(errorText, engineCause) : noSpace);
}

void FileTask::tell(FileResult::Status status, const QString &outputPath, int frameCount, const QString &reason)
{
    if (!listener.finished)
        return;
    FileResult result;
    result.row = rowIndex;
    result.status = status;
    result.output = outputPath;
    result.frames = frameCount;
    result.keptOriginal = keptSource && status == FileResult::Succeeded;
    result.reason = reason;
    listener.finished(result);
}
