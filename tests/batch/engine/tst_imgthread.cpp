#include "app/AppSetup.h"
#include "batch/engine/BatchPaths.h"
#include "batch/engine/FileTask.h"
#include "batch/engine/BatchJob.h"
#include "batch/engine/LockedFolder.h"
#include "batch/engine/TempArea.h"
#include "batch/engine/ToolLocator.h"
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

using FileList = QList<QMap<QString, QString>>;

// What a page sees of a job, in order: "p:ROW:VALUE", "d:ROW:1|0", "end".
class Page : public QObject
{
    Q_OBJECT

public:
    QStringList events;
    QStringList paths;

    bool ended() const { return !events.isEmpty() && events.last() == QLatin1String("end"); }

public slots:
    void setProgress(int progress, int row) { events << QStringLiteral("p:%1:%2").arg(row).arg(progress); }
    void done(const QString &path, int row, bool success)
    {
        if (row == -1 && path.isEmpty() && success) {
            events << QStringLiteral("end");
            return;
        }
        events << QStringLiteral("d:%1:%2").arg(row).arg(success ? 1 : 0);
        paths << path;
    }
    void cancelled(int row) { events << QStringLiteral("c:%1").arg(row); }
};

// The batch job: dispatch on the pool, the order of signals, folders, the
// temporary area, and its lifetime against its page and the process.
class TestImgThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void emptyJobCreatesTheDefaultFolder();
    void missingChosenFolderIsNotCreated();
    void mapsWithoutIdOrPath();
    void toolsAtOnce_data();
    void toolsAtOnce();
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

BatchJob *TestImgThread::startJob(Page *page, const JobSettings &s, const JobFiles &files, const QString &exportDir,
                                   QObject *parent)
{
    return startJob(page, new BatchJob(s, files, exportDir, parent));
}

BatchJob *TestImgThread::startJob(Page *page, BatchJob *job)
{
    connect(job, &BatchJob::notifyParentProgress, page, &Page::setProgress);
    connect(job, &BatchJob::notifyParentDone, page, &Page::done);
    connect(job, &BatchJob::notifyParentCancelled, page, &Page::cancelled);
    connect(job, &QThread::finished, job, &QObject::deleteLater);
    job->start();
    return job;
}

JobFiles TestImgThread::files(const QStringList &sources) const
{
    JobFiles list;
    for (int i = 0; i < sources.size(); ++i)
        list.append({i + 1, sources.at(i)});
    return list;
}

QString TestImgThread::jpg(const QString &name)
{
    const QString path = workDir.filePath(name);
    if (!QFile::exists(path))
        Fixtures::writeImage(path, QSize(16, 12));
    return path;
}

void TestImgThread::initTestCase()
{
    AppSetup::run();
    QVERIFY(home.isValid() && workDir.isValid());
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(BatchPaths::defaultExportDir(), home.path() + "/Desktop/Pelmora图片查看器");
    realMagick = ToolLocator::program(ToolLocator::Tool::ImageMagick);
}

void TestImgThread::cleanup()
{
    ToolSlots::setLimit(0);
    FileTask::setProgressInterval(1000);
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, QString());
    QDir(home.filePath("Desktop")).removeRecursively();
}

void TestImgThread::emptyJobCreatesTheDefaultFolder()
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
    startJob(&page, settingsFor(BatchOp::Convert, 2), JobFiles(), defaultDir, &page);
    QTRY_COMPARE(page.events, QStringList{"end"});
    QVERIFY(QFileInfo(defaultDir).isDir());
    QCOMPARE(entriesBelow(temp), QStringList({liveName, liveName + "/.lock", "someone-else"}));
    live.reset();
    QVERIFY(QDir(temp + "/someone-else").removeRecursively());
}

void TestImgThread::missingChosenFolderIsNotCreated()
{
    const QString chosen = workDir.filePath("gone");
    Page page;
    startJob(&page, settingsFor(BatchOp::Convert, 2), files({jpg("m.jpg")}), chosen, &page);
    QTRY_VERIFY(page.ended());
    QVERIFY(page.events.contains("d:1:0"));
    QVERIFY(!QFileInfo::exists(chosen));
    QVERIFY(QFileInfo(BatchPaths::defaultExportDir()).isDir());
}

void TestImgThread::mapsWithoutIdOrPath()
{
    QTemporaryDir out;
    auto *list = new FileList{{{"path", jpg("n1.jpg")}}, {{"id", "x7"}, {"path", jpg("n2.jpg")}}, {{"id", "5"}}};
    Page page;
    // The design's constructor: one map per file, "id" and "path".
    const JobSettings s = settingsFor(BatchOp::Convert, 2);
    startJob(&page,
             new BatchJob(s.imgType, s.formatIndex, s.qualityValue, s.zoomWidth, s.zoomHeight, s.rotateDegree,
                           s.isFlop, s.isFlip, list, out.path(), &page));
    QTRY_VERIFY(page.ended());
    QCOMPARE(page.events.filter("d:").size(), 3);
    QCOMPARE(page.events.filter("d:0:1").size(), 2);
    QVERIFY(page.events.contains("d:5:0"));
}

void TestImgThread::toolsAtOnce_data()
{
    QTest::addColumn<int>("bound");
    QTest::addColumn<int>("fileCount");
    QTest::newRow("bound above the pool: ten workers at once") << 12 << 25;
    QTest::newRow("bound 3: the others wait their turn") << 3 << 12;
    QTest::newRow("bound 1") << 1 << 5;
}

void TestImgThread::toolsAtOnce()
{
    QFETCH(int, bound);
    QFETCH(int, fileCount);
    ToolSlots::setLimit(bound);
    FileTask::setProgressInterval(20);
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
    startJob(&page, settingsFor(BatchOp::Convert, 2), files(sources), out.path(), &page);
    QTRY_VERIFY_WITH_TIMEOUT(page.ended(), 120000);

    QCOMPARE(page.events.count("end"), 1);
    for (int row = 1; row <= fileCount; ++row) {
        QCOMPARE(page.events.count(QStringLiteral("d:%1:1").arg(row)), 1);
        QCOMPARE(page.events.count(QStringLiteral("p:%1:100").arg(row)), 1);
        QVERIFY(page.events.indexOf(QStringLiteral("p:%1:3").arg(row))
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
    QCOMPARE(most, qMin(bound, BatchJob::kPoolThreads));

    // Rows step past 3 % only while their tool runs (one more while a slot
    // changes hands: the next tool starts as the last one's row reports), and
    // the pool still shows every waiting file at 3 %.
    QSet<int> stepping;
    int mostStepping = 0;
    const QRegularExpression progress("^p:(\\d+):(\\d+)$");
    for (const QString &event : qAsConst(page.events)) {
        const QRegularExpressionMatch m = progress.match(event);
        if (m.hasMatch() && m.captured(2).toInt() > 3 && m.captured(2).toInt() < 100)
            stepping.insert(m.captured(1).toInt());
        else if (event.startsWith("d:"))
            stepping.remove(event.section(':', 1, 1).toInt());
        mostStepping = qMax(mostStepping, stepping.size());
    }
    QVERIFY2(mostStepping <= bound + 1, QByteArray::number(mostStepping));
    const int firstDone = page.events.indexOf(QRegularExpression("d:.*"));
    QCOMPARE(page.events.mid(0, firstDone).filter(QRegularExpression("^p:\\d+:3$")).size(),
             qMin(fileCount, BatchJob::kPoolThreads));
}

void TestImgThread::tempFoldersArePrivate()
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

void TestImgThread::overlappingJobsKeepTheirTemp()
{
    const QString temp = TempArea::jobTempDir();

    // Both jobs decode RAW files through the temporary folder at the same time.
    const QString dng = workDir.filePath("o.dng");
    QVERIFY(Fixtures::writeDng(dng, 32, 24));
    QTemporaryDir out;
    Page first, second;
    startJob(&first, settingsFor(BatchOp::Convert, 2), files({dng, dng, dng}), out.path(), &first);
    startJob(&second, settingsFor(BatchOp::Convert, 0), files({dng, dng}), out.path(), &second);
    QTRY_VERIFY_WITH_TIMEOUT(first.ended() && second.ended(), 60000);
    QCOMPARE(first.events.filter(QRegularExpression("^d:\\d:1$")).size(), 3);
    QCOMPARE(second.events.filter(QRegularExpression("^d:\\d:1$")).size(), 2);
    QCOMPARE(entriesBelow(out.path()).size(), 5);
    QVERIFY(QFileInfo(temp).isDir());
    QCOMPARE(entriesBelow(temp), QStringList());
}

void TestImgThread::pageClosedMidRun_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("widget page") << "widget";
    QTest::newRow("plain object") << "object";
    QTest::newRow("page detaches first") << "detach";
}

void TestImgThread::pageClosedMidRun()
{
    QFETCH(QString, page);
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(workDir.path(), "slow-copy", "sleep 2\ncp \"$IN\" \"$OUT\""));
    QTemporaryDir out;
    Page listener;
    QObject *owner = page == "widget" ? new QWidget : new QObject;
    QPointer<BatchJob> job = startJob(&listener, settingsFor(BatchOp::Convert, 2),
                                       files({jpg("c1.jpg"), jpg("c2.jpg"), jpg("c3.jpg")}), out.path(), owner);
    QTRY_VERIFY(listener.events.contains("p:3:3"));
    if (page == "detach")
        job->detach();
    delete owner; // the toolbox closes with its pages
    QVERIFY(job); // still running, no longer owned by the page
    QVERIFY(!job->parent());
    QTRY_VERIFY_WITH_TIMEOUT(!job, 20000); // deleted itself when it ended
    QVERIFY(listener.ended());
    QCOMPARE(entriesBelow(out.path()), QStringList({"c1.png", "c2.png", "c3.png"}));
}

void TestImgThread::stopMidRun_data()
{
    QTest::addColumn<int>("fileCount");
    QTest::newRow("every file dispatched") << 4;
    QTest::newRow("files still waiting for the pool") << 14;
}

void TestImgThread::stopMidRun()
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
    QPointer<BatchJob> job = startJob(&page, settingsFor(BatchOp::Convert, 2), files(sources), out, &page);
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
    QCOMPARE(entriesBelow(out), QStringList{QFileInfo(page.paths.first()).fileName()});
    QCOMPARE(readAll(work.filePath("pids")).count('\n'), 2); // no tool started after the stop
}

void TestImgThread::processEndsWhileJobRuns_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("shutdownAll, then exit(1)") << "shutdown" << 1;
    QTest::newRow("exit(1) alone") << "exit" << 1;
    QTest::newRow("event loop quits") << "quit" << 0;
}

void TestImgThread::processEndsWhileJobRuns()
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
    QVERIFY2(clock.elapsed() < 8000, QByteArray::number(clock.elapsed())); // about 2 s of it is the child's own wait

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
    BatchJob::setUpPool();
    // Two tools hang; the third file waits for a slot when the process ends.
    ToolSlots::setLimit(2);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString work = QString::fromLocal8Bit(argv[3]);
    QDir(work).mkdir("out");
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(work, "hang",
                                       "echo $$ >> '" + QFile::encodeName(work)
                                           + "/pids'\n"
                                             "printf half > \"$OUT\"\nexec sleep 60"));
    auto *list = new FileList;
    for (int i = 0; i < 3; ++i) {
        const QString source = work + QStringLiteral("/s%1.jpg").arg(i);
        Fixtures::writeImage(source, QSize(8, 8));
        list->append({{"id", QString::number(i)}, {"path", source}});
    }
    QObject page;
    auto *job = new BatchJob(BatchOp::Convert, 2, -1, -1, -1, QString(), false, false, list, work + "/out", &page);
    QObject::connect(job, &BatchJob::notifyParentProgress, &page, [] {});
    QObject::connect(job, &QThread::finished, job, &QObject::deleteLater);
    job->start();

    // Once every program has written its half file and a worker has had time to
    // block on a progress signal, end the process.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (readAll(work + "/pids").count('\n') < 2)
            return;
        QThread::msleep(1500);
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
    TestImgThread test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_imgthread.moc"
