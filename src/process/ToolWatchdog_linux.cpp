#include "process/ToolWatchdog.h"

#include "ProcessLinux.h"

#include <QString>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <dirent.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

namespace ToolWatchdog {

namespace {

// More than the tools that ever run at once (ToolSlots allows 64).
constexpr int kMaxGroups = 1024;
constexpr int kWatchdogFd = 3;

std::atomic_int engineEnd{-1};
pid_t watchdogPid = 0;

// Calls visit(pid, state, ppid, pgrp) for every process; async-signal-safe (no
// allocation: the watchdog is the fork of a multi-threaded process).
template <typename Visit>
void eachProcess(Visit visit)
{
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0)
        return;
    alignas(8) char entries[8192];
    long got;
    while ((got = ::syscall(SYS_getdents64, proc, entries, sizeof entries)) > 0) {
        for (long at = 0; at < got;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(entries + at);
            at += entry->d_reclen;
            pid_t pid = 0;
            const char *c = entry->d_name;
            for (; *c >= '0' && *c <= '9'; ++c)
                pid = pid * 10 + (*c - '0');
            if (*c != '\0' || pid <= 0)
                continue;
            char path[32] = "/proc/";
            char *end = path + 6;
            for (const char *d = entry->d_name; *d && end < path + 24; ++d)
                *end++ = *d;
            const char stat[] = "/stat";
            for (const char *d = stat; *d; ++d)
                *end++ = *d;
            *end = '\0';
            const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            char line[512];
            const ssize_t size = ::read(fd, line, sizeof line - 1);
            ::close(fd);
            if (size <= 0)
                continue;
            line[size] = '\0';
            // "pid (name) state ppid pgrp ...": the name may hold blanks and ")".
            const char *close = nullptr;
            for (const char *d = line; *d; ++d) {
                if (*d == ')')
                    close = d;
            }
            if (!close || close[1] != ' ' || !close[2])
                continue;
            const char state = close[2];
            long numbers[2] = {0, 0};
            const char *d = close + 3;
            for (long &number : numbers) {
                while (*d == ' ')
                    ++d;
                for (; *d >= '0' && *d <= '9'; ++d)
                    number = number * 10 + (*d - '0');
            }
            visit(pid, state, pid_t(numbers[0]), pid_t(numbers[1]));
        }
    }
    ::close(proc);
}

// Kills every process below tool (and of its group), then the tool. The tool is a
// subreaper and stopped: a process whose parent is killed moves up to it, never
// out of its tree, until it goes last.
void endTree(pid_t tool)
{
    constexpr int kMaxBelow = 4096;
    static pid_t below[kMaxBelow];
    int count = 0;
    const auto known = [&](pid_t pid) {
        if (pid == tool)
            return true;
        for (int i = 0; i < count; ++i) {
            if (below[i] == pid)
                return true;
        }
        return false;
    };
    const timespec pause{0, 10 * 1000 * 1000};
    for (int pass = 0, quiet = 0; pass < 200 && quiet < 3; ++pass) {
        bool found = false;
        eachProcess([&](pid_t pid, char state, pid_t ppid, pid_t pgrp) {
            if (pid == tool || state == 'Z' || state == 'X' || !(known(ppid) || pgrp == tool))
                return;
            ::kill(pid, SIGKILL);
            found = true;
            if (!known(pid) && count < kMaxBelow)
                below[count++] = pid;
        });
        quiet = found ? 0 : quiet + 1;
        ::nanosleep(&pause, nullptr);
    }
    ::kill(-tool, SIGKILL);
    ::kill(tool, SIGKILL);
}

// The watchdog itself, after the fork of a multi-threaded process: only
// async-signal-safe calls. A record is a group id, negative to remove it.
[[noreturn]] void watchdogMain(int socket)
{
    ::setsid();
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        struct sigaction action = {};
        action.sa_handler = signalNumber == SIGINT || signalNumber == SIGHUP || signalNumber == SIGPIPE ? SIG_IGN
                                                                                                        : SIG_DFL;
        ::sigaction(signalNumber, &action, nullptr);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Nothing of the engine's stays open here: no output file, no lock, no terminal.
    if (::dup2(socket, kWatchdogFd) != kWatchdogFd)
        ::_exit(1);
    const int nullFd = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2 && nullFd >= 0; ++fd)
        ::dup2(nullFd, fd);
    StandardStreams::closeFrom(kWatchdogFd + 1);

    pid_t groups[kMaxGroups] = {};
    std::int32_t record = 0;
    for (;;) {
        const ssize_t got = ::read(kWatchdogFd, &record, sizeof record);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != ssize_t(sizeof record))
            break; // the engine is gone
        const pid_t group = record < 0 ? -record : record;
        for (pid_t &slot : groups) {
            if (record > 0 && slot == 0) {
                slot = group;
                break;
            }
            if (record < 0 && slot == group) {
                slot = 0;
                break;
            }
        }
    }
    for (const pid_t group : groups) {
        if (group > 0)
            endTree(group);
    }
    ::_exit(0);
}

bool wanted()
{
    return qEnvironmentVariable("QUORVANE_WATCHDOG") != QLatin1String("0");
}

void start()
{
    if (!wanted())
        return;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return;
    const pid_t child = ::fork();
    if (child == 0)
        watchdogMain(ends[1]);
    ::close(ends[1]);
    if (child < 0) {
        ::close(ends[0]);
        return;
    }
    engineEnd = ends[0];
    watchdogPid = child;
}

void send(std::int32_t record)
{
    const int fd = channel();
    if (fd < 0)
        return;
    // One record per packet; no SIGPIPE should the watchdog be gone.
    while (::send(fd, &record, sizeof record, MSG_NOSIGNAL) < 0 && errno == EINTR) { }
}

} // namespace

int channel()
{
    static std::once_flag started;
    std::call_once(started, start);
    return engineEnd;
}

void watch(qint64 group)
{
    if (group > 0)
        send(std::int32_t(group));
}

void unwatch(qint64 group)
{
    if (group > 0)
        send(-std::int32_t(group));
}

qint64 pid()
{
    return watchdogPid;
}

void adoptOrphans()
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

void endAdopted()
{
    const pid_t self = ::getpid();
    for (int pass = 0; pass < 100; ++pass) {
        bool found = false;
        eachProcess([&](pid_t pid, char, pid_t ppid, pid_t) {
            if (ppid != self)
                return;
            found = true;
            ::kill(pid, SIGKILL);
            // Its own children come to us as it ends: the next pass has them.
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }
        });
        if (!found)
            return;
    }
}

void stop()
{
    const int fd = engineEnd.exchange(-1);
    if (fd < 0)
        return;
    ::close(fd);
    while (::waitpid(watchdogPid, nullptr, 0) < 0 && errno == EINTR) { }
}

} // namespace ToolWatchdog
