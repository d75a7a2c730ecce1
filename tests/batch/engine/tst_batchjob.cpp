#include "app/AppSetup.h"
#include "batch/engine/BatchPaths.h"
#include "FileTask.h"
#include "batch/engine/BatchJob.h"
#include "LockedFolder.h"
#include "TempArea.h"
#include "process/ToolLocator.h"
#include "batch/engine/ToolSlots.h"
#include "support/EngineHarness.h"
#include "support/Fixtures.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

using namespace EngineHarness;

// What a page sees of a job, in order: "s:ROW" (its tools start), "d:ROW:1|0",
// "c:ROW" (cancelled), "end".
class Page : public QObject
{
    Q_OBJECT

public:
    QStringList events;
    QStringList paths;
    JobSummary summary;

    bool ended() const { return !events.isEmpty() && events.last() == QLatin1String("end"); }

    void started(int row) { events << QStringLiteral("s:%1").arg(row); }
    void finished(const FileResult &result)
    {
        if (result.status == FileResult::Cancelled) {
            events << QStringLiteral("c:%1").arg(result.row);
            return;
        }
        events << QStringLiteral("d:%1:%2").arg(result.row).arg(result.status == FileResult::Succeeded ? 1 : 0);
        paths << result.output;
    }
    void ended(const JobSummary &jobSummary)
    {
        summary = jobSummary;
        events << QStringLiteral("end");
    }
};

// The batch job: dispatch on the pool, the order of signals, folders, the
// temporary area, and its lifetime against its page and the process.
class TestBatchJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void emptyJobCreatesTheDefaultFolder();
    void missingChosenFolderIsNotCreated();
    void toolsAtOnce_data();
    void toolsAtOnce();
    void threadsPerTool_data();
    void threadsPerTool();
    void tempFoldersArePrivate();
    void overlappingJobsKeepTheirTemp();
    void stopMidRun_data();
    void stopMidRun();
    void pageClosedMidRun_data();
    void pageClosedMidRun();
    void processEndsWhileJobRuns_data();
    void processEndsWhileJobRuns();

private:
    static BatchJob *startJob(Page *page, const JobSettings &s, const JobFiles &files, const QString &exportDir,
                               QObject *parent);
    static BatchJob *startJob(Page *page, BatchJob *job);
    JobFiles files(const QStringList &sources) const;
    QString jpg(const QString &name);

    QTemporaryDir home;
    QTemporaryDir workDir;
    QString realMagick;
};

BatchJob *TestBatchJob::startJob(Page *page, const JobSettings &s, const JobFiles &files, const QString &exportDir,
                                   QObject *parent)
{
    return startJob(page, new BatchJob(s, files, exportDir, parent));
}

BatchJob *TestBatchJob::startJob(Page *page, BatchJob *job)
{
    connect(job, &BatchJob::fileStarted, page, &Page::started);
    connect(job, &BatchJob::fileFinished, page, &Page::finished);
    connect(job, &BatchJob::finished, page, qOverload<const JobSummary &>(&Page::ended));
    connect(job, &BatchJob::finished, job, &QObject::deleteLater);
    job->start();
    return job;
}

JobFiles TestBatchJob::files(const QStringList &sources) const
{
    JobFiles list;
    for (int i = 0; i < sources.size(); ++i)
        list.append({i + 1, sources.at(i)});
    return list;
}

QString TestBatchJob::jpg(const QString &name)
{
    const QString path = workDir.filePath(name);
    if (!QFile::exists(path))
        Fixtures::writeImage(path, QSize(16, 12));
    return path;
}

void TestBatchJob::initTestCase()
{
    AppSetup::run();
    QVERIFY(home.isValid() && workDir.isValid());
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(BatchPaths::defaultExportDir(), home.path() + "/Desktop/Pelmora图片查看器");
    realMagick = ToolLocator::program(ToolLocator::Tool::ImageMagick);
}

void TestBatchJob::cleanup()
{
    ToolSlots::setLimit(0);
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, QString());
    QDir(home.filePath("Desktop")).removeRecursively();
}

void TestBatchJob::emptyJobCreatesTheDefaultFolder()
{
    const QString defaultDir = BatchPaths::defaultExportDir();
    QVERIFY(!QFileInfo::exists(defaultDir));
    // A job sweeps the folders of ours that nobody holds, and only those.
    QVERIFY(TempArea::ensureJobTempDir());
    const QString temp = TempArea::jobTempDir();
    const QString gone = QStringLiteral("quorvane-000000000000000a");
    QVERIFY(QDir().mkpath(temp + "/" + gone + "/sub"));
    QVERIFY(Fixtures::writeBytes(temp + "/" + gone + "/.lock", ""));
    QVERIFY(Fixtures::writeBytes(temp + "/" + gone + "/sub/magick-x", "x"));
    QVERIFY(QDir().mkpath(temp + "/someone-else"));
    auto live = std::make_unique<LockedFolder>(temp, QStringLiteral("quorvane-"));
    const QString liveName = QFileInfo(live->path()).fileName();
    Page page;
    startJob(&page, settingsFor(Operation::Convert, "png"), JobFiles(), defaultDir, &page);
    QTRY_COMPARE(page.events, QStringList{"end"});
    QCOMPARE(page.summary.succeeded + page.summary.failed + page.summary.cancelled, 0);
    QVERIFY(QFileInfo(defaultDir).isDir());
    QCOMPARE(entriesBelow(temp), QStringList({liveName, liveName + "/.lock", "someone-else"}));
    live.reset();
    QVERIFY(QDir(temp + "/someone-else").removeRecursively());
}

void TestBatchJob::missingChosenFolderIsNotCreated()
{
    const QString chosen = workDir.filePath("gone");
    Page page;
    startJob(&page, settingsFor(Operation::Convert, "png"), files({jpg("m.jpg")}), chosen, &page);
    QTRY_VERIFY(page.ended());
    QVERIFY(page.events.contains("d:1:0"));
    QCOMPARE(page.summary.failed, 1);
    QVERIFY(!QFileInfo::exists(chosen));
    QVERIFY(QFileInfo(BatchPaths::defaultExportDir()).isDir());
}

void TestBatchJob::threadsPerTool_data()
{
    QTest::addColumn<int>("cores");
    QTest::addColumn<int>("running"); // tools running as one starts, itself included
    QTest::addColumn<int>("threads");
    QTest::newRow("one big file uses every core") << 2 << 1 << 2;
    QTest::newRow("a full batch: one each") << 2 << 2 << 1;
    QTest::newRow("more tools than cores") << 2 << 10 << 1;
    QTest::newRow("8 cores, 3 tools") << 8 << 3 << 2;
    QTest::newRow("no count of cores") << 0 << 1 << 1;
    QTest::newRow("asked with no slot taken") << 4 << 0 << 4;
}

void TestBatchJob::threadsPerTool()
{
    QFETCH(int, cores);
    QFETCH(int, running);
    QFETCH(int, threads);
    QCOMPARE(ToolSlots::threadsFor(cores, running), threads);
}

void TestBatchJob::toolsAtOnce_data()
{
    QTest::addColumn<int>("bound");
    QTest::addColumn<int>("fileCount");
    QTest::newRow("bound 12") << 12 << 25;
    QTest::newRow("bound 3: the others wait their turn") << 3 << 12;
    QTest::newRow("bound 1") << 1 << 5;
}

void TestBatchJob::toolsAtOnce()
{
    QFETCH(int, bound);
    QFETCH(int, fileCount);
    ToolSlots::setLimit(bound);
    // The real ImageMagick behind a wrapper that logs when each run starts and ends.
    const QString log = workDir.filePath(QStringLiteral("runs%1.log").arg(bound));
    const QByteArray wrapper = "echo s >> '" + log.toUtf8() + "'\nsleep 0.5\n'" + realMagick.toUtf8()
        + "' \"$@\"\nstatus=$?\necho e >> '" + log.toUtf8() + "'\nexit $status";
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, writeTool(workDir.path(), "logged-magick", wrapper));
    QStringList sources;
    for (int i = 0; i < fileCount; ++i)
        sources << jpg(QStringLiteral("f%1.jpg").arg(i));
    QTemporaryDir out;
    Page page;
    BatchJob *job = startJob(&page, settingsFor(Operation::Convert, "png"), files(sources), out.path(), &page);
    // The job's own pool: one thread per tool that may run, no more than files.
    QCOMPARE(job->threadCount(), qMin(bound, fileCount));
    QTRY_VERIFY_WITH_TIMEOUT(page.ended(), 120000);

    QCOMPARE(page.events.count("end"), 1);
    QCOMPARE(page.summary.succeeded, fileCount);
    for (int row = 1; row <= fileCount; ++row) {
        QCOMPARE(page.events.count(QStringLiteral("d:%1:1").arg(row)), 1);
        QCOMPARE(page.events.count(QStringLiteral("s:%1").arg(row)), 1);
        QVERIFY(page.events.indexOf(QStringLiteral("s:%1").arg(row))
                < page.events.indexOf(QStringLiteral("d:%1:1").arg(row)));
    }
    for (const QString &path : qAsConst(page.paths))
        QCOMPARE(Fixtures::imageSize(path), QSize(16, 12));

    int running = 0, most = 0;
    const QList<QByteArray> marks = readAll(log).split('\n');
    for (const QByteArray &mark : marks) {
        running += mark == "s" ? 1 : mark == "e" ? -1 : 0;
        most = qMax(most, running);
    }
    QCOMPARE(most, bound);

    // A row runs from its start to its result, never more rows than tools (the
    // next tool starts only once the last one's row has reported), and rows
    // start from the top.
    QSet<int> runningRows;
    int mostRunning = 0;
    QList<int> startOrder;
    for (const QString &event : qAsConst(page.events)) {
        if (event.startsWith("s:")) {
            runningRows.insert(event.section(':', 1, 1).toInt());
            startOrder << event.section(':', 1, 1).toInt();
        } else if (event.startsWith("d:")) {
            runningRows.remove(event.section(':', 1, 1).toInt());
        }
        mostRunning = qMax(mostRunning, runningRows.size());
    }
    QVERIFY2(mostRunning <= bound, QByteArray::number(mostRunning));
    // The first rows start first: no later row starts before one of them has ended.
    const QList<int> first = startOrder.mid(0, bound);
    QCOMPARE(QSet<int>(first.begin(), first.end()).size(), bound);
    QVERIFY(std::all_of(first.begin(), first.end(), [bound](int row) { return row <= bound; }));
}

void TestBatchJob::tempFoldersArePrivate()
{
    QVERIFY(TempArea::ensureJobTempDir());
    const QString other = TempArea::jobTempDir() + "/1-1"; // init's: it always runs
    QVERIFY(QDir().mkpath(other));
    QString firstPath;
    {
        TempFolder first, second;
        firstPath = first.path();
        QVERIFY(!first.path().isEmpty() && !second.path().isEmpty());
        QVERIFY(first.path() != second.path());
        QVERIFY(QFileInfo(first.path()).fileName().startsWith("quorvane-"));
        QVERIFY(!(QFile::permissions(first.path()) & 0x0077)); // nobody else looks in
        QVERIFY(Fixtures::writeBytes(first.path() + "/.hidden", "x"));
    }
    QVERIFY(!QFileInfo::exists(firstPath));
    QVERIFY(QFileInfo(other).isDir());
    QVERIFY(QDir(other).removeRecursively());
}

void TestBatchJob::overlappingJobsKeepTheirTemp()
{
    const QString temp = TempArea::jobTempDir();

    // Both jobs decode RAW files through the temporary folder at the same time.
    const QString dng = workDir.filePath("o.dng");
    QVERIFY(Fixtures::writeDng(dng, 32, 24));
    QTemporaryDir out;
    Page first, second;
    startJob(&first, settingsFor(Operation::Convert, "png"), files({dng, dng, dng}), out.path(), &first);
    startJob(&second, settingsFor(Operation::Convert, "jpg"), files({dng, dng}), out.path(), &second);
    QTRY_VERIFY_WITH_TIMEOUT(first.ended() && second.ended(), 60000);
    QCOMPARE(first.events.filter(QRegularExpression("^d:\\d:1$")).size(), 3);
    QCOMPARE(first.summary.succeeded, 3);
    QCOMPARE(second.events.filter(QRegularExpression("^d:\\d:1$")).size(), 2);
    QCOMPARE(entriesBelow(out.path()).size(), 5);
    QVERIFY(QFileInfo(temp).isDir());
    QCOMPARE(entriesBelow(temp), QStringList());
}

void TestBatchJob::pageClosedMidRun_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("widget page") << "widget";
    QTest::newRow("plain object") << "object";
    QTest::newRow("page detaches first") << "detach";
}

void TestBatchJob::pageClosedMidRun()
{
    QFETCH(QString, page);
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(workDir.path(), "slow-copy", "sleep 2\ncp \"$IN\" \"$OUT\""));
    QTemporaryDir out;
    Page listener;
    QObject *owner = page == "widget" ? new QWidget : new QObject;
    QPointer<BatchJob> job = startJob(&listener, settingsFor(Operation::Convert, "png"),
                                       files({jpg("c1.jpg"), jpg("c2.jpg"), jpg("c3.jpg")}), out.path(), owner);
    QTRY_VERIFY(listener.events.contains("s:1"));
    if (page == "detach")
        job->detach();
    delete owner; // the toolbox closes with its pages
    QVERIFY(job); // still running, no longer owned by the page
    QVERIFY(!job->parent());
    QTRY_VERIFY_WITH_TIMEOUT(!job, 20000); // deleted itself when it ended
    QVERIFY(listener.ended());
    QCOMPARE(entriesBelow(out.path()), QStringList({"c1.png", "c2.png", "c3.png"}));
}

void TestBatchJob::stopMidRun_data()
{
    QTest::addColumn<int>("fileCount");
    QTest::newRow("every file dispatched") << 4;
    QTest::newRow("files still waiting for the pool") << 14;
}

void TestBatchJob::stopMidRun()
{
    QFETCH(int, fileCount);
    ToolSlots::setLimit(2);
    QTemporaryDir work;
    const QByteArray pids = QFile::encodeName(work.filePath("pids"));
    // The first tool to run copies its file; every later one writes half its output and hangs.
    const QByteArray first = QFile::encodeName(work.filePath("first"));
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(work.path(), "hang",
                                       "if mkdir '" + first
                                           + "' 2>/dev/null; then cp \"$IN\" \"$OUT\"; exit 0; fi\necho $$ >> '" + pids
                                           + "'\nprintf half > \"$OUT\"\nexec sleep 60"));
    QStringList sources;
    for (int i = 0; i < fileCount; ++i) {
        sources << work.filePath(QStringLiteral("s%1.jpg").arg(i));
        QVERIFY(Fixtures::writeImage(sources.last(), QSize(8, 8)));
    }
    QDir(work.path()).mkdir("out");
    const QString out = work.filePath("out");
    Page page;
    QPointer<BatchJob> job = startJob(&page, settingsFor(Operation::Convert, "png"), files(sources), out, &page);
    const auto stopOnFailure = qScopeGuard([&job] {
        if (job)
            job->stop();
    });
    QTRY_VERIFY_WITH_TIMEOUT(page.events.filter("d:").size() == 1 && readAll(work.filePath("pids")).count('\n') == 2,
                             20000);
    QVERIFY(page.events.filter("d:").first().endsWith(":1"));
    const QString finished = page.events.filter("d:").first().section(':', 1, 1);

    job->stop();
    // The running tools are ended promptly.
    const QList<QByteArray> running = readAll(work.filePath("pids")).split('\n');
    QTRY_VERIFY_WITH_TIMEOUT(
        std::none_of(running.begin(), running.end(),
                     [](const QByteArray &pid) { return !pid.isEmpty() && QFileInfo::exists("/proc/" + pid); }),
        1000);
    QTRY_VERIFY(page.ended());

    // The finished file stays, every other row is cancelled once and has no
    // other result, and nothing half-written is left.
    QCOMPARE(page.events.filter(QRegularExpression("^[dc]:")).size(), fileCount);
    for (int row = 1; row <= fileCount; ++row) {
        if (QString::number(row) != finished)
            QCOMPARE(page.events.count(QStringLiteral("c:%1").arg(row)), 1);
    }
    QCOMPARE(page.events.count("end"), 1);
    QCOMPARE(page.summary.succeeded, 1);
    QCOMPARE(page.summary.cancelled, fileCount - 1);
    QCOMPARE(entriesBelow(out), QStringList{QFileInfo(page.paths.first()).fileName()});
    QCOMPARE(readAll(work.filePath("pids")).count('\n'), 2); // no tool started after the stop
}

void TestBatchJob::processEndsWhileJobRuns_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("shutdownAll, then exit(1)") << "shutdown" << 1;
    QTest::newRow("exit(1) alone") << "exit" << 1;
    QTest::newRow("event loop quits") << "quit" << 0;
}

void TestBatchJob::processEndsWhileJobRuns()
{
    QFETCH(QString, mode);
    QFETCH(int, exitCode);
    QTemporaryDir work;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {"--shutdown-child", mode, work.path()});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), exitCode);
    QVERIFY2(clock.elapsed() < 8000, QByteArray::number(clock.elapsed()));

    // The stuck programs were ended, and what they half wrote is gone.
    const QList<QByteArray> pids = readAll(work.filePath("pids")).split('\n');
    QVERIFY(pids.size() > 1);
    for (const QByteArray &pid : pids) {
        if (!pid.isEmpty())
            QVERIFY2(!QFileInfo::exists("/proc/" + pid), pid.constData());
    }
    QCOMPARE(entriesBelow(work.filePath("out")), QStringList());
}

namespace {

// The child of processEndsWhileJobRuns: starts a job whose program writes half a
// file and hangs, then ends the process the way the mode says.
int shutdownChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    AppSetup::setUtf8Codec();
    // Two tools hang; the third file waits for a slot when the process ends.
    ToolSlots::setLimit(2);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString work = QString::fromLocal8Bit(argv[3]);
    QDir(work).mkdir("out");
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(work, "hang",
                                       "printf half > \"$OUT\"\necho $$ >> '" + QFile::encodeName(work)
                                           + "/pids'\nexec sleep 60"));
    JobFiles list;
    for (int i = 0; i < 3; ++i) {
        const QString source = work + QStringLiteral("/s%1.jpg").arg(i);
        Fixtures::writeImage(source, QSize(8, 8));
        list.append({i, source});
    }
    QObject page;
    auto *job = new BatchJob(settingsFor(Operation::Convert, "png"), list, work + "/out", &page);
    QObject::connect(job, &BatchJob::fileFinished, &page, [] {});
    QObject::connect(job, &BatchJob::finished, job, &QObject::deleteLater);
    job->start();

    // Once every program has written its half file (a tool notes its pid after
    // it), end the process.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (readAll(work + "/pids").count('\n') < 2)
            return;
        if (mode == "shutdown") {
            BatchJob::shutdownAll();
            std::exit(1);
        } else if (mode == "exit") {
            std::exit(1);
        } else {
            app.quit();
        }
    });
    poll.start(20);
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--shutdown-child") == 0)
        return shutdownChild(argc, argv);
    QApplication app(argc, argv);
    TestBatchJob test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_batchjob.moc"
