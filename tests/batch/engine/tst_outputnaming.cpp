#include "batch/engine/BatchPaths.h"
#include "batch/engine/BatchTypes.h"
#include "LockedFolder.h"
#include "NameReservation.h"
#include "OutputNaming.h"
#include "TempArea.h"
#include "support/EngineHarness.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

// Output and intermediate names, with a fixed clock and a fixed set of existing
// paths; the shared name registry; the temporary folder.
class TestOutputNaming : public QObject
{
    Q_OBJECT

private slots:
    void outputTarget_data();
    void outputTarget();
    void outputSuffix_data();
    void outputSuffix();
    void timeStamps();
    void intermediates();
    void reservationKeepsWorkersApart();
    void chooseTempDir_data();
    void chooseTempDir();
    void frameFolder_data();
    void frameFolder();
    void sweepTakesOnlyAbandonedFoldersOfOurs();
    void sweepNeverFollowsLinks();
    void tempRootBehindALinkIsRefused();
    void fallbackTempDir_data();
    void fallbackTempDir();
    void defaultExportDirFollowsHome();
};

namespace {

// The 8th at 15:30:12.045.
const QDateTime kNow(QDate(2024, 3, 8), QTime(15, 30, 12, 45));

JobSettings jobOf(Operation operation, const QString &format = QString())
{
    JobSettings s;
    s.operation = operation;
    if (!format.isEmpty())
        s.format = format;
    return s;
}

OutputNaming::ExistsFn existing(const QStringList &paths)
{
    return [paths](const QString &path) { return paths.contains(path); };
}

} // namespace

void TestOutputNaming::outputTarget_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("exists");
    QTest::addColumn<QString>("output");

    const Operation convert = Operation::Convert;
    const Operation rotate = Operation::Rotate;
    QTest::newRow("conversion cuts at the last dot") << convert << "png" << "/s/a.b.jpg" << QStringList() << "/o/a.b.png";
    QTest::newRow("rotation cuts at the last dot too")
        << rotate << "" << "/s/2024.06.01 beach.jpg" << QStringList() << "/o/2024.06.01 beach.jpg";
    QTest::newRow("date-named photos stay apart")
        << rotate << "" << "/s/holiday.2024.city.png" << QStringList{"/o/holiday.png"} << "/o/holiday.2024.city.png";
    QTest::newRow("rotation keeps the suffix, lower case") << rotate << "" << "/s/P.JPG" << QStringList() << "/o/P.jpg";
    QTest::newRow("taken: time stamp and row")
        << convert << "png" << "/s/x.jpg" << QStringList{"/o/x.png"} << "/o/x_081530124.png";
    QTest::newRow("stamped name taken too: counted on")
        << convert << "png" << "/s/x.jpg" << QStringList{"/o/x.png", "/o/x_081530124.png", "/o/x_081530124_1.png"}
        << "/o/x_081530124_2.png";
    QTest::newRow("name without a dot") << convert << "jpg" << "/s/README" << QStringList() << "/o/README.jpg";
    // One picture is one file beside the others, whatever the source's format;
    // a folder comes only once several pictures were written (frameFolder).
    QTest::newRow("gif") << convert << "png" << "/s/anim.gif" << QStringList() << "/o/anim.png";
    QTest::newRow("webp, any case") << convert << "jpg" << "/s/v.WebP" << QStringList() << "/o/v.jpg";
    QTest::newRow("resizing names as conversion does")
        << Operation::Resize << "png" << "/s/anim.b.gif" << QStringList() << "/o/anim.b.png";
    QTest::newRow("tiff") << convert << "png" << "/s/l.tiff" << QStringList() << "/o/l.png";
    QTest::newRow("a folder of the name does not matter")
        << convert << "png" << "/s/l.psd" << QStringList{"/o/l"} << "/o/l.png";
    QTest::newRow("compression keeps the format")
        << Operation::Compress << "" << "/s/c.d.PNG" << QStringList() << "/o/c.d.png";
}

void TestOutputNaming::outputTarget()
{
    QFETCH(Operation, operation);
    QFETCH(QString, format);
    QFETCH(QString, source);
    QFETCH(QStringList, exists);
    QFETCH(QString, output);
    const QString fmt = OutputNaming::outputSuffix(jobOf(operation, format), source);
    QCOMPARE(OutputNaming::outputTarget(source, fmt, QStringLiteral("/o"), 4, kNow, existing(exists)), output);
}

void TestOutputNaming::outputSuffix_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("fmt");
    const QStringList table{"jpg", "jpeg", "png", "bmp", "tif", "tiff", "webp", "tga", "gif"};
    for (int i = 0; i < table.size(); ++i)
        QTest::addRow("%s", qPrintable(table.at(i))) << Operation::Convert << table.at(i) << "/s/a.png" << table.at(i);
    QTest::newRow("keep") << Operation::Compress << "" << "/s/a.JPEG"
                          << "jpeg";
    QTest::newRow("compress to a table format") << Operation::Compress << "jpg" << "/s/a.png"
                                                << "jpg";
    QTest::newRow("format outside the table") << Operation::Convert << "svg" << "/s/a.png"
                                             << "";
    QTest::newRow("no suffix to keep") << Operation::Rotate << "" << "/s/a"
                                       << "";
}

void TestOutputNaming::outputSuffix()
{
    QFETCH(Operation, operation);
    QFETCH(QString, format);
    QFETCH(QString, source);
    QFETCH(QString, fmt);
    QCOMPARE(OutputNaming::outputSuffix(jobOf(operation, format), source), fmt);
}

void TestOutputNaming::timeStamps()
{
    QCOMPARE(OutputNaming::timeStamp(kNow), QStringLiteral("08153012"));
    QCOMPARE(OutputNaming::timeStampMs(kNow), QStringLiteral("08153012045"));
    const QDateTime evening(QDate(2024, 1, 31), QTime(21, 5, 9, 7));
    QCOMPARE(OutputNaming::timeStamp(evening), QStringLiteral("31210509"));
    QCOMPARE(OutputNaming::timeStampMs(evening), QStringLiteral("31210509007"));
}

void TestOutputNaming::intermediates()
{
    QCOMPARE(OutputNaming::rawIntermediateDir("/t", kNow, existing({})), QStringLiteral("/t/08153012045"));
    QCOMPARE(OutputNaming::rawIntermediateDir("/t", kNow, existing({"/t/08153012045"})),
             QStringLiteral("/t/08153012045_1"));
    QCOMPARE(OutputNaming::rawIntermediateDir("/t", kNow, existing({"/t/08153012045.jpg"})),
             QStringLiteral("/t/08153012045_1"));
    QCOMPARE(OutputNaming::compressIntermediate("/t", "a.b", "png", kNow, existing({})),
             QStringLiteral("/t/a.b_08153012.png"));
    QCOMPARE(OutputNaming::compressIntermediate("/t", "a", "png", kNow, existing({"/t/a_08153012.png"})),
             QStringLiteral("/t/a_08153012_1.png"));
}

void TestOutputNaming::reservationKeepsWorkersApart()
{
    // Eight workers converting the same file at the same second into a folder that
    // already holds x.png: every one gets its own name.
    QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath("x.png")).open(QIODevice::WriteOnly));
    const JobSettings s = jobOf(Operation::Convert, "png");
    std::vector<std::unique_ptr<NameReservation>> holders;
    std::vector<QString> picked(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        holders.push_back(std::make_unique<NameReservation>());
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            picked[size_t(i)] = holders[size_t(i)]->claim([&](const OutputNaming::ExistsFn &exists) {
                return OutputNaming::outputTarget("/s/x.jpg", "png", dir.path(), 4, kNow, exists);
            });
        });
    }
    for (auto &thread : threads)
        thread.join();
    QCOMPARE(QSet<QString>(picked.begin(), picked.end()).size(), 8);
    const QStringList names(picked.begin(), picked.end());
    QVERIFY(!names.contains(dir.filePath("x.png")));
    QVERIFY(names.contains(dir.filePath("x_081530124.png")));

    // Released names are free again.
    holders.clear();
    NameReservation again;
    QCOMPARE(again.claim([&](const OutputNaming::ExistsFn &exists) {
        return OutputNaming::outputTarget("/s/x.jpg", "png", dir.path(), 4, kNow, exists);
    }),
             dir.filePath("x_081530124.png"));
}

void TestOutputNaming::chooseTempDir_data()
{
    QTest::addColumn<bool>("tempExists");
    QTest::addColumn<QStringList>("writable");
    QTest::addColumn<bool>("inApp");
    QTest::newRow("writable application folder") << false << QStringList{"app"} << true;
    QTest::newRow("existing writable temp") << true << QStringList{"temp"} << true;
    QTest::newRow("installed: nothing writable") << false << QStringList() << false;
    QTest::newRow("temp present but read-only") << true << QStringList{"app"} << false;
}

void TestOutputNaming::chooseTempDir()
{
    QFETCH(bool, tempExists);
    QFETCH(QStringList, writable);
    QFETCH(bool, inApp);
    QTemporaryDir app;
    if (tempExists)
        QVERIFY(QDir(app.path()).mkdir("temp"));
    const QString chosen = TempArea::chooseTempDir(app.path(), "/cache", [&](const QString &path) {
        return writable.contains(path == app.path() ? QStringLiteral("app") : QFileInfo(path).fileName());
    });
    QCOMPARE(chosen, inApp ? app.filePath("temp") : QStringLiteral("/cache/quorvane/temp"));
}

void TestOutputNaming::frameFolder_data()
{
    QTest::addColumn<QStringList>("exists");
    QTest::addColumn<QString>("folder");
    QTest::newRow("free") << QStringList() << "/o/x";
    QTest::newRow("a file x.jpg does not matter") << QStringList{"/o/x.jpg"} << "/o/x";
    QTest::newRow("taken") << QStringList{"/o/x"} << "/o/x_081530124";
    QTest::newRow("stamped name taken too: counted on") << QStringList{"/o/x", "/o/x_081530124"} << "/o/x_081530124_1";
}

void TestOutputNaming::frameFolder()
{
    QFETCH(QStringList, exists);
    QFETCH(QString, folder);
    QCOMPARE(OutputNaming::frameFolder("/o", "x", "081530124", existing(exists)), folder);
}

namespace {

// A folder of ours left by a process that is gone: its lock file, nobody's lock.
QString abandonedFolder(const QString &root, const QString &prefix, const char *hex)
{
    const QString folder = root + '/' + prefix + hex;
    if (!QDir().mkpath(folder) || !Fixtures::writeBytes(folder + "/.lock", ""))
        return QString();
    return folder;
}

} // namespace

void TestOutputNaming::sweepTakesOnlyAbandonedFoldersOfOurs()
{
    // Only a folder of ours whose lock is free goes: not a live one (its lock held
    // through another open file, as by another process), not one of someone else's
    // whatever its name, not a link to a folder, not a file.
    QTemporaryDir root, elsewhere;
    const QString prefix = TempArea::kFolderPrefix;
    LockedFolder live(root.path(), prefix);
    QVERIFY(!live.path().isEmpty());
    QVERIFY(QFileInfo(live.path() + "/.lock").isFile());
    const QString gone = abandonedFolder(root.path(), prefix, "00000000000000aa");
    QVERIFY(!gone.isEmpty());
    for (const char *foreign : {"2024-01", "2024-02", "999999999-1", "quorvane-x", "quorvane-00000000000000ab.d"})
        QVERIFY(QDir(root.path()).mkdir(foreign));
    QVERIFY(!abandonedFolder(elsewhere.path(), prefix, "00000000000000ac").isEmpty());
    QVERIFY(QFile::link(elsewhere.filePath(prefix + "00000000000000ac"), root.filePath(prefix + "00000000000000ad")));
    QVERIFY(Fixtures::writeBytes(root.filePath(prefix + "00000000000000ae"), "a file"));

    QCOMPARE(TempArea::staleFolders(root.path()), QStringList{QFileInfo(gone).fileName()});
    QCOMPARE(LockedFolder::sweep(root.path(), prefix), QStringList{QFileInfo(gone).fileName()});
    QVERIFY(!QFileInfo::exists(gone));
    QVERIFY(QFileInfo(live.path()).isDir());
    QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(), 8);
    QVERIFY(QFileInfo(elsewhere.filePath(prefix + "00000000000000ac/.lock")).isFile());

    const QString livePath = live.path();
    live.remove();
    QVERIFY(!QFileInfo::exists(livePath));
}

void TestOutputNaming::sweepNeverFollowsLinks()
{
    // An abandoned folder may hold links into the user's files: they go, the files stay.
    QVERIFY(TempArea::ensureJobTempDir());
    const QString dead = abandonedFolder(TempArea::jobTempDir(), TempArea::kFolderPrefix, "00000000000000ff");
    QVERIFY(!dead.isEmpty());
    QTemporaryDir keep;
    QVERIFY(QDir().mkpath(dead + "/sub/.hiddendir"));
    for (const QString &file : {dead + "/.hidden", dead + "/sub/.hiddendir/c", keep.filePath("user.png")})
        QVERIFY(Fixtures::writeBytes(file, "x"));
    QVERIFY(QFile::link(keep.path(), dead + "/linkdir"));
    QVERIFY(QFile::link(keep.filePath("user.png"), dead + "/sub/link.png"));
    TempArea::sweep();
    QVERIFY(!QFileInfo::exists(dead));
    QVERIFY(QFile::exists(keep.filePath("user.png")));
}

void TestOutputNaming::tempRootBehindALinkIsRefused()
{
    // The temporary folder moved to a bigger disk and replaced by a link: nothing
    // is made or swept there, and a file says why it cannot be converted.
    const QString root = TempArea::jobTempDir();
    const QString saved = root + ".saved";
    QVERIFY(!QFileInfo::exists(saved));
    QVERIFY(!QFileInfo::exists(root) || QDir().rename(root, saved));
    const auto restore = qScopeGuard([&] {
        QFile::remove(root);
        if (QFileInfo::exists(saved))
            QDir().rename(saved, root);
    });
    QTemporaryDir target;
    for (const char *foreign : {"2024-01/a.txt", "2024-02/b.txt"}) {
        QVERIFY(QDir().mkpath(QFileInfo(target.filePath(foreign)).path()));
        QVERIFY(Fixtures::writeBytes(target.filePath(foreign), "keep"));
    }
    QVERIFY(!abandonedFolder(target.path(), TempArea::kFolderPrefix, "00000000000000ee").isEmpty());
    QVERIFY(QFile::link(target.path(), root));

    TempArea::sweep();
    TempFolder folder;
    QVERIFY(folder.path().isEmpty());
    QCOMPARE(folder.problem(),
             QStringLiteral("the temporary folder %1 is a symbolic link; the program only works in a folder of "
                            "its own (make it a real folder)")
                 .arg(root));
    QCOMPARE(QDir(target.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"2024-01", "2024-02", QStringLiteral("quorvane-00000000000000ee")}));
    QCOMPARE(EngineHarness::readAll(target.filePath("2024-01/a.txt")), QByteArray("keep"));
}

void TestOutputNaming::fallbackTempDir_data()
{
    QTest::addColumn<QString>("runtimeDir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("runtime folder") << "/" << "/quorvane";
    QTest::newRow("no runtime folder") << "" << "/tmp/quorvane-65534";
    QTest::newRow("runtime folder missing") << "/nonexistent-runtime" << "/tmp/quorvane-65534";
}

void TestOutputNaming::fallbackTempDir()
{
    QFETCH(QString, runtimeDir);
    QFETCH(QString, expected);
    QCOMPARE(TempArea::fallbackTempDir(runtimeDir, 65534), expected);
}

void TestOutputNaming::defaultExportDirFollowsHome()
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    const QString dir = BatchPaths::defaultExportDir();
    qputenv("HOME", oldHome);
    if (!oldConfig.isEmpty())
        qputenv("XDG_CONFIG_HOME", oldConfig);
    QCOMPARE(dir, home.path() + QStringLiteral("/Desktop/Pelmora图片查看器"));
}

QTEST_GUILESS_MAIN(TestOutputNaming)
#include "tst_outputnaming.moc"
