#include "batch/engine/ProcessRunner.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>

namespace {

std::atomic_bool stopping{false};

// How often a waiting worker looks at the stop flag.
constexpr int kPollMs = 50;

} // namespace

QString ToolRun::problem(const QString &program) const
{
    const QString name = QFileInfo(program).fileName();
    if (stopped)
        return QStringLiteral("stopped");
    if (!started)
        return name + QStringLiteral(" could not be started");
    if (timedOut)
        return name + QStringLiteral(" timed out");
    if (crashed)
        return name + QStringLiteral(" crashed");
    if (exitCode != 0)
        return name + QStringLiteral(" exited with status ") + QString::number(exitCode);
    return QString();
}

ProcessRunner::ProcessRunner(const QString &workingDir)
{
    process_.setWorkingDirectory(workingDir);
    process_.setProcessEnvironment(childEnvironment());
    process_.setStandardOutputFile(QProcess::nullDevice());
}

ProcessRunner::~ProcessRunner()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(kStartTimeoutMs);
    }
}

ToolRun ProcessRunner::run(const QString &program, const QStringList &arguments)
{
    ToolRun result;
    if (cancelled()) {
        result.stopped = true;
        return result;
    }
    process_.start(program, arguments, QIODevice::ReadOnly);
    result.started = process_.waitForStarted(kStartTimeoutMs);
    if (!result.started) {
        process_.kill();
        process_.waitForFinished(kStartTimeoutMs);
        return result;
    }

    // Waits in short slices so that a shutdown can end the child from this thread.
    QElapsedTimer clock;
    clock.start();
    while (!process_.waitForFinished(kPollMs)) {
        if (process_.state() == QProcess::NotRunning)
            break;
        const bool stop = cancelled();
        if (stop || clock.elapsed() >= kFinishTimeoutMs) {
            (stop ? result.stopped : result.timedOut) = true;
            process_.kill();
            process_.waitForFinished(kStartTimeoutMs);
            break;
        }
    }
    result.crashed = process_.exitStatus() == QProcess::CrashExit && !result.stopped && !result.timedOut;
    result.exitCode = process_.exitCode();
    result.errorText = QString::fromUtf8(process_.readAllStandardError());
    return result;
}

bool ProcessRunner::cancelled() const
{
    return stopRequested() || (cancel_ && *cancel_);
}

void ProcessRunner::requestStop()
{
    stopping = true;
}

bool ProcessRunner::stopRequested()
{
    return stopping;
}

QProcessEnvironment ProcessRunner::childEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MAGICK_THREAD_LIMIT"), QStringLiteral("1"));
    environment.insert(QStringLiteral("OMP_NUM_THREADS"), QStringLiteral("1"));
    return environment;
}
