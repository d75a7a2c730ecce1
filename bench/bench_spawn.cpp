// How a child is started: the one starter (ChildProcess, a clone) against
// posix_spawn with the same set-up (own process group, default signals, the null device and a
// pipe as standard streams, nothing else open, working folder), and posix_spawn
// behind "setpriv --pdeathsig KILL" (the parent-death signal posix_spawn cannot
// set). Each start runs /bin/true and waits for it. The process holds 256 MiB of
// touched memory and a few threads, as the viewer or a running batch does.
//
// One JSON line per method: median microseconds per start over alternating
// rounds; then what the watchdog adds to each start. usage: bench_spawn
// [STARTS_PER_ROUND] [ROUNDS]

#include "ProcessLinux.h"
#include "ProcessRunner.h"
#include "process/ChildProcess.h"
#include "process/ToolWatchdog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// argv or envp for items, pointing into bytes.
std::vector<char *> nullTerminated(const QStringList &items, QList<QByteArray> &bytes)
{
    std::transform(items.begin(), items.end(), std::back_inserter(bytes), QFile::encodeName);
    std::vector<char *> pointers;
    std::transform(bytes.begin(), bytes.end(), std::back_inserter(pointers), [](QByteArray &b) { return b.data(); });
    pointers.push_back(nullptr);
    return pointers;
}

bool spawnOnce(const QStringList &command, const QProcessEnvironment &environment)
{
    QList<QByteArray> argBytes, envBytes;
    std::vector<char *> argv = nullTerminated(command, argBytes);
    std::vector<char *> envp = nullTerminated(environment.toStringList(), envBytes);
    const QByteArray program = QFile::encodeName(command.first());
    const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    int errorPipe[2];
    if (nullFd < 0 || ::pipe2(errorPipe, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, nullFd, 0);
    posix_spawn_file_actions_adddup2(&actions, nullFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, "/");
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(nullFd);
    ::close(errorPipe[1]);
    char buffer[256];
    while (!failed && ::read(errorPipe[0], buffer, sizeof buffer) > 0) { }
    ::close(errorPipe[0]);
    int status = 0;
    return !failed && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int starts = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

    std::vector<char> ballast(256u << 20);
    for (size_t i = 0; i < ballast.size(); i += 4096)
        ballast[i] = char(i);
    std::atomic_bool done{false};
    std::vector<std::thread> idle;
    for (int i = 0; i < 4; ++i)
        idle.emplace_back([&done] {
            while (!done)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        });

    const QString truePath = QStandardPaths::findExecutable(QStringLiteral("true"));
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    const QProcessEnvironment environment = ProcessRunner::childEnvironment();
    ProcessRunner runner(QStringLiteral("/"));
    using Method = std::function<bool()>;
    std::map<QString, Method> methods{
        {QStringLiteral("clone (ProcessRunner)"), [&] { return runner.run(truePath, {}).ok(); }},
        {QStringLiteral("clone (ChildProcess, alone)"),
         [&] {
             ChildProcess child;
             ChildProcess::Spec spec;
             spec.program = truePath;
             spec.environment = environment.toStringList();
             spec.workingDir = QStringLiteral("/");
             spec.errors = ChildProcess::Stream::Pipe;
             spec.tree = ChildProcess::Tree::Alone;
             return child.start(spec) && child.wait(30000) && child.exitCode() == 0;
         }},
        {QStringLiteral("posix_spawn"), [&] { return spawnOnce({truePath}, environment); }},
    };
    if (!setpriv.isEmpty())
        methods[QStringLiteral("posix_spawn + setpriv --pdeathsig")] = [&] {
            return spawnOnce({setpriv, QStringLiteral("--pdeathsig"), QStringLiteral("KILL"), truePath}, environment);
        };
    std::map<QString, std::vector<double>> perStart;
    for (int round = 0; round < rounds; ++round) {
        std::vector<QString> order;
        for (const auto &method : methods)
            order.push_back(method.first);
        std::rotate(order.begin(), order.begin() + round % int(order.size()), order.end());
        for (const QString &name : order) {
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < starts; ++i) {
                if (!methods[name]()) {
                    std::fprintf(stderr, "bench_spawn: %s failed\n", qPrintable(name));
                    return 1;
                }
            }
            perStart[name].push_back(double(clock.nsecsElapsed()) / 1000.0 / starts);
        }
    }
    // The watchdog's share of a start: telling it of a group and of its end.
    std::vector<double> records;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < starts * 100; ++i) {
            ToolWatchdog::watch(1000000 + i);
            ToolWatchdog::unwatch(1000000 + i);
        }
        records.push_back(double(clock.nsecsElapsed()) / 1000.0 / (starts * 100));
    }
    ToolWatchdog::stop();
    std::sort(records.begin(), records.end());
    const QJsonObject watchdog{{"name", "watchdog-per-tool"},
                               {"value", records[records.size() / 2]},
                               {"unit", "us per start (watch + unwatch)"},
                               {"rounds", rounds}};
    std::printf("%s\n", QJsonDocument(watchdog).toJson(QJsonDocument::Compact).constData());
    done = true;
    for (std::thread &thread : idle)
        thread.join();
    for (auto &entry : perStart) {
        std::sort(entry.second.begin(), entry.second.end());
        const QJsonObject figure{{"name", "tool-start"},
                                 {"method", entry.first},
                                 {"value", entry.second[entry.second.size() / 2]},
                                 {"unit", "us per start"},
                                 {"starts", starts},
                                 {"rounds", rounds}};
        std::printf("%s\n", QJsonDocument(figure).toJson(QJsonDocument::Compact).constData());
    }
    return 0;
}
