#include "confinement/Confinement.h"
#include "support/EngineHarness.h"
#include "support/Fixtures.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

// What a confined decoder process can no longer do, and that both decoders let
// LibRaw parse only once they are confined.
class TestConfinement : public QObject
{
    Q_OBJECT

private slots:
    void missingLayers_data();
    void missingLayers();
    void calls_data();
    void calls();
    void parsingIsConfined_data();
    void parsingIsConfined();
};

namespace {

extern "C" char **environ;

// One attempt of the child mode, by name; another process's id where it needs one.
long attempt(const QByteArray &call, pid_t other)
{
    static const char *const trueArgs[] = {"true", nullptr};
    const rlimit zero{0, 0};
    rlimit old{};
    if (call == "open")
        return ::syscall(SYS_open, "/etc/hostname", O_RDONLY);
    if (call == "openat")
        return ::openat(AT_FDCWD, "/etc/hostname", O_RDONLY);
    if (call == "socket")
        return ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (call == "execve")
        return ::execve("/bin/true", const_cast<char *const *>(trueArgs), environ);
    if (call == "clone a process") {
        const long pid = ::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
        if (pid == 0)
            ::_exit(0);
        return pid;
    }
    if (call == "kill another")
        return ::kill(other, SIGKILL);
    if (call == "tgkill another")
        return ::syscall(SYS_tgkill, other, other, SIGKILL);
    if (call == "prlimit64 another")
        return ::syscall(SYS_prlimit64, other, RLIMIT_FSIZE, &zero, nullptr);
    if (call == "F_SETOWN")
        return ::fcntl(STDOUT_FILENO, F_SETOWN, other);
    if (call == "F_SETSIG")
        return ::fcntl(STDOUT_FILENO, F_SETSIG, SIGKILL);
    if (call == "F_SETFL O_ASYNC")
        return ::fcntl(STDOUT_FILENO, F_SETFL, O_ASYNC);
    if (call == "tgkill itself")
        return ::syscall(SYS_tgkill, ::getpid(), ::gettid(), SIGURG); // ignored by default
    if (call == "prlimit64 itself")
        return ::syscall(SYS_prlimit64, ::getpid(), RLIMIT_NOFILE, nullptr, &old)
            | ::syscall(SYS_prlimit64, 0, RLIMIT_NOFILE, nullptr, &old);
    if (call == "F_GETFL")
        return ::fcntl(STDOUT_FILENO, F_GETFL);
    if (call == "a thread") {
        std::thread thread([] { });
        thread.join();
        return 0;
    }
    errno = EINVAL;
    return -1;
}

// Child mode: --confined CALL OTHER_PID. Confines itself as the decoders do,
// tries the call and prints "done" or "refused ERRNO".
int confinedChild(char **argv)
{
    const QByteArray call = argv[2];
    const pid_t other = pid_t(QByteArray(argv[3]).toLong());
    if (!Confinement::confine()) {
        std::printf("not confined\n");
        return 1;
    }
    errno = 0;
    const long result = attempt(call, other);
    if (result < 0)
        std::printf("refused %d\n", errno);
    else
        std::printf("done\n");
    std::fflush(stdout);
    ::_exit(0);
}

QString probeLibrary()
{
    return Fixtures::binDir() + QStringLiteral("/../lib/libquorvane_parseprobe.so");
}

} // namespace

void TestConfinement::missingLayers_data()
{
    QTest::addColumn<int>("abi");
    QTest::addColumn<QStringList>("missing");
    const QString files = "Landlock file access", network = "Landlock network",
                  scope = "Landlock signal and socket scope";
    QTest::newRow("no Landlock") << 0 << QStringList{files, network, scope};
    QTest::newRow("files only") << 3 << QStringList{network, scope};
    QTest::newRow("files and network") << 4 << QStringList{scope};
    QTest::newRow("everything") << 6 << QStringList();
    QTest::newRow("a later version") << 9 << QStringList();
}

void TestConfinement::missingLayers()
{
    QFETCH(int, abi);
    QFETCH(QStringList, missing);
    QCOMPARE(Confinement::missingLayers(abi), missing);
}

void TestConfinement::calls_data()
{
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<bool>("refused");
    for (const char *call : {"open", "openat", "socket", "execve", "clone a process", "kill another",
                             "tgkill another", "prlimit64 another", "F_SETOWN", "F_SETSIG", "F_SETFL O_ASYNC"})
        QTest::newRow(call) << QByteArray(call) << true;
    // What the decoders need stays: the filter is not a wall around everything.
    for (const char *call : {"tgkill itself", "prlimit64 itself", "F_GETFL", "a thread"})
        QTest::newRow(call) << QByteArray(call) << false;
}

// Each call in a child of its own that confines itself and tries it; another
// process of the user stands by as the target, and must come out untouched.
void TestConfinement::calls()
{
    QFETCH(QByteArray, call);
    QFETCH(bool, refused);
    QProcess other;
    other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    QVERIFY(other.waitForStarted());
    const auto stopOther = qScopeGuard([&] {
        other.kill();
        other.waitForFinished();
    });
    const qint64 otherPid = other.processId();

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--confined"), QString::fromLatin1(call), QString::number(otherPid)});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.readAllStandardOutput().trimmed(), refused ? QByteArray("refused 1") : QByteArray("done"));
    QVERIFY(EngineHarness::running(otherPid));
    QFile limits(QStringLiteral("/proc/%1/limits").arg(otherPid));
    QVERIFY(limits.open(QIODevice::ReadOnly));
    const QByteArray table = limits.readAll();
    const int fileSize = table.indexOf("Max file size");
    QVERIFY(fileSize >= 0);
    QVERIFY2(table.mid(fileSize, table.indexOf('\n', fileSize) - fileSize).contains("unlimited"), table.constData());
}

void TestConfinement::parsingIsConfined_data()
{
    QTest::addColumn<QString>("tool");
    QTest::newRow("ConvertToJpg") << QStringLiteral("ConvertToJpg");
    QTest::newRow("RawDecoder") << QStringLiteral("RawDecoder");
}

// The file is opened before the process confines itself, and LibRaw's parser
// runs only after: at its first look at the header, nothing can be opened.
void TestConfinement::parsingIsConfined()
{
    QFETCH(QString, tool);
    QVERIFY(QFileInfo::exists(probeLibrary()));
    QTemporaryDir dir;
    const QString dng = dir.filePath(QStringLiteral("shot.dng"));
    QVERIFY(Fixtures::writeDng(dng, 64, 48));
    const QString program = Fixtures::binDir() + QStringLiteral("/decoder/ConverterToJpg/") + tool;

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), probeLibrary());
    // A sanitized build wants its runtime first; the probe only has to come before LibRaw.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    process.setProcessEnvironment(env);
    int channel[2] = {-1, -1};
    if (tool == QLatin1String("RawDecoder")) {
        // Its channel on descriptor 3, this process its parent (the shell execs it).
        QCOMPARE(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, channel), 0);
        QCOMPARE(::fcntl(channel[1], F_SETFD, 0), 0);
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral("exec \"$0\" --parent %1 -- \"$1\" 3<&%2")
                                                 .arg(QCoreApplication::applicationPid())
                                                 .arg(channel[1]),
                       program, dng});
        QVERIFY(process.waitForStarted());
        ::close(channel[1]);
        char reply[4096];
        QVERIFY(::read(channel[0], reply, sizeof reply) > 0); // the header was read
        // Waiting for its command now, with its limits in force.
        QFile limits(QStringLiteral("/proc/%1/limits").arg(process.processId()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        const QByteArray table = limits.readAll();
        QVERIFY2(QRegularExpression("Max file size +1024000000 +1024000000").match(table).hasMatch(), table.constData());
        QVERIFY2(QRegularExpression("Max open files +16 +16").match(table).hasMatch(), table.constData());
        ::close(channel[0]); // nothing more wanted
    } else {
        process.start(program, {dng, dir.filePath(QStringLiteral("shot.jpg"))});
    }
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray said = process.readAllStandardError();
    QVERIFY2(said.contains("parse probe: cannot open files"), said.constData());
}

int main(int argc, char **argv)
{
    if (argc >= 4 && qstrcmp(argv[1], "--confined") == 0)
        return confinedChild(argv);
    QCoreApplication app(argc, argv);
    TestConfinement test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_confinement.moc"
