#include "process/ChildProcess.h"

#include "ProcessLinux.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Children are started without copying this process (clone with CLONE_VM |
// CLONE_VFORK, the way posix_spawn does): forking a multi-threaded process and
// then writing to its memory cost more than a small file's whole conversion.
// posix_spawn measured the same (bench/bench_spawn) but cannot set the
// parent-death signal or make the child a subreaper, and a "setpriv --pdeathsig"
// prefix costs a second exec per child: so the clone, for every child.

namespace {

// The passed handle's number in the child.
constexpr int kPassedFd = 3;

// Everything the child needs, prepared by the parent: between the clone and the
// exec the child shares the parent's memory and may only make system calls.
struct Launch
{
    const char *program = nullptr;
    char *const *argv = nullptr;
    char *const *envp = nullptr;
    const char *dir = nullptr; // nullptr: stay where the parent is
    int inputFd = -1;
    int outputFd = -1;
    int errorFd = -1;
    int passedFd = -1;
    bool helpers = false;
    pid_t parent = 0;
    int watchdogFd = -1; // where the child says its id before it runs; -1 without a watchdog
    int failure = 0; // errno of the step that failed, written by the child
};

// The child: leader of a new process group, killed when the starting thread dies
// (stopped, for the watchdog, when it may have helpers), the given standard
// streams and passed descriptor and nothing else open, default signal handlers
// (SIGCHLD too, which an ignoring host would pass on), nothing blocked.
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
    // The sources are first moved above the targets: a source that is itself one
    // of them (the caller had closed 0-2) is neither overwritten by another target
    // nor left close-on-exec by a dup2 onto itself.
    const int in = ::fcntl(launch->inputFd, F_DUPFD, kPassedFd + 1);
    const int out = ::fcntl(launch->outputFd, F_DUPFD, kPassedFd + 1);
    const int error = ::fcntl(launch->errorFd, F_DUPFD, kPassedFd + 1);
    const int passed = launch->passedFd >= 0 ? ::fcntl(launch->passedFd, F_DUPFD, kPassedFd + 1) : -1;
    // Watched before it can start anything; and when this process dies, a child
    // with helpers is only stopped, so that the watchdog finds everything below it.
    // Without a watchdog to end it, it dies at once.
    const std::int32_t self = std::int32_t(::getpid());
    const bool watched = launch->watchdogFd >= 0
        && ::send(launch->watchdogFd, &self, sizeof self, MSG_NOSIGNAL) == ssize_t(sizeof self);
    sigset_t none;
    ::sigemptyset(&none);
    const bool ready = in >= 0 && out >= 0 && error >= 0 && (launch->passedFd < 0 || passed >= 0)
        && ::setpgid(0, 0) == 0 && (!launch->helpers || ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0)
        && ::prctl(PR_SET_PDEATHSIG, watched ? SIGSTOP : SIGKILL) == 0 && ::getppid() == launch->parent
        && ::dup2(in, STDIN_FILENO) >= 0 && ::dup2(out, STDOUT_FILENO) >= 0 && ::dup2(error, STDERR_FILENO) >= 0
        && (passed < 0 || ::dup2(passed, kPassedFd) >= 0) && (!launch->dir || ::chdir(launch->dir) == 0)
        && ::sigprocmask(SIG_SETMASK, &none, nullptr) == 0;
    if (ready) {
        StandardStreams::closeFrom(passed < 0 ? kPassedFd : kPassedFd + 1);
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
// processes below it: a child is a subreaper, so every member of its group is
// there, and a few files are read instead of every process's on the machine.
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

// A process below a child, known by its start time too: its id may be taken by
// another process once it has ended.
struct Descendant
{
    pid_t pid = 0;
    QByteArray started;
};

// Every live process below leader (its children, theirs, ...). A child with
// helpers is a subreaper, so while it runs nothing it started is anywhere else.
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

// With SIGCHLD ignored (or SA_NOCLDWAIT) the kernel reaps our children itself and
// their exit statuses are lost: the process that starts children takes the
// default. A handler is left alone (Qt's own reaps only its children).
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

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

struct ChildProcess::Native
{
    pid_t pid = -1;
    bool helpers = false;
    bool watched = false;
    int errorFd = -1; // the read ends of the pipes; -1 once at their end
    int outputFd = -1;
    int pidFd = -1; // readable once the child has ended; -1 where the kernel has none
    bool ended = false;
    bool lost = false;
    bool endedHere = false;
    int status = 0;
    int startError = 0;
    QByteArray output;
    QByteArray errors;

    ~Native()
    {
        if (pid > 0 && !ended) {
            ::kill(-pid, SIGKILL);
            endedHere = true;
            reap(0);
        }
        if (watched)
            ToolWatchdog::unwatch(pid);
        closeFd(errorFd);
        closeFd(outputFd);
        closeFd(pidFd);
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

    // One read of a pipe into text, up to the cap (what is over is read and
    // dropped); closes it at its end.
    static void readPipe(int &fd, QByteArray &text)
    {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0 && text.size() < kMaxStreamBytes)
            text.append(buffer, int(qMin<qint64>(n, kMaxStreamBytes - text.size())));
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            closeFd(fd);
    }

    // What the child wrote last, helpers' writes included, until the pipes are empty.
    void drain()
    {
        for (const auto &stream : {std::make_pair(&errorFd, &errors), std::make_pair(&outputFd, &output)}) {
            pollfd pending{*stream.first, POLLIN, 0};
            while (*stream.first >= 0 && stream.second->size() < kMaxStreamBytes && ::poll(&pending, 1, 0) > 0)
                readPipe(*stream.first, *stream.second);
        }
    }
};

ChildProcess::ChildProcess()
    : native(std::make_unique<Native>())
{ }

ChildProcess::~ChildProcess() = default;

bool ChildProcess::start(const Spec &spec)
{
    Native &child = *native;
    defaultChildSignal();
    // All of it made before the child exists: it may not allocate.
    const QByteArray programBytes = QFile::encodeName(spec.program);
    const QByteArray dirBytes = QFile::encodeName(spec.workingDir);
    CStrings argv(QStringList{spec.name.isEmpty() ? spec.program : spec.name} + spec.arguments);
    CStrings envp(spec.environment);
    int errorPipe[2] = {-1, -1};
    int outputPipe[2] = {-1, -1};
    int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const bool opened = nullFd >= 0 && (spec.errors == Stream::Null || ::pipe2(errorPipe, O_CLOEXEC) == 0)
        && (spec.output == Stream::Null || ::pipe2(outputPipe, O_CLOEXEC) == 0);
    child.errorFd = errorPipe[0];
    child.outputFd = outputPipe[0];
    if (!opened) {
        child.startError = errno;
        for (int *fd : {&nullFd, &errorPipe[1], &outputPipe[1]})
            closeFd(*fd);
        return false;
    }
    Launch launch;
    launch.program = programBytes.constData();
    launch.argv = argv.pointers.data();
    launch.envp = envp.pointers.data();
    launch.dir = spec.workingDir.isEmpty() ? nullptr : dirBytes.constData();
    launch.inputFd = nullFd;
    launch.outputFd = outputPipe[1] >= 0 ? outputPipe[1] : nullFd;
    launch.errorFd = errorPipe[1] >= 0 ? errorPipe[1] : nullFd;
    launch.passedFd = int(spec.passed);
    launch.helpers = spec.tree == Tree::Helpers;
    launch.parent = ::getpid();
    launch.watchdogFd = launch.helpers ? ToolWatchdog::channel() : -1;
    child.helpers = launch.helpers;
    child.watched = launch.watchdogFd >= 0;

    // The child runs on a stack of its own in this process's memory, and this thread
    // waits until it has called exec or exited. No signal handler of ours may run in it.
    constexpr size_t kStackBytes = 64 * 1024;
    void *stack = ::mmap(nullptr, kStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack != MAP_FAILED) {
        sigset_t all, before;
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &before);
        child.pid
            = ::clone(startChild, static_cast<char *>(stack) + kStackBytes, CLONE_VM | CLONE_VFORK | SIGCHLD, &launch);
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        ::munmap(stack, kStackBytes);
    }
    if (child.pid <= 0)
        child.startError = errno;
    for (int *fd : {&nullFd, &errorPipe[1], &outputPipe[1]})
        closeFd(*fd);
    if (child.pid <= 0) {
        child.pid = -1;
        child.watched = false;
        return false;
    }
    if (launch.failure != 0) {
        child.startError = launch.failure;
        child.reap(0);
        return false;
    }
    child.pidFd = int(::syscall(SYS_pidfd_open, child.pid, 0));
    return true;
}

int ChildProcess::startError() const
{
    return native->startError;
}

bool ChildProcess::wait(int ms)
{
    Native &child = *native;
    if (child.pid <= 0)
        return true;
    if (child.reap(WNOHANG)) {
        child.drain();
        return true;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        pollfd watched[3];
        int count = 0;
        int errorAt = -1, outputAt = -1;
        if (child.errorFd >= 0) {
            errorAt = count;
            watched[count++] = {child.errorFd, POLLIN, 0};
        }
        if (child.outputFd >= 0) {
            outputAt = count;
            watched[count++] = {child.outputFd, POLLIN, 0};
        }
        if (child.pidFd >= 0)
            watched[count++] = {child.pidFd, POLLIN, 0};
        // Without a process descriptor the end is seen within a millisecond.
        const qint64 left = qMax<qint64>(0, ms - clock.elapsed());
        ::poll(watched, nfds_t(count), int(child.pidFd >= 0 ? left : qMin<qint64>(left, 1)));
        if (errorAt >= 0 && watched[errorAt].revents)
            Native::readPipe(child.errorFd, child.errors);
        if (outputAt >= 0 && watched[outputAt].revents)
            Native::readPipe(child.outputFd, child.output);
        if (child.reap(WNOHANG)) {
            child.drain(); // what it wrote before it ended
            return true;
        }
        if (clock.elapsed() >= ms)
            return false;
    }
}

quint64 ChildProcess::activity() const
{
    quint64 total = 0;
    if (native->pid <= 0)
        return total;
    forEachMemberBelow(native->pid, [&total](const QByteArray &dir, const QList<QByteArray> &fields) {
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

// SIGTERM to the group, SIGKILL once the grace has passed; the leader is reaped. A
// child with helpers ended while it runs takes everything below it along, helpers
// that left its group (setsid) too: they are known while it lives.
void ChildProcess::end(int graceMs)
{
    Native &child = *native;
    if (child.pid <= 0)
        return;
    QElapsedTimer clock;
    clock.start();
    QList<Descendant> below;
    if (!child.reap(WNOHANG)) {
        child.endedHere = true;
        if (child.helpers)
            below = descendants(child.pid);
        if (graceMs > 0) {
            ::kill(-child.pid, SIGTERM);
            signalEach(below, SIGTERM);
        }
    }
    // The leader may be gone while its helpers still run: the same grace for all.
    while (graceMs > 0 && (!child.reap(WNOHANG) || groupRuns(child.pid) || signalEach(below, 0))
           && clock.elapsed() < graceMs)
        ::usleep(5000);
    if (!below.isEmpty() && !child.reap(WNOHANG))
        below += descendants(child.pid); // started during the grace
    ::kill(-child.pid, SIGKILL);
    signalEach(below, SIGKILL);
    child.reap(0);
    if (child.watched)
        ToolWatchdog::unwatch(child.pid);
    child.watched = false;
    child.drain();
}

bool ChildProcess::endedHere() const
{
    return native->endedHere;
}

int ChildProcess::exitCode() const
{
    const Native &child = *native;
    return child.ended && !child.lost && WIFEXITED(child.status) ? WEXITSTATUS(child.status) : -1;
}

int ChildProcess::endSignal() const
{
    const Native &child = *native;
    return child.ended && !child.lost && WIFSIGNALED(child.status) ? WTERMSIG(child.status) : 0;
}

bool ChildProcess::statusLost() const
{
    return native->lost;
}

QByteArray ChildProcess::output() const
{
    return native->output;
}

QByteArray ChildProcess::errors() const
{
    return native->errors;
}
