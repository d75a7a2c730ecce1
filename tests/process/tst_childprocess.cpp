#include "process/ChildProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

// The starter's own promises, for either kind of child: what a child sees open,
// the handle passed to it, and that it does not outlive the process that started it.
class TestChildProcess : public QObject
{
    Q_OBJECT

private slots:
    void descriptorsSeen_data();
    void descriptorsSeen();
    void passedHandleReachesTheChild();
    void childDiesWithItsStarter_data();
    void childDiesWithItsStarter();
};

namespace {

ChildProcess::Spec selfSpec(const QStringList &arguments, ChildProcess::Tree tree)
{
    ChildProcess::Spec spec;
    spec.program = QCoreApplication::applicationFilePath();
    spec.arguments = arguments;
    spec.environment = QProcessEnvironment::systemEnvironment().toStringList();
    spec.output = ChildProcess::Stream::Pipe;
    spec.errors = ChildProcess::Stream::Pipe;
    spec.tree = tree;
    return spec;
}

// The fields of /proc/PID/stat after the command name ("state ppid ..."); empty
// when there is no such process.
QList<QByteArray> statOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 ? line.mid(close + 2).split(' ') : QList<QByteArray>();
}

// A zombie no longer runs: its parent (init, once ours is gone) reaps it later.
bool running(qint64 pid)
{
    const QList<QByteArray> fields = statOf(pid);
    return fields.size() > 1 && fields.at(0) != "Z";
}


// Child modes.

// Prints the numbers of its open descriptors, "0 1 2".
int listDescriptors()
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return 1;
    QList<int> open;
    while (const dirent *entry = ::readdir(dir)) {
        bool number = false;
        const int fd = QByteArray(entry->d_name).toInt(&number);
        if (number && fd != ::dirfd(dir))
            open << fd;
    }
    ::closedir(dir);
    std::sort(open.begin(), open.end());
    QStringList names;
    for (int fd : open)
        names << QString::number(fd);
    std::fputs(qPrintable(names.join(QLatin1Char(' '))), stdout);
    return 0;
}

// Writes "passed" to descriptor 3.
int writePassed()
{
    return ::write(3, "passed", 6) == 6 ? 0 : 1;
}

// Starts a child of the given kind that sleeps, prints its own id, and waits to be killed.
int startSleeper(const char *tree)
{
    ChildProcess::Spec spec;
    spec.program = QStringLiteral("/bin/sleep");
    spec.arguments = QStringList{QStringLiteral("600")};
    spec.tree = qstrcmp(tree, "helpers") == 0 ? ChildProcess::Tree::Helpers : ChildProcess::Tree::Alone;
    ChildProcess child;
    if (!child.start(spec))
        return 1;
    // Once the child runs: its exec is done when start() returns.
    std::printf("%lld\n", qint64(::getpid()));
    std::fflush(stdout);
    ::pause();
    return 0;
}

} // namespace

void TestChildProcess::descriptorsSeen_data()
{
    QTest::addColumn<bool>("passed");
    QTest::addColumn<QString>("seen");
    QTest::newRow("nothing passed") << false << "0 1 2";
    QTest::newRow("a handle passed") << true << "0 1 2 3";
}

// Only the standard streams and the passed handle are open in a child, whatever
// this process holds open without close-on-exec.
void TestChildProcess::descriptorsSeen()
{
    QFETCH(bool, passed);
    QFETCH(QString, seen);
    const int inherited = ::open("/dev/null", O_RDONLY); // no O_CLOEXEC
    const int handle = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    QVERIFY(inherited >= 0 && handle >= 0);
    ChildProcess::Spec spec = selfSpec({QStringLiteral("--list-fds")}, ChildProcess::Tree::Alone);
    spec.passed = passed ? handle : -1;
    ChildProcess child;
    const bool started = child.start(spec);
    ::close(inherited);
    ::close(handle);
    QVERIFY(started);
    QVERIFY(child.wait(30000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.output()), seen);
}

void TestChildProcess::passedHandleReachesTheChild()
{
    int ends[2];
    QCOMPARE(::pipe2(ends, O_CLOEXEC), 0);
    ChildProcess::Spec spec = selfSpec({QStringLiteral("--write-passed")}, ChildProcess::Tree::Alone);
    spec.passed = ends[1];
    ChildProcess child;
    QVERIFY(child.start(spec));
    ::close(ends[1]);
    QVERIFY(child.wait(30000));
    QCOMPARE(child.exitCode(), 0);
    char text[16] = {};
    QCOMPARE(::read(ends[0], text, sizeof text), ssize_t(6));
    ::close(ends[0]);
    QCOMPARE(QByteArray(text), QByteArray("passed"));
}

void TestChildProcess::childDiesWithItsStarter_data()
{
    QTest::addColumn<QString>("tree");
    QTest::newRow("alone") << "alone";
    QTest::newRow("with helpers") << "helpers";
}

// Killed without warning, the starter takes its child along: at once (alone), or
// through the watchdog (with helpers).
void TestChildProcess::childDiesWithItsStarter()
{
    QFETCH(QString, tree);
    QProcess starter;
    starter.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start-sleeper"), tree});
    QVERIFY(starter.waitForReadyRead(30000));
    const qint64 starterPid = starter.readLine().trimmed().toLongLong();
    QCOMPARE(starterPid, starter.processId());
    // Its sleeping child (the watchdog, with helpers, is a child too, but it
    // starts only as the sleeper does).
    qint64 sleeper = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QList<QByteArray> fields = statOf(entry.toLongLong());
        QFile comm(QStringLiteral("/proc/%1/comm").arg(entry));
        if (fields.size() > 1 && fields.at(1).toLongLong() == starterPid && comm.open(QIODevice::ReadOnly)
            && comm.readAll().trimmed() == "sleep")
            sleeper = entry.toLongLong();
    }
    QVERIFY(sleeper > 0);
    QVERIFY(running(sleeper));
    ::kill(pid_t(starterPid), SIGKILL);
    QVERIFY(starter.waitForFinished(30000));
    QTRY_VERIFY(!running(sleeper));
}

int main(int argc, char **argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "--list-fds") == 0)
        return listDescriptors();
    if (argc >= 2 && qstrcmp(argv[1], "--write-passed") == 0)
        return writePassed();
    if (argc >= 3 && qstrcmp(argv[1], "--start-sleeper") == 0)
        return startSleeper(argv[2]);
    QCoreApplication app(argc, argv);
    TestChildProcess test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_childprocess.moc"
