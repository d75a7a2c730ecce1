#include "ProcessRunner.h"

#include "batch/engine/BatchPaths.h"
#include "process/ChildProcess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>

namespace {

std::atomic_bool stopping{false};
QBasicMutex limitsMutex;
ToolLimits currentLimits;

// How often a waiting worker looks at the stop flag, and at the tool's activity.
constexpr int kPollMs = 50;
constexpr int kActivityEveryMs = 1000;

// Why exec failed, in words a user can act on.
QString startProblem(int error)
{
    switch (error) {
    case 0: return QString();
    case ENOENT:
    case ENOTDIR: return QStringLiteral(": not found");
    case EACCES:
    case EPERM:
    case ENOEXEC:
    case EISDIR: return QStringLiteral(": not executable");
    case ENOMEM:
    case E2BIG: return QStringLiteral(": out of memory");
    default: return QStringLiteral(": ") + qt_error_string(error);
    }
}

QString seconds(qint64 ms)
{
    return ms % 60000 == 0 && ms >= 60000 ? QStringLiteral("%1 min").arg(ms / 60000)
                                          : QStringLiteral("%1 s").arg(double(ms) / 1000.0);
}

} // namespace

QString ToolRun::problem(const QString &program) const
{
    const QString name = QFileInfo(program).fileName();
    if (stopped)
        return QStringLiteral("stopped");
    if (!started)
        return name + QStringLiteral(" could not be started") + startProblem(startError);
    if (timedOut && limit == Limit::Idle)
        return name + QStringLiteral(" made no progress for ") + seconds(limitMs) + QStringLiteral(" and was ended");
    if (timedOut)
        return name + QStringLiteral(" ran longer than ") + seconds(limitMs) + QStringLiteral(" and was ended");
    if (crashed)
        return name + QStringLiteral(" crashed");
    if (exitCode != 0)
        return name + QStringLiteral(" exited with status ") + QString::number(exitCode);
    return QString();
}

ProcessRunner::ProcessRunner(const QString &workingDir, const QString &tempDir)
    : workingDir(workingDir)
    , environment(childEnvironment(tempDir))
{ }

ToolRun ProcessRunner::run(const QString &program, const QStringList &arguments)
{
    ToolRun result;
    if (cancelled()) {
        result.stopped = true;
        return result;
    }
    const ToolLimits limit = ownLimits ? *ownLimits : limits();
    const QString path = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        result.startError = ENOENT;
        return result;
    }
    QProcessEnvironment threaded = environment;
    threaded.insert(QStringLiteral("MAGICK_THREAD_LIMIT"), QString::number(threads));
    threaded.insert(QStringLiteral("OMP_NUM_THREADS"), QString::number(threads));
    ChildProcess::Spec spec;
    spec.program = path;
    spec.name = program;
    spec.arguments = arguments;
    spec.environment = threaded.toStringList();
    spec.workingDir = workingDir.isEmpty() ? QStringLiteral(".") : workingDir;
    spec.output = keepOutput ? ChildProcess::Stream::Pipe : ChildProcess::Stream::Null;
    spec.errors = ChildProcess::Stream::Pipe;
    spec.tree = ChildProcess::Tree::Helpers;
    ChildProcess tool;
    if (!tool.start(spec)) {
        result.startError = tool.startError();
        return result;
    }
    result.started = true;

    // Waits in short slices so that a shutdown can end the child from this thread,
    // and looks at the group's activity once a second.
    QElapsedTimer clock, idle, sample;
    clock.start();
    idle.start();
    sample.start();
    // No sample at the start: reading /proc costs milliseconds, as much as a small
    // file's whole conversion. The first sample, a second in, counts as progress.
    quint64 activity = 0;
    while (!tool.wait(kPollMs)) {
        if (sample.elapsed() >= kActivityEveryMs || idle.elapsed() >= limit.idleMs) {
            sample.restart();
            const quint64 now = tool.activity();
            if (now != activity)
                idle.restart();
            activity = now;
        }
        const bool stop = cancelled();
        const bool idleTooLong = idle.elapsed() >= limit.idleMs;
        const bool tooLong = clock.elapsed() >= limit.wallMs;
        if (stop || idleTooLong || tooLong) {
            result.stopped = stop;
            result.timedOut = !stop;
            result.limit = idleTooLong ? ToolRun::Limit::Idle : ToolRun::Limit::Wall;
            result.limitMs = idleTooLong ? limit.idleMs : limit.wallMs;
            break;
        }
    }
    // Helpers left behind by a tool that ended are ended too.
    tool.end(limit.graceMs);
    const int signalNumber = tool.endSignal();
    result.crashed = signalNumber != 0 && !result.stopped && !result.timedOut;
    result.killedBy = signalNumber;
    result.exitCode = tool.exitCode();
    result.errorText = QString::fromUtf8(tool.errors());
    result.outputText = QString::fromUtf8(tool.output());
    return result;
}

bool ProcessRunner::cancelled() const
{
    return stopRequested() || (cancelFlag && *cancelFlag);
}

void ProcessRunner::requestStop()
{
    stopping = true;
}

bool ProcessRunner::stopRequested()
{
    return stopping;
}

ToolLimits ProcessRunner::limits()
{
    QMutexLocker lock(&limitsMutex);
    return currentLimits;
}

void ProcessRunner::setLimits(const ToolLimits &limits)
{
    QMutexLocker lock(&limitsMutex);
    currentLimits = limits;
}

QProcessEnvironment ProcessRunner::childEnvironment(const QString &tempDir)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Nothing of the user's ImageMagick set-up may loosen the program's policy.
    const QStringList names = environment.keys();
    for (const QString &name : names) {
        if (name.startsWith(QLatin1String("MAGICK_")))
            environment.remove(name);
    }
    environment.insert(QStringLiteral("MAGICK_THREAD_LIMIT"), QStringLiteral("1"));
    environment.insert(QStringLiteral("OMP_NUM_THREADS"), QStringLiteral("1"));
    const QString policyDir = BatchPaths::magickConfigDir();
    if (!policyDir.isEmpty())
        environment.insert(QStringLiteral("MAGICK_CONFIGURE_PATH"), policyDir);
    if (!tempDir.isEmpty()) {
        environment.insert(QStringLiteral("MAGICK_TEMPORARY_PATH"), tempDir);
        environment.insert(QStringLiteral("TMPDIR"), tempDir);
        // ImageMagick also reads ~/.config/ImageMagick/policy.xml, which could allow
        // what ours denies: the tools' home is their empty private folder.
        environment.insert(QStringLiteral("HOME"), tempDir);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), tempDir);
    }
    return environment;
}
