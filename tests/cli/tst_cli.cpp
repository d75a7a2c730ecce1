#include "cli/BatchCommandLine.h"
#include "cli/BatchReport.h"

#include "batch/engine/BatchCatalogue.h"
#include "batch/engine/Operations.h"
#include "batch/engine/BatchFiles.h"
#include "formats/Formats.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "support/Fixtures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The pure parts of quorvane-batch: argument parsing into the job record, the file
// list built from files and folders, and the report lines.
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parseRuns_data();
    void parseRuns();
    void metadataChoice_data();
    void metadataChoice();
    void parseRefuses_data();
    void parseRefuses();
    void helpAndVersion_data();
    void helpAndVersion();
    void outputFolderIsAbsolute();
    void sourcesAndRunOptions_data();
    void sourcesAndRunOptions();
    void readNames_data();
    void readNames();
    void readNameList_data();
    void readNameList();
    void recursiveExpansion();
    void expandFilesAndFolders();
    void acceptedSuffixesFollowThePages();
    void reportLines();
    void shownNames_data();
    void shownNames();
    void reportTallyAndExitStatus();
};

void TestCli::initTestCase()
{
    Formats::init();
}

void TestCli::parseRuns_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("format"); // empty: none
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("degree"); // empty: none
    QTest::addColumn<bool>("flop");
    QTest::addColumn<bool>("flip");
    QTest::addColumn<QStringList>("paths");

    const QStringList a{QStringLiteral("a.jpg")};
    QTest::newRow("convert defaults") << QStringList{"convert", "a.jpg"} << Operation::Convert << "jpg" << 80 << -1 << -1 << QString()
                                      << false << false << a;
    QTest::newRow("convert upper-case format, width only")
        << QStringList{"convert", "-f", "PNG", "-W", "800", "a.jpg"} << Operation::Convert << "png" << -1 << 800 << -1 << QString() << false
        << false << a;
    QTest::newRow("convert long options after the paths")
        << QStringList{"convert", "a.jpg", "b.png", "--format=gif", "--height", "300"} << Operation::Convert << "gif" << -1 << -1 << 300
        << QString() << false << false << QStringList{"a.jpg", "b.png"};
    QTest::newRow("sizes at the bounds") << QStringList{"convert", "-W", "0", "-H", "10000", "a.jpg"} << Operation::Convert << "jpg" << 80
                                         << -1 << 10000 << QString() << false << false << a;
    QTest::newRow("resize desktop") << QStringList{"resize", "--preset", "desktop", "a.jpg"} << Operation::Resize << "jpg" << 80 << 1024
                                    << -1 << QString() << false << false << a;
    QTest::newRow("resize phone") << QStringList{"resize", "--preset", "phone", "a.jpg"} << Operation::Resize << "jpg" << 80 << 480 << -1
                                  << QString() << false << false << a;
    QTest::newRow("resize sticker-large") << QStringList{"resize", "--preset", "sticker-large", "a.jpg"} << Operation::Resize << "jpg" << 80
                                          << 200 << -1 << QString() << false << false << a;
    QTest::newRow("resize sticker-small") << QStringList{"resize", "--preset", "sticker-small", "a.jpg"} << Operation::Resize << "jpg" << 80
                                          << 140 << -1 << QString() << false << false << a;
    QTest::newRow("resize id-1inch") << QStringList{"resize", "-f", "png", "--preset", "id-1inch", "a.jpg"} << Operation::Resize << "png" << -1 << 295 << 413 << QString() << false << false << a;
    QTest::newRow("resize id-2inch") << QStringList{"resize", "--preset", "id-2inch", "a.jpg"} << Operation::Resize << "jpg" << 80 << 413
                                     << 626 << QString() << false << false << a;
    QTest::newRow("explicit width beats the preset")
        << QStringList{"resize", "-W", "500", "--preset", "id-2inch", "a.jpg"} << Operation::Resize << "jpg" << 80 << 500 << 626
        << QString() << false << false << a;
    QTest::newRow("explicit height joins a width preset")
        << QStringList{"resize", "--preset", "phone", "-H", "300", "a.jpg"} << Operation::Resize << "jpg" << 80 << 480 << 300 << QString()
        << false << false << a;
    QTest::newRow("AVIF at quality 55") << QStringList{"convert", "-f", "avif", "-q", "55", "a.jpg"} << Operation::Convert << "avif"
                                        << 55 << -1 << -1 << QString() << false << false << a;
    QTest::newRow("compress defaults") << QStringList{"compress", "a.jpg"} << Operation::Compress << "" << 70 << -1 << -1 << QString()
                                       << false << false << a;
    QTest::newRow("compress level 90") << QStringList{"compress", "-l", "90", "a.jpg"} << Operation::Compress << "" << 90 << -1 << -1
                                       << QString() << false << false << a;
    QTest::newRow("compress level 10 with width") << QStringList{"compress", "--level", "10", "-W", "300", "a.jpg"} << Operation::Compress << "" << 10 << 300 << -1 << QString() << false << false << a;
    QTest::newRow("rotate defaults") << QStringList{"rotate", "a.jpg"} << Operation::Rotate << "" << -1 << -1 << -1
                                     << QStringLiteral("0") << false << false << a;
    QTest::newRow("rotate negative angle, both mirrors")
        << QStringList{"rotate", "-a", "-90", "--flop", "--flip", "a.jpg"} << Operation::Rotate << "" << -1 << -1 << -1
        << QStringLiteral("-90") << true << true << a;
    QTest::newRow("rotate single-dash long option") << QStringList{"rotate", "-flop", "-a", "360", "a.jpg"} << Operation::Rotate << "" << -1 << -1 << -1 << QStringLiteral("360") << true << false << a;
    QTest::newRow("paths after -- may start with a dash")
        << QStringList{"convert", "--", "-odd.jpg", "--help"} << Operation::Convert << "jpg" << 80 << -1 << -1 << QString() << false << false
        << QStringList{"-odd.jpg", "--help"};
}

void TestCli::parseRuns()
{
    QFETCH(QStringList, arguments);
    QFETCH(Operation, operation);
    QFETCH(QString, format);
    QFETCH(int, quality);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, degree);
    QFETCH(bool, flop);
    QFETCH(bool, flip);
    QFETCH(QStringList, paths);

    const BatchCommandLine::Result result = BatchCommandLine::parse(arguments);
    QCOMPARE(result.error, QString());
    QCOMPARE(result.action, BatchCommandLine::Run);
    const BatchRequest &request = result.request;
    QCOMPARE(request.job.operation, operation);
    QCOMPARE(request.job.format.value_or(QString()), format);
    QCOMPARE(request.job.quality.value_or(-1), quality);
    QCOMPARE(request.job.width.value_or(-1), width);
    QCOMPARE(request.job.height.value_or(-1), height);
    QCOMPARE(request.job.degrees ? QString::number(*request.job.degrees) : QString(), degree);
    QCOMPARE(request.job.flop, flop);
    QCOMPARE(request.job.flip, flip);
    QCOMPARE(request.paths, paths);
    QCOMPARE(request.exportDir, QString());
}

void TestCli::metadataChoice_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("metadata");
    QTest::newRow("kept unless asked") << QStringList{"convert", "a.jpg"} << int(Metadata::Keep);
    QTest::newRow("keep") << QStringList{"resize", "--metadata", "keep", "a.jpg"} << int(Metadata::Keep);
    QTest::newRow("no-location") << QStringList{"resize", "-W", "800", "--metadata", "no-location", "a.jpg"}
                                 << int(Metadata::NoLocation);
    QTest::newRow("none") << QStringList{"convert", "--metadata=none", "-f", "png", "a.jpg"} << int(Metadata::None);
}

void TestCli::metadataChoice()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, metadata);
    const BatchCommandLine::Result result = BatchCommandLine::parse(arguments);
    QCOMPARE(result.error, QString());
    QCOMPARE(result.request.job.metadata, Metadata(metadata));
}

void TestCli::parseRefuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("nothing") << QStringList() << "no command";
    QTest::newRow("unknown command") << QStringList{"shrink", "a.jpg"} << "unknown command 'shrink'";
    QTest::newRow("no path") << QStringList{"convert", "-f", "png"} << "no PATH";
    QTest::newRow("unknown format") << QStringList{"convert", "-f", "jxl", "a.jpg"} << "unknown format 'jxl'";
    QTest::newRow("quality 0") << QStringList{"convert", "-q", "0", "a.jpg"} << "QUALITY must be a whole number from 1 to 100";
    QTest::newRow("quality for a lossless format") << QStringList{"convert", "-f", "png", "-q", "50", "a.jpg"}
                                                   << "--quality applies to the lossy formats only";
    QTest::newRow("width above 10000") << QStringList{"convert", "-W", "10001", "a.jpg"} << "WIDTH";
    QTest::newRow("negative width") << QStringList{"convert", "-W", "-1", "a.jpg"} << "WIDTH";
    QTest::newRow("width not a number") << QStringList{"convert", "-W", "80px", "a.jpg"} << "WIDTH";
    QTest::newRow("height not a number") << QStringList{"resize", "-H", "1.5", "a.jpg"} << "HEIGHT";
    QTest::newRow("level between steps") << QStringList{"compress", "-l", "75", "a.jpg"} << "LEVEL";
    QTest::newRow("level 100") << QStringList{"compress", "-l", "100", "a.jpg"} << "LEVEL";
    QTest::newRow("level 0") << QStringList{"compress", "-l", "0", "a.jpg"} << "LEVEL";
    QTest::newRow("angle 361") << QStringList{"rotate", "-a", "361", "a.jpg"} << "ANGLE";
    QTest::newRow("angle -361") << QStringList{"rotate", "-a", "-361", "a.jpg"} << "ANGLE";
    QTest::newRow("angle not a number") << QStringList{"rotate", "-a", "ninety", "a.jpg"} << "ANGLE";
    QTest::newRow("unknown preset") << QStringList{"resize", "--preset", "poster", "a.jpg"}
                                    << "unknown preset 'poster'";
    QTest::newRow("preset on convert") << QStringList{"convert", "--preset", "phone", "a.jpg"}
                                       << "--preset does not apply to convert";
    QTest::newRow("unknown metadata choice") << QStringList{"convert", "--metadata", "gps", "a.jpg"}
                                             << "unknown metadata choice 'gps' (one of: keep no-location none)";
    QTest::newRow("metadata on compress") << QStringList{"compress", "--metadata", "none", "a.jpg"}
                                          << "--metadata does not apply to compress";
    QTest::newRow("metadata on rotate") << QStringList{"rotate", "--metadata", "none", "a.jpg"}
                                        << "--metadata does not apply to rotate";
    QTest::newRow("level on convert") << QStringList{"convert", "-l", "50", "a.jpg"} << "-l does not apply to convert";
    QTest::newRow("format on compress") << QStringList{"compress", "-f", "png", "a.png"}
                                        << "-f does not apply to compress";
    QTest::newRow("size on rotate") << QStringList{"rotate", "-W", "10", "a.png"} << "-W does not apply to rotate";
    QTest::newRow("mirror on resize") << QStringList{"resize", "--flip", "a.png"} << "--flip does not apply to resize";
    QTest::newRow("unknown option") << QStringList{"convert", "--lossless", "a.jpg"} << "lossless";
    QTest::newRow("missing value") << QStringList{"convert", "a.jpg", "-f"} << "f";
    QTest::newRow("empty output folder") << QStringList{"convert", "-o", "", "a.jpg"} << "DIR";
    QTest::newRow("-0 without a list") << QStringList{"convert", "-0", "a.jpg"} << "-0 needs --files-from";
    QTest::newRow("no tools") << QStringList{"convert", "-j", "0", "a.jpg"} << "N must be";
    QTest::newRow("too many tools") << QStringList{"convert", "--jobs", "65", "a.jpg"} << "N must be";
    QTest::newRow("tools not a number") << QStringList{"convert", "-j", "2x", "a.jpg"} << "N must be";
    QTest::newRow("empty list name") << QStringList{"convert", "--files-from", "", "a.jpg"} << "FILE";
}

void TestCli::parseRefuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);

    const BatchCommandLine::Result result = BatchCommandLine::parse(arguments);
    QCOMPARE(result.action, BatchCommandLine::UsageError);
    QVERIFY2(result.error.contains(error), qPrintable(result.error));
}

void TestCli::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");

    QTest::newRow("--help alone") << QStringList{"--help"} << int(BatchCommandLine::Help);
    QTest::newRow("--help after a bad option")
        << QStringList{"convert", "-W", "x", "--help"} << int(BatchCommandLine::Help);
    QTest::newRow("--version") << QStringList{"--version"} << int(BatchCommandLine::Version);
    QTest::newRow("--help after -- is a path") << QStringList{"convert", "--", "--help"} << int(BatchCommandLine::Run);
}

void TestCli::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QCOMPARE(int(BatchCommandLine::parse(arguments).action), action);
}

void TestCli::outputFolderIsAbsolute()
{
    const BatchCommandLine::Result result = BatchCommandLine::parse(
        {QStringLiteral("convert"), QStringLiteral("-o"), QStringLiteral("out/./png"), QStringLiteral("a.jpg")});
    QCOMPARE(result.action, BatchCommandLine::Run);
    QCOMPARE(result.request.exportDir, QDir::current().absoluteFilePath(QStringLiteral("out/png")));
}

void TestCli::sourcesAndRunOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("filesFrom");
    QTest::addColumn<bool>("nul");
    QTest::addColumn<bool>("recursive");
    QTest::addColumn<int>("tools");
    QTest::addColumn<bool>("json");
    QTest::newRow("list from standard input, NUL-separated, no PATH")
        << QStringList{"convert", "--files-from", "-", "-0"} << QStringList() << "-" << true << false << 0 << false;
    QTest::newRow("list file beside paths") << QStringList{"rotate", "a.jpg", "--files-from=more.txt"}
                                            << QStringList{"a.jpg"} << "more.txt" << false << false << 0 << false;
    QTest::newRow("recursive, tools, json") << QStringList{"compress", "-r", "-j", "3", "--json", "photos"}
                                            << QStringList{"photos"} << QString() << false << true << 3 << true;
    QTest::newRow("long names") << QStringList{"resize", "--recursive", "--jobs", "64", "photos"}
                                << QStringList{"photos"} << QString() << false << true << 64 << false;
}

void TestCli::sourcesAndRunOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, paths);
    QFETCH(QString, filesFrom);
    QFETCH(bool, nul);
    QFETCH(bool, recursive);
    QFETCH(int, tools);
    QFETCH(bool, json);
    const BatchCommandLine::Result result = BatchCommandLine::parse(arguments);
    QCOMPARE(result.error, QString());
    QCOMPARE(result.action, BatchCommandLine::Run);
    QCOMPARE(result.request.paths, paths);
    QCOMPARE(result.request.filesFrom, filesFrom);
    QCOMPARE(result.request.nulSeparated, nul);
    QCOMPARE(result.request.recursive, recursive);
    QCOMPARE(result.request.tools, tools);
    QCOMPARE(result.request.json, json);
}

void TestCli::readNames_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("nul");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("lines") << QByteArray("a.jpg\nb c.png\n") << false << QStringList{"a.jpg", "b c.png"};
    QTest::newRow("CRLF lines, blank ones dropped")
        << QByteArray("a.jpg\r\n\r\n\nb.png") << false << QStringList{"a.jpg", "b.png"};
    QTest::newRow("NUL-separated keeps newlines in names")
        << QByteArray("odd\nname.jpg\0b.png\0", 18) << true << QStringList{"odd\nname.jpg", "b.png"};
    // Only a line's end may be CRLF: with -0 a carriage return belongs to the name.
    QTest::newRow("NUL-separated keeps a trailing CR")
        << QByteArray("scan.jpg\r\0b.png\r\n\0", 18) << true << QStringList{"scan.jpg\r", "b.png\r\n"};
    QTest::newRow("UTF-8 names") << QByteArray("照片.jpg\n") << false << QStringList{QStringLiteral("照片.jpg")};
    QTest::newRow("nothing") << QByteArray() << true << QStringList();
}

void TestCli::readNames()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, nul);
    QFETCH(QStringList, names);
    QCOMPARE(BatchFiles::readNames(data, nul), names);
}

// A list is refused whole when a name holds a NUL byte (no file name can), with
// the line that does; names that are not UTF-8 stay apart, each as it was.
void TestCli::readNameList_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("nul");
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<QString>("problem");
    QTest::newRow("NUL inside a line") << QByteArray("a.png\nb.png\0junk\nc.png\n", 23) << false
                                       << QList<QByteArray>() << "line 2 holds a NUL byte";
    QTest::newRow("NUL after a blank line counts its line")
        << QByteArray("\n\n\0", 3) << false << QList<QByteArray>() << "line 3 holds a NUL byte";
    QTest::newRow("two names that decode alike")
        << QByteArray("x\xff.jpg\nx\xfe.jpg\n") << false << QList<QByteArray>{"x\xff.jpg", "x\xfe.jpg"} << "";
    QTest::newRow("NUL-separated: NULs separate") << QByteArray("a\0b\0", 4) << true << QList<QByteArray>{"a", "b"}
                                                  << "";
}

void TestCli::readNameList()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, nul);
    QFETCH(QList<QByteArray>, names);
    QFETCH(QString, problem);
    const BatchFiles::NameList list = BatchFiles::readNameList(data, nul);
    QCOMPARE(list.names, names);
    QCOMPARE(list.problem, problem);
    // Expanded, each undecodable name is its own entry with its own bytes.
    const QVector<BatchEntry> entries = BatchFiles::expand(list.names, {"jpg"});
    QCOMPARE(entries.size(), names.size());
    for (int i = 0; i < entries.size(); ++i)
        QCOMPARE(entries.at(i).bytes, names.at(i));
}

void TestCli::recursiveExpansion()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QDir dir(temp.path());
    QVERIFY(dir.mkpath("tree/B/deeper") && dir.mkpath("tree/a") && dir.mkpath("elsewhere"));
    for (const char *name :
         {"tree/x.jpg", "tree/a/x.jpg", "tree/B/x.jpg", "tree/B/deeper/y.png", "tree/B/n.txt", "elsewhere/z.jpg"})
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), "x"));
    // A link to a folder is not followed: no loops, nothing from outside the tree.
    QVERIFY(QFile::link(dir.filePath("elsewhere"), dir.filePath("tree/a/link")));
    QVERIFY(QFile::link(dir.filePath("tree"), dir.filePath("tree/B/loop")));

    const QString tree = dir.filePath("tree");
    QStringList seen;
    for (const BatchEntry &entry :
         BatchFiles::expand({tree}, Operations::row(Operation::Convert).acceptedSuffixes(), BatchFiles::Recursive))
        seen << QStringLiteral("%1 [%2] %3").arg(entry.source.mid(tree.size() + 1), entry.subDir).arg(int(entry.state));
    QCOMPARE(
        seen,
        (QStringList{"x.jpg [] 0", "a/x.jpg [a] 0", "B/n.txt [B] 2", "B/x.jpg [B] 0", "B/deeper/y.png [B/deeper] 0"}));
    // Without -r, the folder's own files only.
    QCOMPARE(BatchFiles::expand({tree}, Operations::row(Operation::Convert).acceptedSuffixes()).size(), 1);
}

void TestCli::expandFilesAndFolders()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QDir dir(temp.path());
    QVERIFY(dir.mkpath(QStringLiteral("photos/sub")));
    for (const char *name : {"photos/b.JPG", "photos/a.png", "photos/C.txt", "photos/d.tif", "photos/sub/e.jpg",
                             "photos/.hidden.jpg", "single.bmp"})
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), "x"));

    // Not regular files, and names that are not UTF-8, are listed: the run says why each fails.
    const QByteArray raw = QFile::encodeName(dir.filePath(QStringLiteral("photos")));
    QCOMPARE(::mkfifo(raw + "/f.png", 0600), 0);
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("photos/l.png"))));
    const QByteArrayList undecodable = {raw + "/g\xff.png", raw + "/h\xff.txt"};
    const auto removeUndecodable = qScopeGuard([&] {
        for (const QByteArray &name : undecodable)
            ::unlink(name.constData()); // QTemporaryDir cannot name them
    });
    for (const QByteArray &name : undecodable)
        QVERIFY(::close(::open(name.constData(), O_WRONLY | O_CREAT, 0600)) == 0);

    const QString photos = dir.filePath(QStringLiteral("photos"));
    const QString single = dir.filePath(QStringLiteral("single.bmp"));
    const QString gone = dir.filePath(QStringLiteral("gone.jpg"));
    const QVector<BatchEntry> entries
        = BatchFiles::expand({single, photos, gone}, Operations::row(Operation::Compress).acceptedSuffixes());

    QStringList seen;
    for (const BatchEntry &entry : entries) {
        QVERIFY(QDir::isAbsolutePath(entry.absolutePath));
        seen << QStringLiteral("%1 %2").arg(entry.source).arg(int(entry.state));
    }
    const QStringList expected = {
        single + " 2",       photos + "/a.png 0", photos + "/b.JPG 0",       photos + "/C.txt 2",
        photos + "/d.tif 2", photos + "/f.png 0", photos + "/g\uFFFD.png 3", photos + "/h\uFFFD.txt 2",
        photos + "/l.png 1", gone + " 1",
    };
    QCOMPARE(seen, expected);
}

void TestCli::acceptedSuffixesFollowThePages()
{
    QCOMPARE(&Operations::row(Operation::Convert).acceptedSuffixes(), &Formats::openSuffixes());
    QCOMPARE(&Operations::row(Operation::Resize).acceptedSuffixes(), &Formats::openSuffixes());
    QCOMPARE(&Operations::row(Operation::Compress).acceptedSuffixes(), &Formats::compressSuffixes());
    QCOMPARE(&Operations::row(Operation::Rotate).acceptedSuffixes(), &Formats::rotateSuffixes());
}

void TestCli::reportLines()
{
    QCOMPARE(BatchReport::okLine("in/a.jpg", "/out/a.png"), QStringLiteral("ok in/a.jpg -> /out/a.png"));
    QCOMPARE(BatchReport::okLine("in/a.gif", "/out/a-0.png", 3),
             QStringLiteral("ok in/a.gif -> /out/a-0.png (3 pictures)"));
    QCOMPARE(BatchReport::failedLine("a\n.jpg", "/o/a\n.png", "x\ny"),
             QStringLiteral("failed a\\n.jpg -> /o/a\\n.png: x\\ny"));
    QCOMPARE(BatchReport::badNameLine("d/a\xff.jpg"),
             QStringLiteral("failed d/a\\xff.jpg: file name is not valid UTF-8"));
    QCOMPARE(BatchReport::stoppedLine("a.jpg"), QStringLiteral("stopped a.jpg"));
    QCOMPARE(BatchReport::failedLine("a.jpg", "/out/a.png", "no decode delegate"),
             QStringLiteral("failed a.jpg -> /out/a.png: no decode delegate"));
    QCOMPARE(BatchReport::missingLine("gone.jpg"), QStringLiteral("missing gone.jpg"));
    QCOMPARE(BatchReport::skippedLine("notes.txt"), QStringLiteral("skipped notes.txt: unsupported suffix"));
    QCOMPARE(BatchReport::summaryLine(3, 1, 2), QStringLiteral("3 succeeded, 1 failed, 2 skipped"));
    QCOMPARE(BatchReport::firstLine("\n  \r\nconvert: no images defined `x.png'.\nsecond line\n"),
             QStringLiteral("convert: no images defined `x.png'."));
    QCOMPARE(BatchReport::firstLine(" \n"), QString());
}

void TestCli::shownNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("a b.png") << "a b.png";
    QTest::newRow("Chinese") << QString("照片 1.jpg").toUtf8() << "照片 1.jpg";
    QTest::newRow("newline forging a line") << QByteArray("x.png -> y\nok z") << "x.png -> y\\nok z";
    QTest::newRow("CR and tab") << QByteArray("a\rb\tc") << "a\\rb\\tc";
    QTest::newRow("a backslash stays unambiguous") << QByteArray("a\\nb") << "a\\\\nb";
    QTest::newRow("terminal escape") << QByteArray("\x1b[2Jx") << "\\x1b[2Jx";
    QTest::newRow("DEL") << QByteArray("a\x7f") << "a\\x7f";
    QTest::newRow("C1 next line") << QByteArray("a\xc2\x85") << "a\\u0085";
    QTest::newRow("line separator") << QByteArray("a\xe2\x80\xa8") << "a\\u2028";
    QTest::newRow("right-to-left override") << QByteArray("a\xe2\x80\xaegpj.exe") << "a\\u202egpj.exe";
    QTest::newRow("byte that is not UTF-8") << QByteArray("a\xff.png") << "a\\xff.png";
    QTest::newRow("cut sequence") << QByteArray("a\xe7\x85") << "a\\xe7\\x85";
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << "\\xc0\\xaf";
    QTest::newRow("U+FFFD itself is text") << QByteArray("a\xef\xbf\xbd") << QString("a") + QChar(0xFFFD);
}

void TestCli::shownNames()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, shown);
    QCOMPARE(BatchReport::shown(name), shown);
}

void TestCli::reportTallyAndExitStatus()
{
    BatchReport report(3);
    QCOMPARE(report.progressLine(), QStringLiteral("0 of 3 done"));
    QCOMPARE(report.exitStatus(), 0);
    report.addSkipped();
    report.setProgress(2, 7);
    report.setProgress(0, 3);
    QCOMPARE(report.progressLine(), QStringLiteral("0 of 3 done, running: 3% 7%"));
    report.finish(0, true);
    QCOMPARE(report.progressLine(), QStringLiteral("1 of 3 done, running: 7%"));
    QCOMPARE(report.exitStatus(), 0);
    report.finish(2, false);
    QCOMPARE(report.exitStatus(), 1);
    report.addMissing();
    QCOMPARE(report.summaryLine(), QStringLiteral("1 succeeded, 2 failed, 1 skipped"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
