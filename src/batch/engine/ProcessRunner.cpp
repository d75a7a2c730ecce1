#include "batch/engine/ProcessRunner.h"

#include "batch/engine/MagickPolicy.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>

#include <atomic>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

std::atomic_bool stopping{false};
QBasicMutex limitsMutex;
ToolLimits currentLimits;

// How often a waiting worker looks at the stop flag, and at the tool's activity.
constexpr int kPollMs = 50;
constexpr int kActivityEveryMs = 1000;

// Starts the program as the leader of a new process group, which dies with us.
class GroupProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    }
};

QByteArray readSmallFile(const char *path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    char buffer[1024];
    const ssize_t size = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return size > 0 ? QByteArray(buffer, int(size)) : QByteArray();
}

// The work done so far by every process of group: processor ticks (their own and
// their waited-for children's) and bytes read and written. It only has to change
// while the tool gets anywhere.
quint64 groupActivity(qint64 group)
{
    quint64 total = 0;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return 0;
    while (const dirent *entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        const QByteArray dir = QByteArrayLiteral("/proc/") + entry->d_name;
        const QByteArray stat = readSmallFile((dir + "/stat").constData());
        // "pid (comm) state ppid pgrp session tty tpgid flags minflt cminflt majflt
        //  cmajflt utime stime cutime cstime ..."; comm may hold blanks and ")".
        const int close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() < 15 || fields.at(2).toLongLong() != group)
            continue;
        for (int i = 11; i <= 14; ++i)
            total += fields.at(i).toULongLong();
        const QList<QByteArray> io = readSmallFile((dir + "/io").constData()).split('\n');
        for (const QByteArray &line : io) {
            if (line.startsWith("rchar:") || line.startsWith("wchar:"))
                total += line.mid(6).trimmed().toULongLong();
        }
    }
    ::closedir(proc);
    return total;
}

bool groupExists(qint64 group)
{
    return ::kill(pid_t(-group), 0) == 0;
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
        return name + QStringLiteral(" could not be started");
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
    : process(std::make_unique<GroupProcess>())
{
    process->setWorkingDirectory(workingDir);
    process->setProcessEnvironment(childEnvironment(tempDir));
    process->setStandardOutputFile(QProcess::nullDevice());
}

ProcessRunner::~ProcessRunner()
{
    if (process->state() != QProcess::NotRunning)
        endGroup(process->processId(), 0);
}

void ProcessRunner::endGroup(qint64 group, int graceMs)
{
    if (group <= 0)
        return;
    if (process->state() != QProcess::NotRunning) {
        ::kill(pid_t(-group), SIGTERM);
        process->waitForFinished(graceMs);
    }
    // The leader may be gone while its helpers still run.
    QElapsedTimer clock;
    clock.start();
    while (groupExists(group) && clock.elapsed() < graceMs)
        ::usleep(20000);
    ::kill(pid_t(-group), SIGKILL);
    if (process->state() != QProcess::NotRunning)
        process->waitForFinished(kStartTimeoutMs);
}

ToolRun ProcessRunner::run(const QString &program, const QStringList &arguments)
{
    ToolRun result;
    if (cancelled()) {
        result.stopped = true;
        return result;
    }
    const ToolLimits limit = limits();
    process->start(program, arguments, QIODevice::ReadOnly);
    result.started = process->waitForStarted(kStartTimeoutMs);
    if (!result.started) {
        process->kill();
        process->waitForFinished(kStartTimeoutMs);
        return result;
    }
    const qint64 group = process->processId();

    // Waits in short slices so that a shutdown can end the child from this thread,
    // and looks at the group's activity once a second.
    QElapsedTimer clock, idle, sample;
    clock.start();
    idle.start();
    sample.start();
    // No sample at the start: reading /proc costs milliseconds, as much as a small
    // file's whole conversion. The first sample, a second in, counts as progress.
    quint64 activity = 0;
    while (!process->waitForFinished(kPollMs)) {
        if (process->state() == QProcess::NotRunning)
            break;
        if (sample.elapsed() >= kActivityEveryMs || idle.elapsed() >= limit.idleMs) {
            sample.restart();
            const quint64 now = groupActivity(group);
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
    endGroup(group, limit.graceMs);
    result.crashed = process->exitStatus() == QProcess::CrashExit && !result.stopped && !result.timedOut;
    result.exitCode = process->exitCode();
    result.errorText = QString::fromUtf8(process->readAllStandardError());
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
    const QString policyDir = MagickPolicy::configDir();
    if (!policyDir.isEmpty())
        environment.insert(QStringLiteral("MAGICK_CONFIGURE_PATH"), policyDir);
    if (!tempDir.isEmpty()) {
        environment.insert(QStringLiteral("MAGICK_TEMPORARY_PATH"), tempDir);
        environment.insert(QStringLiteral("TMPDIR"), tempDir);
    }
    return environment;
}
