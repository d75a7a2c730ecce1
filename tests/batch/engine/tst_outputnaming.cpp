#include "batch/engine/BatchPaths.h"
#include "batch/engine/BatchTypes.h"
#include "batch/engine/NameReservation.h"
#include "batch/engine/OutputNaming.h"
#include "batch/engine/TempArea.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
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
    void frameSetTarget_data();
    void frameSetTarget();
    void staleTempFolders();
    void sweepNeverFollowsLinks();
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
    QTest::addColumn<QString>("frameDir");

    const Operation convert = Operation::Convert;
    QTest::newRow("conversion cuts at the last dot") << convert << "png" << "/s/a.b.jpg" << QStringList() << "/o/a.b.png"
                                                     << "";
    QTest::newRow("rotation cuts at the first dot")
        << Operation::Rotate << "" << "/s/a.b.jpg" << QStringList() << "/o/a.jpg"
        << "";
    QTest::newRow("rotation keeps the suffix, lower case")
        << Operation::Rotate << "" << "/s/P.JPG" << QStringList() << "/o/P.jpg"
        << "";
    QTest::newRow("taken: time stamp and row")
        << convert << "png" << "/s/x.jpg" << QStringList{"/o/x.png"} << "/o/x_081530124.png"
        << "";
    QTest::newRow("stamped name taken too: counted on")
        << convert << "png" << "/s/x.jpg" << QStringList{"/o/x.png", "/o/x_081530124.png", "/o/x_081530124_1.png"}
        << "/o/x_081530124_2.png"
        << "";
    QTest::newRow("name without a dot") << convert << "jpg" << "/s/README" << QStringList() << "/o/README.jpg"
                                        << "";
    QTest::newRow("gif goes into its own folder")
        << convert << "png" << "/s/anim.gif" << QStringList() << "/o/anim/anim.png"
        << "/o/anim";
    QTest::newRow("folder name taken") << convert << "png" << "/s/anim.gif" << QStringList{"/o/anim"}
                                       << "/o/anim_081530124/anim.png"
                                       << "/o/anim_081530124";
    QTest::newRow("both folder names taken")
        << convert << "png" << "/s/anim.gif" << QStringList{"/o/anim", "/o/anim_081530124"}
        << "/o/anim_081530124_1/anim.png"
        << "/o/anim_081530124_1";
    QTest::newRow("multi-frame suffixes, any case") << convert << "jpg" << "/s/v.WebP" << QStringList() << "/o/v/v.jpg"
                                                    << "/o/v";
    QTest::newRow("resizing names as conversion does") << Operation::Resize << "png" << "/s/anim.b.gif"
                                                       << QStringList() << "/o/anim.b/anim.b.png"
                                                       << "/o/anim.b";
    QTest::newRow("psd") << convert << "png" << "/s/l.psd" << QStringList() << "/o/l/l.png"
                         << "/o/l";
    QTest::newRow("tiff") << convert << "png" << "/s/l.tiff" << QStringList() << "/o/l/l.png"
                          << "/o/l";
    QTest::newRow("rotating a tif: no folder")
        << Operation::Rotate << "" << "/s/l.tif" << QStringList() << "/o/l.tif"
        << "";
    QTest::newRow("compression keeps the format")
        << Operation::Compress << "" << "/s/c.d.PNG" << QStringList() << "/o/c.d.png"
        << "";
}

void TestOutputNaming::outputTarget()
{
    QFETCH(Operation, operation);
    QFETCH(QString, format);
    QFETCH(QString, source);
    QFETCH(QStringList, exists);
    QFETCH(QString, output);
    QFETCH(QString, frameDir);
    const QString fmt = OutputNaming::outputSuffix(jobOf(operation, format), source);
    const OutputNaming::Target target
        = OutputNaming::outputTarget(operation, source, fmt, QStringLiteral("/o"), 4, kNow, existing(exists));
    QCOMPARE(target.outputPath, output);
    QCOMPARE(target.frameDir, frameDir);
    QCOMPARE(target.claimPath(), frameDir.isEmpty() ? output : frameDir);
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
                return OutputNaming::outputTarget(s.operation, "/s/x.jpg", "png", dir.path(), 4, kNow, exists).outputPath;
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
        return OutputNaming::outputTarget(s.operation, "/s/x.jpg", "png", dir.path(), 4, kNow, exists).outputPath;
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

void TestOutputNaming::frameSetTarget_data()
{
    QTest::addColumn<QStringList>("exists");
    QTest::addColumn<QString>("first"); // the first picture's path
    QTest::newRow("all free") << QStringList() << "/o/x-0.jpg";
    QTest::newRow("the plain name taken") << QStringList{"/o/x.jpg"} << "/o/x_081530124-0.jpg";
    QTest::newRow("one picture's name taken") << QStringList{"/o/x-2.jpg"} << "/o/x_081530124-0.jpg";
    QTest::newRow("stamped set taken too: counted on")
        << QStringList{"/o/x-0.jpg", "/o/x_081530124-1.jpg"} << "/o/x_081530124_1-0.jpg";
    QTest::newRow("a fourth picture's name does not matter") << QStringList{"/o/x-3.jpg"} << "/o/x-0.jpg";
}

void TestOutputNaming::frameSetTarget()
{
    QFETCH(QStringList, exists);
    QFETCH(QString, first);
    const QString path = OutputNaming::frameSetTarget("/o", "x", "jpg", {0, 1, 2}, "081530124",
                                                      [&](const QString &p) { return exists.contains(p); });
    QCOMPARE(OutputNaming::framePath(path, 0), first);
}

void TestOutputNaming::staleTempFolders()
{
    QTemporaryDir root;
    for (const char *folder : {"100-1", "100-22", "200-1", "abc", "300", "0-1", "100-1x"})
        QVERIFY(QDir(root.path()).mkdir(folder));
    QVERIFY(Fixtures::writeBytes(root.filePath("400-1"), "a file")); // only folders are someone's
    QStringList stale = TempArea::staleFolders(root.path(), [](qint64 pid) { return pid == 200; });
    stale.sort();
    QCOMPARE(stale, QStringList({"100-1", "100-22"}));
}

void TestOutputNaming::sweepNeverFollowsLinks()
{
    // A dead process's folder may hold links into the user's files: they go, the files stay.
    const QString dead = TempArea::jobTempDir() + "/999999999-1";
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
