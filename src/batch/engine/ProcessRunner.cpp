#include "ProcessRunner.h"

#include "batch/engine/BatchPaths.h"
#include "batch/engine/StandardStreams.h"
#include "batch/engine/ToolWatchdog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#include <mutex>

#include <atomic>
#include <cstdint>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
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

// Everything the child needs, prepared by the parent: between the clone and the
// exec the child shares the parent's memory and may only make system calls.
struct Launch
{
    const char *program = nullptr;
    char *const *argv = nullptr;
    char *const *envp = nullptr;
    const char *dir = nullptr;
    int nullFd = -1;
    int outputFd = -1; // standard output: nullFd unless it is kept
    int errorFd = -1;
    pid_t parent = 0;
    int watchdogFd = -1; // where the tool says its id before it runs; -1 without a watchdog
    sigset_t mask;
    int failure = 0; // errno of the step that failed, written by the child
};

// The child: leader of a new process group, killed when the starting thread dies,
// null device in, standard output to the null device or its pipe, standard error
// to its pipe, nothing else open, default signal handlers (SIGCHLD too, which an
// ignoring host would pass on), the parent's signal mask.
__attribute__((no_sanitize("address", "undefined"))) int startChild(void *argument)
{
    auto *launch = static_cast<Launch *>(argument);
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        struct sigaction action;
        if (::sigaction(signalNumber, nullptr, &action) == 0 && action.sa_handler != SIG_DFL
            && (action.sa_handler != SIG_IGN || signalNumber == SIGCHLD)) {
            action.sa_handler = SIG_DFL;
            action.sa_flags = 0;
            ::sigaction(signalNumber, &action, nullptr);
        }
    }
    // The sources are first moved above 2: a source that is itself 0, 1 or 2 (the
    // caller had closed it) is neither overwritten by another target nor left
    // close-on-exec by a dup2 onto itself.
    const int in = ::fcntl(launch->nullFd, F_DUPFD, 3);
    const int out = ::fcntl(launch->outputFd, F_DUPFD, 3);
    const int error = ::fcntl(launch->errorFd, F_DUPFD, 3);
    // Watched before it can start anything; and when this process dies, the tool is
    // only stopped, so that the watchdog finds everything below it. Without a
    // watchdog to end it, it dies at once.
    const std::int32_t self = std::int32_t(::getpid());
    const bool watched = launch->watchdogFd >= 0
        && ::send(launch->watchdogFd, &self, sizeof self, MSG_NOSIGNAL) == ssize_t(sizeof self);
    const bool ready = in >= 0 && out >= 0 && error >= 0 && ::setpgid(0, 0) == 0
        && ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0 && ::prctl(PR_SET_PDEATHSIG, watched ? SIGSTOP : SIGKILL) == 0
        && ::getppid() == launch->parent
        && ::dup2(in, STDIN_FILENO) >= 0 && ::dup2(out, STDOUT_FILENO) >= 0 && ::dup2(error, STDERR_FILENO) >= 0
        && ::chdir(launch->dir) == 0 && ::sigprocmask(SIG_SETMASK, &launch->mask, nullptr) == 0;
    if (ready) {
        StandardStreams::closeFrom(3);
        ::execve(launch->program, launch->argv, launch->envp);
    }
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

// Calls visit(folder, fields) for every process, fields being its stat after the
// command name: "state ppid pgrp session tty tpgid flags minflt cminflt majflt
// cmajflt utime stime cutime cstime priority nice threads itrealvalue starttime
// ..."; stops when visit returns false.
template <typename Visit>
void forEachProcess(Visit visit)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return;
    while (const dirent *entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        const QByteArray dir = QByteArrayLiteral("/proc/") + entry->d_name;
        const QByteArray stat = readSmallFile((dir + "/stat").constData());
        // The command name may hold blanks and ")".
        const int close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() < 20)
            continue;
        if (!visit(dir, fields))
            break;
    }
    ::closedir(proc);
}

// The same for every process of group.
template <typename Visit>
void forEachMember(qint64 group, Visit visit)
{
    forEachProcess([&](const QByteArray &dir, const QList<QByteArray> &fields) {
        return fields.at(2).toLongLong() != group || visit(dir, fields);
    });
}

// A process below a tool, known by its start time too: its id may be taken by
// another process once it has ended.
struct Descendant
{
    pid_t pid = 0;
    QByteArray started;
};

// Every live process below leader (its children, theirs, ...). A tool is a child
// subreaper, so while it runs nothing it started is anywhere else.
QList<Descendant> descendants(pid_t leader)
{
    struct Entry
    {
        pid_t pid;
        pid_t parent;
        QByteArray started;
    };
    QList<Entry> all;
    forEachProcess([&all](const QByteArray &dir, const QList<QByteArray> &fields) {
        if (fields.at(0) != "Z" && fields.at(0) != "X")
            all.append({pid_t(dir.mid(6).toLong()), pid_t(fields.at(1).toLong()), fields.at(19)});
        return true;
    });
    QList<Descendant> found;
    QSet<pid_t> known{leader};
    for (bool more = true; more;) {
        more = false;
        for (const Entry &entry : qAsConst(all)) {
            if (known.contains(entry.parent) && !known.contains(entry.pid)) {
                known.insert(entry.pid);
                found.append({entry.pid, entry.started});
                more = true;
            }
        }
    }
    return found;
}

// Sends signal to each of them that is still the process it was.
bool signalEach(const QList<Descendant> &processes, int signalNumber)
{
    bool any = false;
    for (const Descendant &process : processes) {
        const QByteArray stat = readSmallFile(QByteArray("/proc/" + QByteArray::number(process.pid) + "/stat").constData());
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 20 || fields.at(19) != process.started || fields.at(0) == "Z")
            continue;
        any = true;
        ::kill(process.pid, signalNumber);
    }
    return any;
}

// The ids in the children files of every thread of the process at dir; false when
// the kernel keeps no such files (CONFIG_PROC_CHILDREN) or the process is gone.
bool childrenOf(const QByteArray &dir, QList<QByteArray> &ids)
{
    DIR *tasks = ::opendir((dir + "/task").constData());
    if (!tasks)
        return false;
    bool any = false;
    while (const dirent *entry = ::readdir(tasks)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        const QByteArray path = dir + "/task/" + entry->d_name + "/children";
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        any = true;
        QByteArray text;
        char buffer[1024];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, int(n));
        ::close(fd);
        for (const QByteArray &id : text.split(' ')) {
            if (!id.trimmed().isEmpty())
                ids.append(id.trimmed());
        }
    }
    ::closedir(tasks);
    return any;
}

// Calls visit(folder, fields) as forEachMember does, but only for leader and the
// processes below it: a tool is a child subreaper, so every member of its group
// is there, and a few files are read instead of every process's on the machine.
// Without children files, every process is looked at.
template <typename Visit>
void forEachMemberBelow(pid_t leader, Visit visit)
{
    const QByteArray group = QByteArray::number(leader);
    QList<QByteArray> todo{group};
    QSet<QByteArray> seen;
    while (!todo.isEmpty()) {
        const QByteArray pid = todo.takeLast();
        if (seen.contains(pid))
            continue;
        seen.insert(pid);
        const QByteArray dir = QByteArrayLiteral("/proc/") + pid;
        if (!childrenOf(dir, todo) && pid == group && ::access((dir + "/task").constData(), F_OK) == 0) {
            forEachMember(leader, visit);
            return;
        }
        const QByteArray stat = readSmallFile((dir + "/stat").constData());
        const int close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() >= 20 && fields.at(2) == group)
            visit(dir, fields);
    }
}

// The work done so far by every process of the tool's group: processor ticks
// (their own and their waited-for children's) and bytes read and written. It only
// has to change while the tool gets anywhere.
quint64 groupActivity(pid_t leader)
{
    quint64 total = 0;
    forEachMemberBelow(leader, [&total](const QByteArray &dir, const QList<QByteArray> &fields) {
        for (int i = 11; i <= 14; ++i)
            total += fields.at(i).toULongLong();
        const QList<QByteArray> io = readSmallFile((dir + "/io").constData()).split('\n');
        for (const QByteArray &line : io) {
            if (line.startsWith("rchar:") || line.startsWith("wchar:"))
                total += line.mid(6).trimmed().toULongLong();
        }
        return true;
    });
    return total;
}

// Whether a process of the group still runs. A helper that has ended but is not
// yet reaped does not count: once its parent is gone, init reaps it, which may take
// a second or more.
bool groupRuns(qint64 group)
{
    if (::kill(pid_t(-group), 0) != 0)
        return false;
    bool runs = false;
    forEachMember(group, [&runs](const QByteArray &, const QList<QByteArray> &fields) {
        runs = fields.at(0) != "Z" && fields.at(0) != "X";
        return !runs;
    });
    return runs;
}

// A started tool: the leader of its process group.
struct Child
{
    pid_t pid = -1;
    int errorFd = -1; // the read end of the tool's standard error; -1 once it ended
    int outputFd = -1; // the read end of its standard output, when kept
    int pidFd = -1; // readable once the child has ended; -1 where the kernel has none
    bool ended = false;
    bool lost = false; // its status was taken by someone else
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
            if (done == pid) {
                ended = true;
            } else if (done < 0 && errno == ECHILD) {
                // Reaped by someone else (SIGCHLD ignored before we could say otherwise).
                ended = true;
                status = 0;
                lost = true;
            } else if (done >= 0 || errno != EINTR) {
                break;
            }
        }
        return ended;
    }

    // One read of standard error into text, up to the cap (what is over is read and
    // dropped, so a talkative tool never blocks on a full pipe); closes it at its end.
    static void readPipe(int &fd, QByteArray &text)
    {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0 && text.size() < kMaxErrorBytes)
            text.append(buffer, int(qMin<qint64>(n, kMaxErrorBytes - text.size())));
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            ::close(fd);
            fd = -1;
        }
    }

    // SIGTERM to the group, SIGKILL once one grace has passed; the leader is reaped.
    // A tool ended while it runs takes everything below it along, helpers that
    // left its group (setsid) too: they are known while it lives.
    void endGroup(int graceMs)
    {
        if (pid <= 0)
            return;
        QElapsedTimer clock;
        clock.start();
        QList<Descendant> below;
        if (!reap(WNOHANG)) {
            below = descendants(pid);
            ::kill(-pid, SIGTERM);
            signalEach(below, SIGTERM);
        }
        // The leader may be gone while its helpers still run: the same grace for all.
        while ((!reap(WNOHANG) || groupRuns(pid) || signalEach(below, 0)) && clock.elapsed() < graceMs)
            ::usleep(5000);
        if (!below.isEmpty() && !reap(WNOHANG))
            below += descendants(pid); // started during the grace
        ::kill(-pid, SIGKILL);
        signalEach(below, SIGKILL);
        reap(0);
    }
};

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

// With SIGCHLD ignored (or SA_NOCLDWAIT) the kernel reaps our tools itself and
// their exit statuses are lost: the process that starts tools takes the default.
// A handler is left alone (Qt's own reaps only its children).
void defaultChildSignal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action = {};
        if (::sigaction(SIGCHLD, nullptr, &action) != 0)
            return;
        if (action.sa_handler == SIG_IGN || (action.sa_flags & SA_NOCLDWAIT)) {
            action.sa_handler = SIG_DFL;
            action.sa_flags &= ~SA_NOCLDWAIT;
            ::sigaction(SIGCHLD, &action, nullptr);
        }
    });
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
    defaultChildSignal();

    // All of it made before the child exists: it may not allocate.
    const QString path = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        result.startError = ENOENT;
        return result;
    }
    const QByteArray programBytes = QFile::encodeName(path);
    const QByteArray dirBytes = QFile::encodeName(workingDir.isEmpty() ? QStringLiteral(".") : workingDir);
    CStrings argv(QStringList{program} + arguments);
    QProcessEnvironment threaded = environment;
    threaded.insert(QStringLiteral("MAGICK_THREAD_LIMIT"), QString::number(threads));
    threaded.insert(QStringLiteral("OMP_NUM_THREADS"), QString::number(threads));
    CStrings envp(threaded.toStringList());
    int errorPipe[2] = {-1, -1};
    int outputPipe[2] = {-1, -1};
    const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const bool opened = nullFd >= 0 && ::pipe2(errorPipe, O_CLOEXEC) == 0
        && (!keepOutput || ::pipe2(outputPipe, O_CLOEXEC) == 0);
    const auto closeAll = [&] {
        for (const int fd : {nullFd, errorPipe[1], outputPipe[1]}) {
            if (fd >= 0)
                ::close(fd);
        }
    };
    Child tool;
    tool.errorFd = errorPipe[0];
    tool.outputFd = outputPipe[0];
    if (!opened) {
        result.startError = errno;
        closeAll();
        return result;
    }
    Launch launch;
    launch.program = programBytes.constData();
    launch.argv = argv.pointers.data();
    launch.envp = envp.pointers.data();
    launch.dir = dirBytes.constData();
    launch.nullFd = nullFd;
    launch.outputFd = keepOutput ? outputPipe[1] : nullFd;
    launch.errorFd = errorPipe[1];
    launch.parent = ::getpid();
    launch.watchdogFd = ToolWatchdog::channel();

    // The child runs on a stack of its own in this process's memory, and this thread
    // waits until it has called exec or exited. No signal handler of ours may run in it.
    // posix_spawn does the same clone, and measured the same; but it cannot set the
    // parent-death signal, and a "setpriv --pdeathsig" prefix costs a second exec
    // per tool, so the clone stays for that alone.
    constexpr size_t kStackBytes = 64 * 1024;
    void *stack = ::mmap(nullptr, kStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack != MAP_FAILED) {
        sigset_t all;
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &launch.mask);
        tool.pid
            = ::clone(startChild, static_cast<char *>(stack) + kStackBytes, CLONE_VM | CLONE_VFORK | SIGCHLD, &launch);
        ::pthread_sigmask(SIG_SETMASK, &launch.mask, nullptr);
        ::munmap(stack, kStackBytes);
    }
    if (tool.pid <= 0)
        result.startError = errno;
    closeAll();
    if (tool.pid <= 0)
        return result;
    if (launch.failure != 0) {
        result.startError = launch.failure;
        tool.reap(0);
        ToolWatchdog::unwatch(tool.pid);
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
    QByteArray outputText;
    while (!tool.reap(WNOHANG)) {
        pollfd watched[3];
        int count = 0;
        int errorAt = -1, outputAt = -1;
        if (tool.errorFd >= 0) {
            errorAt = count;
            watched[count++] = {tool.errorFd, POLLIN, 0};
        }
        if (tool.outputFd >= 0) {
            outputAt = count;
            watched[count++] = {tool.outputFd, POLLIN, 0};
        }
        if (tool.pidFd >= 0)
            watched[count++] = {tool.pidFd, POLLIN, 0};
        // Without a process descriptor the end is seen within a millisecond.
        ::poll(watched, nfds_t(count), tool.pidFd >= 0 ? kPollMs : 1);
        if (errorAt >= 0 && watched[errorAt].revents)
            Child::readPipe(tool.errorFd, errorText);
        if (outputAt >= 0 && watched[outputAt].revents)
            Child::readPipe(tool.outputFd, outputText);
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
    ToolWatchdog::unwatch(tool.pid);
    // What the tool wrote last, helpers' writes included, until the pipes are empty.
    for (const auto &stream : {std::make_pair(&tool.errorFd, &errorText), std::make_pair(&tool.outputFd, &outputText)}) {
        pollfd pending{*stream.first, POLLIN, 0};
        while (*stream.first >= 0 && stream.second->size() < kMaxErrorBytes && ::poll(&pending, 1, 0) > 0)
            Child::readPipe(*stream.first, *stream.second);
    }
    const bool signalled = !tool.lost && WIFSIGNALED(tool.status);
    result.crashed = signalled && !result.stopped && !result.timedOut;
    result.killedBy = signalled ? WTERMSIG(tool.status) : 0;
    result.exitCode = !tool.lost && WIFEXITED(tool.status) ? WEXITSTATUS(tool.status) : -1;
    result.errorText = QString::fromUtf8(errorText);
    result.outputText = QString::fromUtf8(outputText);
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
