#include "batch/engine/ImgRunable.h"

#include "batch/engine/BatchLog.h"
#include "batch/engine/BatchPaths.h"
#include "batch/engine/CommandLists.h"
#include "batch/engine/CompressRule.h"
#include "batch/engine/FailureReport.h"
#include "batch/engine/JobControl.h"
#include "batch/engine/PathAlias.h"
#include "batch/engine/ProcessRunner.h"
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
#include <QThread>
#include <QTimer>

#include <atomic>

namespace {

std::atomic_int runningWorkers{0};
std::atomic_int progressIntervalMs{1000};

// pngquant's status when the result would fall below the minimum quality; it
// then writes nothing.
constexpr int kPngquantQualityTooLow = 99;

bool hasSize(int width, int height)
{
    return width != -1 || height != -1;
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

ImgRunable::ImgRunable(const JobSettings &settings, const JobFile &file, const QString &exportDir,
                       std::shared_ptr<JobControl> control, QObject *parent)
    : QObject(parent)
    , job(settings)
    , control(std::move(control))
    , oriFilePath(file.path)
    , exportDir(exportDir)
    , rowIndex(file.row)
{
    setAutoDelete(true);
}

ImgRunable::ImgRunable(int imgType, int formatIndex, int qualityValue, int zoomWidth, int zoomHeight,
                       const QString &rotateDegree, bool isFlop, bool isFlip, int rowIndex, const QString &oriFilePath,
                       const QString &exportDir, QObject *parent)
    : ImgRunable(JobSettings{imgType, formatIndex, qualityValue, zoomWidth, zoomHeight, rotateDegree, isFlop, isFlip},
                 JobFile{rowIndex, oriFilePath}, exportDir, nullptr, parent)
{ }

ImgRunable::~ImgRunable()
{
    // The pool deletes a worker after its run(): only then is its thread free
    // for the job's next file.
    if (control && ran)
        control->workerEnded();
}

int ImgRunable::runningCount()
{
    return runningWorkers;
}

void ImgRunable::setProgressInterval(int ms)
{
    progressIntervalMs = ms;
}

bool ImgRunable::stopRequested() const
{
    return ProcessRunner::stopRequested() || (control && control->stopped());
}

void ImgRunable::run()
{
    ran = true;
    ++runningWorkers;
    emitProgress(progressValue);
    QString outputPath;
    if (ToolSlots::acquire([this] { return stopRequested(); })) {
        startProgress();
        outputPath = process();
        stopProgress();
        ToolSlots::release();
    }
    finish(outputPath);
    runner.reset();
    --runningWorkers;
}

QString ImgRunable::process()
{
    runner = std::make_unique<ProcessRunner>(BatchPaths::appDir());
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
    if (job.imgType == BatchOp::Compress)
        return compress();
    if (job.imgType == BatchOp::Convert || job.imgType == BatchOp::Rotate)
        return convertOrRotate();
    note(QStringLiteral("unknown operation %1").arg(job.imgType));
    return QString();
}

void ImgRunable::startProgress()
{
    progressThread = std::make_unique<QThread>();
    progressTimer = new QTimer;
    progressTimer->setInterval(progressIntervalMs);
    connect(progressTimer, &QTimer::timeout, this, &ImgRunable::progressRefresh, Qt::DirectConnection);
    progressTimer->moveToThread(progressThread.get());
    // Started and deleted inside the progress thread, which owns its timer id.
    connect(progressThread.get(), &QThread::started, progressTimer, qOverload<>(&QTimer::start));
    connect(progressThread.get(), &QThread::finished, progressTimer, &QObject::deleteLater);
    progressThread->start(QThread::InheritPriority);
}

void ImgRunable::stopProgress()
{
    progressThread->quit();
    progressThread->wait();
    progressTimer = nullptr;
    progressThread.reset();
}

void ImgRunable::progressRefresh()
{
    qCDebug(lcBatch) << "timer timeout,progressValue:" << progressValue;
    if (progressValue > 90) {
        progressTimer->stop();
        return;
    }
    qCDebug(lcBatch) << "timer timeout ,progressValue:" << progressValue;
    ++progressValue;
    emitProgress(progressValue);
}

void ImgRunable::emitProgress(int value)
{
    // On shutdown nobody listens any more, and a blocking emit would only wait.
    if (!ProcessRunner::stopRequested())
        emit setProgress(value, rowIndex);
}

void ImgRunable::note(const QString &problem)
{
    programsOk = false;
    errorText += problem + QLatin1Char('\n');
    if (engineCause.isEmpty())
        engineCause = problem;
}

void ImgRunable::noteRun(const QString &program, const ToolRun &result)
{
    errorText += result.errorText;
    if (!result.ok()) {
        programsOk = false;
        if (engineCause.isEmpty())
            engineCause = result.problem(program);
    }
}

bool ImgRunable::claimTarget(const QString &fmt, OutputNaming::Target &target)
{
    if (fmt.isEmpty()) {
        note(QStringLiteral("no output format"));
        return false;
    }
    const QDateTime now = QDateTime::currentDateTime();
    names.claim([&](const OutputNaming::ExistsFn &exists) {
        target = OutputNaming::outputTarget(job, oriFilePath, exportDir, rowIndex, now, exists);
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
    return true;
}

QString ImgRunable::convertOrRotate()
{
    const QString fmt = OutputNaming::outputSuffix(job, oriFilePath);
    OutputNaming::Target target;
    if (!claimTarget(fmt, target))
        return target.outputPath;

    QString input = oriFilePath;
    if (job.imgType == BatchOp::Convert && Formats::isRawSuffix(OutputNaming::sourceSuffix(oriFilePath))) {
        input = decodeRaw(oriFilePath);
        if (input.isEmpty())
            return target.outputPath;
    }
    runMagick(CommandLists::convertArgs(job, input, target.outputPath, fmt), fmt, *output);
    return target.outputPath;
}

QString ImgRunable::decodeRaw(const QString &rawPath)
{
    if (!TempArea::ensureJobTempDir()) {
        note(QStringLiteral("cannot create the temporary folder ") + TempArea::jobTempDir());
        return QString();
    }
    const QString tempDir = TempArea::jobTempDir();
    const QDateTime now = QDateTime::currentDateTime();
    const QString folder = names.claim(
        [&](const OutputNaming::ExistsFn &exists) { return OutputNaming::rawIntermediateDir(tempDir, now, exists); });
    if (!QDir().mkdir(folder)) {
        note(QStringLiteral("cannot create the folder ") + folder);
        return QString();
    }
    const QString jpeg = folder + QStringLiteral(".jpg");
    intermediates << folder << jpeg;

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

QString ImgRunable::compress()
{
    const QString fmt = OutputNaming::outputSuffix(job, oriFilePath);
    qCDebug(lcBatch) << "compress format is:" << fmt;
    OutputNaming::Target target;
    if (!claimTarget(fmt, target))
        return target.outputPath;

    if (fmt != QLatin1String("png")) {
        if (runMagick(CommandLists::convertArgs(job, oriFilePath, target.outputPath, fmt), fmt, *output))
            keepSourceIfNotSmaller(*output);
        return target.outputPath;
    }
    if (!hasSize(job.zoomWidth, job.zoomHeight)) {
        if (runPngquant(CommandLists::pngArgs(job.qualityValue, oriFilePath, target.outputPath), *output))
            keepSourceIfNotSmaller(*output);
        return target.outputPath;
    }

    // Resize first, into an intermediate file, then quantise that.
    if (!TempArea::ensureJobTempDir()) {
        note(QStringLiteral("cannot create the temporary folder ") + TempArea::jobTempDir());
        return target.outputPath;
    }
    const QString tempDir = TempArea::jobTempDir();
    const QString base = OutputNaming::baseName(job.imgType, oriFilePath);
    const QDateTime now = QDateTime::currentDateTime();
    const QString resized = names.claim([&](const OutputNaming::ExistsFn &exists) {
        return OutputNaming::compressIntermediate(tempDir, base, fmt, now, exists);
    });
    StagedOutput resizedStage(resized);
    if (!runMagick(CommandLists::convertArgs(job, oriFilePath, resized, fmt), fmt, resizedStage))
        return target.outputPath;
    if (!resizedStage.present() || !resizedStage.commit()) {
        note(QStringLiteral("the resized intermediate file is missing"));
        return target.outputPath;
    }
    intermediates << resized;
    runPngquant(CommandLists::pngArgs(job.qualityValue, resized, target.outputPath), *output);
    return target.outputPath;
}

void ImgRunable::keepSourceIfNotSmaller(StagedOutput &stage)
{
    const QFileInfo result(stage.stagePath());
    if (!result.isFile()
        || !CompressRule::keepsSource(job.imgType, hasSize(job.zoomWidth, job.zoomHeight),
                                      QFileInfo(oriFilePath).size(), result.size()))
        return;
    // The source is the better result: its bytes go under the output name.
    if (QFile::remove(stage.stagePath()) && QFile::copy(oriFilePath, stage.stagePath()))
        keptSource = true;
    else
        note(QStringLiteral("cannot keep the original under the output name"));
}

bool ImgRunable::runMagick(const QStringList &args, const QString &fmt, StagedOutput &stage)
{
    logLines(CommandLists::debugLines(args.first(), args.last(), fmt, args));

    // The documented list names the real files. ImageMagick reads patterns into
    // names ("%d", "[0]", "*"), so an awkward input or output folder is given to it
    // as a plain link, and it writes to the stage name, not the final output.
    const QFileInfo staged(stage.stagePath());
    const PathAlias input(args.first(), TempArea::jobTempDir());
    const PathAlias outputDir(staged.path(), TempArea::jobTempDir());
    if (input.path().isEmpty() || outputDir.path().isEmpty()) {
        note(QStringLiteral("cannot give ImageMagick plain names for ") + args.first());
        return false;
    }
    QStringList actual = args;
    actual.first() = input.path();
    actual.last() = outputDir.path() + QLatin1Char('/') + staged.fileName();

    const QString magick = ToolLocator::program(ToolLocator::Tool::ImageMagick);
    const ToolRun result = runner->run(magick, actual);
    noteRun(magick, result);
    return result.ok();
}

bool ImgRunable::runPngquant(const QStringList &args, StagedOutput &stage)
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
        && result.exitCode == kPngquantQualityTooLow && QFile::copy(args.first(), stage.stagePath()))
        result.exitCode = 0;
    noteRun(pngquant, result);
    return result.ok();
}

void ImgRunable::finish(const QString &outputPath)
{
    if (!errorText.isEmpty())
        qCDebug(lcBatch).noquote() << QStringLiteral("执行失败，执行结果为：") + errorText;

    const bool present = output && output->present();
    bool success = SuccessRule::succeeded(job.imgType, programsOk, present, errorText);
    if (success && !output->commit()) {
        errorText += QStringLiteral("cannot move the output into place\n");
        success = false;
    }
    if (!success) {
        if (output)
            output->discard();
        if (!createdFrameDir.isEmpty())
            QDir(createdFrameDir).removeRecursively();
    }
    for (const QString &path : qAsConst(intermediates)) {
        if (QFileInfo(path).isDir())
            QDir().rmdir(path);
        else
            QFile::remove(path);
    }
    names.releaseAll();

    if (ProcessRunner::stopRequested())
        return;
    if (!success && control && control->stopped()) {
        emit cancelled(rowIndex);
        return;
    }
    if (success) {
        emit setProgress(100, rowIndex);
        if (keptSource)
            emit keptOriginal(rowIndex);
        emit done(outputPath, rowIndex, true);
        return;
    }
    if (SuccessRule::wantsReport(job.imgType, success)) {
        const QUrl url = FailureReport::endpoint();
        if (url.isValid())
            FailureReport::send(url,
                                FailureReport::line(job.imgType, oriFilePath, QFileInfo(oriFilePath).size(), outputPath,
                                                    job.zoomWidth, job.zoomHeight, errorText));
    }
    emit failed(SuccessRule::failureReason(errorText, engineCause), rowIndex);
    emit done(outputPath, rowIndex, false);
}
