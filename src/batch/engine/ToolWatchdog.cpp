#include "batch/engine/ToolWatchdog.h"

#include "batch/engine/StandardStreams.h"

#include <QString>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ToolWatchdog {

namespace {

// More than the tools that ever run at once (ToolSlots allows 64).
constexpr int kMaxGroups = 1024;
constexpr int kWatchdogFd = 3;

std::atomic_int engineEnd{-1};
pid_t watchdogPid = 0;

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
            ::kill(-group, SIGKILL);
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
    static std::once_flag started;
    std::call_once(started, start);
    const int fd = engineEnd;
    if (fd < 0)
        return;
    // One record per packet; no SIGPIPE should the watchdog be gone.
    while (::send(fd, &record, sizeof record, MSG_NOSIGNAL) < 0 && errno == EINTR) { }
}

} // namespace

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

void stop()
{
    const int fd = engineEnd.exchange(-1);
    if (fd < 0)
        return;
    ::close(fd);
    while (::waitpid(watchdogPid, nullptr, 0) < 0 && errno == EINTR) { }
}

} // namespace ToolWatchdog
