#include "FileTask.h"

#include "BatchLog.h"
#include "batch/engine/BatchPaths.h"
#include "CommandLists.h"
#include "CompressRule.h"
#include "DiskSpace.h"
#include "FailureReport.h"
#include "JobControl.h"
#include "JpegMarkers.h"
#include "MetadataStrip.h"
#include "MagickFormats.h"
#include "MagickPolicy.h"
#include "batch/engine/Operations.h"
#include "OutputColour.h"
#include "PathAlias.h"
#include "ProcessRunner.h"
#include "SourceCheck.h"
#include "StagedOutput.h"
#include "batch/engine/SuccessRule.h"
#include "TempArea.h"
#include "process/ToolLocator.h"
#include "batch/engine/ToolSlots.h"
#include "formats/Formats.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>

namespace {

std::atomic_int runningWorkers{0};

// pngquant's status when the result would fall below the minimum quality; it
// then writes nothing.
constexpr int kPngquantQualityTooLow = 99;

// Less free space than this where a file failed: the disk is full.
constexpr qint64 kFullBelowBytes = 1024 * 1024;

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

bool FileTask::claimTarget(const QString &fmt, QString &target)
{
    if (fmt.isEmpty()) {
        note(QStringLiteral("no output format"));
        return false;
    }
    claimedAt = QDateTime::currentDateTime();
    target = names.claim([&](const OutputNaming::ExistsFn &exists) {
        return OutputNaming::outputTarget(oriFilePath, fmt, exportDir, rowIndex, claimedAt, exists);
    });
    output = std::make_unique<StagedOutput>(target);
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
    QString target;
    if (!claimTarget(fmt, target))
        return target;

    const bool raw = Operations::row(job.operation).decodesRaw
        && Formats::isRawSuffix(OutputNaming::sourceSuffix(oriFilePath));
    // An output ImageMagick cannot write fails before any develop or decode.
    if (!checkSource(!raw) || !canWrite(fmt))
        return target;
    QString input = oriFilePath;
    QString coder = sourceCoder;
    if (raw) {
        input = decodeFirst(ToolLocator::Tool::RawToJpeg, oriFilePath, QStringLiteral("jpg"));
        if (input.isEmpty())
            return target;
        coder = QStringLiteral("jpeg");
    }
    if (!makeReadable(input, coder))
        return target;
    CommandLists::Command command = CommandLists::convertArgs(job, magickInput(input, coder), target, fmt);
    command.options << metadataArgs(input, coder, fmt);
    // The last step of the pixels' way.
    command.options << OutputColour::args(fmt, OutputColour::srgbProfile());
    runMagick(command, fmt, *output, coder);
    return target;
}

CommandLists::Input FileTask::magickInput(const QString &path, const QString &coder) const
{
    CommandLists::Input input{path, coder};
    // Only a JPEG that is resized can be read smaller; its header tells by how much.
    if (coder == QLatin1String("jpeg") && CommandLists::hasSize(job)) {
        const JpegMarkers::Facts facts = JpegMarkers::read(path);
        input.size = facts.size;
        input.orientation = facts.orientation;
    }
    return input;
}

QStringList FileTask::metadataArgs(const QString &input, const QString &coder, const QString &fmt)
{
    if (!MetadataStrip::needsProbe(job.metadata, fmt))
        return {};
    const PathAlias alias(input, temp->path());
    if (alias.path().isEmpty() || !magickHoldsPolicy())
        return {};
    const QDir tempDir(temp->path());
    const QString exifPath = tempDir.filePath(QStringLiteral("source.exif"));
    runner->setKeepOutput(true);
    // Its failure only means that there is no EXIF block: what it printed still counts.
    const ToolRun probe = runTool(magickProgram(),
                                  MetadataStrip::probeArgs(coder.isEmpty() ? alias.path()
                                                                           : coder + QLatin1Char(':') + alias.path(),
                                                           exifPath));
    runner->setKeepOutput(false);
    if (job.metadata != Metadata::NoLocation || !MetadataStrip::hasLocation(probe.outputText))
        return MetadataStrip::args(job.metadata, probe.outputText, QString());

    QFile exifFile(exifPath);
    const QByteArray edited = exifFile.open(QIODevice::ReadOnly)
        ? MetadataStrip::withoutLocation(exifFile.readAll(), Operations::row(job.operation).asShown)
        : QByteArray();
    const QByteArray carrier = JpegMarkers::carrying(edited);
    const QString carrierPath = tempDir.filePath(QStringLiteral("exif-carrier.jpg"));
    QFile carrierFile(carrierPath);
    if (!carrier.isEmpty()
        && (!carrierFile.open(QIODevice::WriteOnly) || carrierFile.write(carrier) != carrier.size()
            || !carrierFile.flush())) {
        note(QStringLiteral("cannot write the EXIF block without the position"));
        return {};
    }
    // Without a block to put back, the source's goes all the same.
    return MetadataStrip::args(job.metadata, probe.outputText, carrier.isEmpty() ? QString() : carrierPath);
}

ToolRun FileTask::runTool(const QString &program, const QStringList &arguments)
{
    runner->setThreads(ToolSlots::threadsEach());
    return runner->run(program, arguments);
}

QString FileTask::decodeFirst(ToolLocator::Tool tool, const QString &source, const QString &suffix)
{
    const QString tempDir = temp->path();
    const QDateTime now = QDateTime::currentDateTime();
    const QString folder = names.claim(
        [&](const OutputNaming::ExistsFn &exists) { return OutputNaming::rawIntermediateDir(tempDir, now, exists); });
    if (!QDir().mkdir(folder)) {
        note(QStringLiteral("cannot create the folder ") + folder);
        return QString();
    }
    const QString picture = folder + QLatin1Char('.') + suffix;

    const bool raw = tool == ToolLocator::Tool::RawToJpeg;
    // djxl would start a thread per core whatever else runs.
    const QStringList args = raw ? CommandLists::rawArgs(job, source, picture)
                                 : QStringList{source, picture,
                                               QStringLiteral("--num_threads=%1").arg(ToolSlots::threadsEach()),
                                               QStringLiteral("--quiet")};
    logLines(CommandLists::debugLines(source, picture, suffix, args));
    const QString decoder = ToolLocator::program(tool);
    const ToolRun result = runTool(decoder, args);
    noteRun(decoder, result);
    if (!result.ok())
        return QString();
    if (!nonEmptyFile(picture)) {
        note(raw ? QStringLiteral("the RAW decoder wrote no picture") : QStringLiteral("djxl wrote no picture"));
        return QString();
    }
    return picture;
}

bool FileTask::makeReadable(QString &input, QString &coder)
{
    if (coder.isEmpty() || knownToMagick(coder, &MagickFormats::canRead))
        return true;
    if (coder == QLatin1String("jxl")
        && QFileInfo(ToolLocator::program(ToolLocator::Tool::JxlDecoder)).isExecutable()) {
        // Nor has djxl.
        if (!withinLimits())
            return false;
        input = decodeFirst(ToolLocator::Tool::JxlDecoder, input, QStringLiteral("png"));
        coder = QStringLiteral("png");
        return !input.isEmpty();
    }
    noteUnsupported(coder);
    return false;
}

void FileTask::noteUnsupported(const QString &format)
{
    note(QString::fromLatin1(MagickFormats::kUnsupported) + QStringLiteral(" (") + format.toUpper()
         + QStringLiteral(")"));
}

const QString &FileTask::magickProgram()
{
    if (magickPath.isEmpty())
        magickPath = ToolLocator::program(ToolLocator::Tool::ImageMagick);
    return magickPath;
}

bool FileTask::knownToMagick(const QString &format,
                             bool (*can)(const QString &, const QString &, const std::atomic_bool *))
{
    // An ImageMagick set by an override is taken as it is, as for the policy.
    return ToolLocator::overridden(ToolLocator::Tool::ImageMagick)
        || can(magickProgram(), format, control ? control->stopFlag() : nullptr);
}

bool FileTask::withinLimits()
{
    const QString tooLarge = sourceSize.isValid()
        ? MagickPolicy::sizeProblem(sourceSize.width(), sourceSize.height(), MagickPolicy::limits())
        : QString();
    if (!tooLarge.isEmpty())
        note(tooLarge);
    return tooLarge.isEmpty();
}

bool FileTask::canWrite(const QString &fmt)
{
    if (knownToMagick(fmt, &MagickFormats::canWrite))
        return true;
    noteUnsupported(fmt);
    return false;
}

QString FileTask::compress()
{
    const QString fmt = OutputNaming::outputSuffix(job, oriFilePath);
    qCDebug(lcBatch) << "compress format is:" << fmt;
    QString target;
    if (!claimTarget(fmt, target) || !checkSource(true))
        return target;

    if (fmt != QLatin1String("png")) {
        if (runMagick(CommandLists::convertArgs(job, magickInput(oriFilePath, sourceCoder), target, fmt), fmt,
                      *output, sourceCoder))
            keepSourceIfNotSmaller(*output);
        return target;
    }
    if (!CommandLists::hasSize(job)) {
        // pngquant has no limits of its own: a small file may declare a huge picture.
        if (withinLimits() && runPngquant(CommandLists::pngArgs(job.quality, oriFilePath, target), *output))
            keepSourceIfNotSmaller(*output);
        return target;
    }

    // Resize first, into an intermediate file, then quantise that.
    const QString tempDir = temp->path();
    const QString base = OutputNaming::baseName(oriFilePath);
    const QDateTime now = QDateTime::currentDateTime();
    const QString resized = names.claim([&](const OutputNaming::ExistsFn &exists) {
        return OutputNaming::compressIntermediate(tempDir, base, fmt, now, exists);
    });
    StagedOutput resizedStage(resized);
    if (!runMagick(CommandLists::convertArgs(job, magickInput(oriFilePath, sourceCoder), resized, fmt), fmt,
                   resizedStage, sourceCoder))
        return target;
    if (!resizedStage.present() || !resizedStage.commit()) {
        note(QStringLiteral("the resized intermediate file is missing"));
        return target;
    }
    runPngquant(CommandLists::pngArgs(job.quality, resized, target), *output);
    return target;
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

bool FileTask::magickHoldsPolicy()
{
    if (policyHeld)
        return *policyHeld;
    // Whichever ImageMagick was found must hold to the program's policy.
    const QString &magick = magickProgram();
    policyHeld = ToolLocator::overridden(ToolLocator::Tool::ImageMagick) || !QFileInfo(magick).isExecutable()
        || MagickPolicy::appliedBy(magick, control ? control->stopFlag() : nullptr);
    if (!*policyHeld)
        note(MagickPolicy::configDir().isEmpty()
                 ? QStringLiteral("the program's ImageMagick policy (imagemagick/policy.xml) is missing")
                 : magick + QStringLiteral(" does not apply the program's ImageMagick policy"));
    return *policyHeld;
}

bool FileTask::runMagick(const CommandLists::Command &command, const QString &fmt, StagedOutput &stage,
                         const QString &coder)
{
    logLines(CommandLists::debugLines(command.input, command.output, fmt, command.documented()));

    if (!magickHoldsPolicy())
        return false;
    const QString &magick = magickProgram();

    // The documented list names the real files. ImageMagick reads patterns into
    // names ("%d", "[0]", "*"), so an awkward input or output folder is given to it
    // as a plain link, and it writes to the stage name, not the final output. The
    // input is prefixed with the format its content showed.
    const QFileInfo staged(stage.stagePath());
    const PathAlias input(command.input, temp->path());
    const PathAlias outputDir(staged.path(), temp->path());
    if (input.path().isEmpty() || outputDir.path().isEmpty()) {
        note(QStringLiteral("cannot give ImageMagick plain names for ") + command.input);
        return false;
    }
    const ToolRun result
        = runTool(magick, command.naming(coder.isEmpty() ? input.path() : coder + QLatin1Char(':') + input.path(),
                                             outputDir.path() + QLatin1Char('/') + staged.fileName()));
    noteRun(magick, result);
    return result.ok();
}

bool FileTask::runPngquant(const CommandLists::Command &command, StagedOutput &stage)
{
    logLines(CommandLists::debugLines(command.input, command.output, QStringLiteral("png"), command.documented()));
    const QString pngquant = ToolLocator::program(ToolLocator::Tool::Pngquant);
    ToolRun result = runTool(pngquant, command.naming(command.input, stage.stagePath()));
    // The quality cannot be reached without going below the requested minimum:
    // the best image that meets it is the input itself, so its bytes become the
    // output and the row shows an unchanged size.
    if (result.started && !result.crashed && !result.timedOut && !result.stopped
        && result.exitCode == kPngquantQualityTooLow) {
        QFile source(command.input);
        if (source.copy(stage.stagePath()))
            result.exitCode = 0;
        else
            errorText
                += QStringLiteral("cannot copy the source as the result: ") + source.errorString() + QLatin1Char('\n');
    }
    noteRun(pngquant, result);
    return result.ok();
}

bool FileTask::placeFrames(QString &outputPath, int &frameCount)
{
    const QList<int> frames = output->frames();
    frameCount = frames.size();
    if (frames.isEmpty())
        return true;
    // Only now is it known that the source gave several pictures: they get a
    // folder of their own, named by the collision rule, never an existing one.
    const QString dir = QFileInfo(output->finalPath()).path();
    const QString base = OutputNaming::baseName(oriFilePath);
    const QString fmt = QFileInfo(output->finalPath()).suffix();
    const QString stamp = OutputNaming::timeStamp(claimedAt) + QString::number(rowIndex);
    names.releaseAll();
    const QString folder = names.claim(
        [&](const OutputNaming::ExistsFn &exists) { return OutputNaming::frameFolder(dir, base, stamp, exists); });
    if (!QDir().mkdir(folder)) {
        errorText += QStringLiteral("cannot create the folder ") + folder + QLatin1Char('\n');
        return false;
    }
    createdFrameDir = folder;
    const QString first = folder + QLatin1Char('/') + base + QLatin1Char('.') + fmt;
    output->retarget(first);
    outputPath = OutputNaming::framePath(first, frames.first());
    return true;
}

QString FileTask::nextFreeTarget()
{
    // The name that was free when the file started was taken since: the naming
    // rule picks again, and now sees it taken.
    const QString fmt = QFileInfo(output->finalPath()).suffix();
    return names.claim([&](const OutputNaming::ExistsFn &exists) {
        return OutputNaming::outputTarget(oriFilePath, fmt, exportDir, rowIndex, claimedAt, exists);
    });
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
        const qint64 free = DiskSpace::freeBytes(dir);
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
        if (!placeFrames(outputPath, frameCount)) {
            success = false;
        } else if (!output->commit([this] { return nextFreeTarget(); })) {
            errorText += QStringLiteral("cannot move the output into place\n");
            success = false;
        } else if (frameCount == 0) {
            outputPath = output->finalPath();
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
        // A decoder's warning that left the pixels whole stays as the file's note.
        tell(FileResult::Succeeded, outputPath, qMax(1, frameCount), SuccessRule::keptWarning(errorText));
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
