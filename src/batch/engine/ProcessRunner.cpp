#include "batch/engine/ProcessRunner.h"

#include "batch/engine/MagickPolicy.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::atomic_bool stopping{false};
QBasicMutex limitsMutex;
ToolLimits currentLimits;

// How often a waiting worker looks at the stop flag, and at the tool's activity.
constexpr int kPollMs = 50;
constexpr int kActivityEveryMs = 1000;

// Standard error kept of one run; a tool that writes more loses the rest.
constexpr int kMaxErrorBytes = 64 * 1024;
constexpr int kMaxOutputBytes = 4 * 1024 * 1024;

// What a tool wrote into the memory file that was its standard output.
QByteArray readBack(int fd)
{
    QByteArray bytes;
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return bytes;
    char buffer[16384];
    ssize_t n = 0;
    while (bytes.size() < kMaxOutputBytes
           && ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))) {
        if (n > 0)
            bytes.append(buffer, int(qMin<qint64>(n, kMaxOutputBytes - bytes.size())));
    }
    return bytes;
}

// Everything the child needs, prepared by the parent: between the clone and the
// exec the child shares the parent's memory and may only make system calls.
struct Launch
{
    const char *program = nullptr;
    char *const *argv = nullptr;
    char *const *envp = nullptr;
    const char *dir = nullptr;
    int nullFd = -1;
    int outputFd = -1;
    int errorFd = -1;
    pid_t parent = 0;
    sigset_t mask;
    int failure = 0; // errno of the step that failed, written by the child
};

// The child: leader of a new process group, killed when the starting thread dies,
// null device in and out, standard error to the pipe, default signal handlers,
// the parent's signal mask.
__attribute__((no_sanitize("address", "undefined"))) int startChild(void *argument)
{
    auto *launch = static_cast<Launch *>(argument);
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        struct sigaction action;
        if (::sigaction(signalNumber, nullptr, &action) == 0 && action.sa_handler != SIG_DFL
            && action.sa_handler != SIG_IGN) {
            action.sa_handler = SIG_DFL;
            action.sa_flags = 0;
            ::sigaction(signalNumber, &action, nullptr);
        }
    }
    const bool ready = ::setpgid(0, 0) == 0 && ::prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && ::getppid() == launch->parent
        && ::dup2(launch->nullFd, STDIN_FILENO) >= 0 && ::dup2(launch->outputFd, STDOUT_FILENO) >= 0
        && ::dup2(launch->errorFd, STDERR_FILENO) >= 0 && ::chdir(launch->dir) == 0
        && ::sigprocmask(SIG_SETMASK, &launch->mask, nullptr) == 0;
    if (ready)
        ::execve(launch->program, launch->argv, launch->envp);
    launch->failure = errno ? errno : ECHILD;
    ::_exit(127);
}

// Null-terminated arrays of C strings that live as long as this.
struct CStrings
{
    explicit CStrings(const QStringList &items)
    {
        for (const QString &item : items)
            bytes.push_back(QFile::encodeName(item));
        for (QByteArray &item : bytes)
            pointers.push_back(item.data());
        pointers.push_back(nullptr);
    }
    std::vector<QByteArray> bytes;
    std::vector<char *> pointers;
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

// A started tool: the leader of its process group.
struct Child
{
    pid_t pid = -1;
    int errorFd = -1; // the read end of the tool's standard error; -1 once it ended
    int outputFd = -1; // the memory file of its standard output, when kept
    int pidFd = -1; // readable once the child has ended; -1 where the kernel has none
    bool ended = false;
    int status = 0;

    Child() = default;
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    ~Child()
    {
        if (errorFd >= 0)
            ::close(errorFd);
        if (outputFd >= 0)
            ::close(outputFd);
        if (pidFd >= 0)
            ::close(pidFd);
    }

    // Waits for the leader as waitpid does; false while it runs (WNOHANG).
    bool reap(int options)
    {
        while (!ended && pid > 0) {
            const pid_t done = ::waitpid(pid, &status, options);
            if (done == pid)
                ended = true;
            else if (done >= 0 || errno != EINTR)
                break;
        }
        return ended;
    }

    // One read of standard error into text, up to the cap (what is over is read and
    // dropped, so a talkative tool never blocks on a full pipe); closes it at its end.
    void readError(QByteArray &text)
    {
        char buffer[4096];
        const ssize_t n = ::read(errorFd, buffer, sizeof buffer);
        if (n > 0 && text.size() < kMaxErrorBytes)
            text.append(buffer, int(qMin<qint64>(n, kMaxErrorBytes - text.size())));
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            ::close(errorFd);
            errorFd = -1;
        }
    }

    // SIGTERM to the group, SIGKILL after the grace; the leader is reaped.
    void endGroup(int graceMs)
    {
        if (pid <= 0)
            return;
        QElapsedTimer clock;
        clock.start();
        if (!reap(WNOHANG)) {
            ::kill(-pid, SIGTERM);
            while (!reap(WNOHANG) && clock.elapsed() < graceMs)
                ::usleep(10000);
        }
        // The leader may be gone while its helpers still run.
        clock.restart();
        while (groupExists(pid) && clock.elapsed() < graceMs)
            ::usleep(20000);
        ::kill(-pid, SIGKILL);
        reap(0);
    }
};

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
    const ToolLimits limit = limits();

    // All of it made before the child exists: it may not allocate.
    const QString path = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    const QByteArray programBytes = QFile::encodeName(path);
    const QByteArray dirBytes = QFile::encodeName(workingDir.isEmpty() ? QStringLiteral(".") : workingDir);
    CStrings argv(QStringList{program} + arguments);
    CStrings envp(environment.toStringList());
    int pipeFds[2];
    const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    // A memory file rather than a pipe: the tool never waits for a reader.
    const int outputFd = keepOutput ? ::memfd_create("tool-output", MFD_CLOEXEC) : -1;
    if (path.isEmpty() || nullFd < 0 || (keepOutput && outputFd < 0) || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        if (nullFd >= 0)
            ::close(nullFd);
        if (outputFd >= 0)
            ::close(outputFd);
        return result;
    }
    Launch launch;
    launch.program = programBytes.constData();
    launch.argv = argv.pointers.data();
    launch.envp = envp.pointers.data();
    launch.dir = dirBytes.constData();
    launch.nullFd = nullFd;
    launch.outputFd = outputFd >= 0 ? outputFd : nullFd;
    launch.errorFd = pipeFds[1];
    launch.parent = ::getpid();

    // The child runs on a stack of its own in this process's memory, and this thread
    // waits until it has called exec or exited. No signal handler of ours may run in it.
    constexpr size_t kStackBytes = 64 * 1024;
    void *stack = ::mmap(nullptr, kStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    Child tool;
    if (stack != MAP_FAILED) {
        sigset_t all;
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &launch.mask);
        tool.pid
            = ::clone(startChild, static_cast<char *>(stack) + kStackBytes, CLONE_VM | CLONE_VFORK | SIGCHLD, &launch);
        ::pthread_sigmask(SIG_SETMASK, &launch.mask, nullptr);
        ::munmap(stack, kStackBytes);
    }
    ::close(nullFd);
    ::close(pipeFds[1]);
    tool.errorFd = pipeFds[0];
    tool.outputFd = outputFd;
    if (tool.pid <= 0)
        return result;
    if (launch.failure != 0) {
        tool.reap(0);
        return result;
    }
    result.started = true;
    tool.pidFd = int(::syscall(SYS_pidfd_open, tool.pid, 0));

    // Waits in short slices so that a shutdown can end the child from this thread,
    // and looks at the group's activity once a second.
    QElapsedTimer clock, idle, sample;
    clock.start();
    idle.start();
    sample.start();
    // No sample at the start: reading /proc costs milliseconds, as much as a small
    // file's whole conversion. The first sample, a second in, counts as progress.
    quint64 activity = 0;
    QByteArray errorText;
    while (!tool.reap(WNOHANG)) {
        pollfd watched[2];
        int count = 0;
        if (tool.errorFd >= 0)
            watched[count++] = {tool.errorFd, POLLIN, 0};
        if (tool.pidFd >= 0)
            watched[count++] = {tool.pidFd, POLLIN, 0};
        // Without a process descriptor the end is seen within 10 ms.
        ::poll(watched, nfds_t(count), tool.pidFd >= 0 ? kPollMs : 10);
        if (tool.errorFd >= 0 && watched[0].revents)
            tool.readError(errorText);
        if (tool.reap(WNOHANG))
            break;
        if (sample.elapsed() >= kActivityEveryMs || idle.elapsed() >= limit.idleMs) {
            sample.restart();
            const quint64 now = groupActivity(tool.pid);
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
    tool.endGroup(limit.graceMs);
    // What the tool wrote last, helpers' writes included, until the pipe is empty.
    pollfd pending{tool.errorFd, POLLIN, 0};
    while (tool.errorFd >= 0 && errorText.size() < kMaxErrorBytes && ::poll(&pending, 1, 0) > 0)
        tool.readError(errorText);
    const bool signalled = WIFSIGNALED(tool.status);
    result.crashed = signalled && !result.stopped && !result.timedOut;
    result.exitCode = WIFEXITED(tool.status) ? WEXITSTATUS(tool.status) : -1;
    result.errorText = QString::fromUtf8(errorText);
    if (tool.outputFd >= 0)
        result.output = readBack(tool.outputFd);
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
