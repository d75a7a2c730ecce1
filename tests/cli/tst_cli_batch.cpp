#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/EngineHarness.h"
#include "support/Fixtures.h"

// quorvane-batch run as a child process on generated images, with HOME in a
// temporary folder so that the default output folder lands there too.
class TestCliBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void operations_data();
    void operations();
    void resizeTakesThePhotoAsShown();
    void rotateTurnsClockwiseAndMirrors_data();
    void rotateTurnsClockwiseAndMirrors();
    void compressKeepsFormatAndShrinks_data();
    void compressKeepsFormatAndShrinks();
    void compressionThatWouldGrowKeepsTheSource();
    void recursiveMirrorsSubFolders();
    void filesFromStandardInput();
    void jsonLines();
    void gnuParallelSpreadsTheFiles();
    void exitStatus_data();
    void exitStatus();
    void failedLineGivesTheToolsReason();
    void usageErrorPrintsOneLine();
    void helpAndVersion();
    void folderContributesItsFiles();
    void defaultOutputFolderAndUnicodeNames();
    void progressLineOnlyOnATerminal();
    void terminationEndsTheRunningTools();
    void closedStandardStreams();
    void listedNamesKeepTheirOwnLines();
    void stopDuringThePolicyProbe();
    void killedEngineLeavesNothingBehind();
    void interruptEndsEverythingAToolStarted();
    void helpersOfAFinishedToolEndWithTheRun();
    void noWritableHome();

private:
    struct Run
    {
        int status = -1;
        QStringList lines; // standard output
        QString errors; // standard error
    };
    // Runs quorvane-batch (or, with program, that program) with input on standard input.
    Run run(const QStringList &arguments, const QByteArray &input = QByteArray(), const QString &program = QString());
    void setUp(QProcess &process) const;
    QString path(const QString &name) const { return tempDir->filePath(name); }
    // quorvane-batch copied into path("app") with the shipped policy and the
    // given script as its ImageMagick ("magick" beside it is found first).
    QString appWithMagick(const QByteArray &script) const;

    QScopedPointer<QTemporaryDir> tempDir;
};

namespace {

// Two smooth gradients with a little noise: PNG and JPEG compression have
// something to remove, and pngquant reaches its quality target.
QImage busyImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    quint32 noise = 12345;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            noise = noise * 1103515245u + 12345u;
            const int n = int((noise >> 16) % 6);
            image.setPixel(x, y,
                           qRgb(qMin(255, x * 255 / size.width() + n), qMin(255, y * 255 / size.height() + n), 90 + n));
        }
    }
    return image;
}

// Left half red, right half blue.
QImage halves(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    return image;
}

// The processes whose parent is pid.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // Fields after the command name, which may hold blanks: state, then the parent.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            children << entry.toLongLong();
    }
    return children;
}

qint64 pidIn(const QString &file)
{
    return EngineHarness::readAll(file).trimmed().toLongLong();
}

// A fake ImageMagick's answer to the policy probe: the policy it was given.
const QByteArray kAnswersProbe
    = "case \"$1\" in -list) echo \"Path: $MAGICK_CONFIGURE_PATH/policy.xml\"; exit 0 ;; esac\n";

QStringList stageFolders(const QString &dir)
{
    return QDir(dir).entryList({".quorvane-*"}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qBlue(pixel) < 60;
}

} // namespace

void TestCliBatch::initTestCase()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QVERIFY(QFileInfo(Fixtures::binDir() + "/quorvane-batch").isExecutable());
}

void TestCliBatch::init()
{
    tempDir.reset(new QTemporaryDir);
    QVERIFY(tempDir->isValid());
}

void TestCliBatch::setUp(QProcess &process) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), tempDir->path());
    env.remove(QStringLiteral("XDG_DESKTOP_DIR"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(tempDir->path());
}

TestCliBatch::Run TestCliBatch::run(const QStringList &arguments, const QByteArray &input, const QString &program)
{
    QProcess process;
    setUp(process);
    process.start(program.isEmpty() ? Fixtures::binDir() + "/quorvane-batch" : program, arguments);
    process.write(input);
    process.closeWriteChannel();
    Run result;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.status = process.exitCode();
    result.lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestCliBatch::operations_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QSize>("sourceSize");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");

    QTest::newRow("convert keeps the size") << QStringList{"convert", "-f", "png"} << "a.jpg" << QSize(40, 20)
                                            << "a.png" << QByteArray("png") << QSize(40, 20);
    QTest::newRow("convert default format is jpg")
        << QStringList{"convert"} << "b.png" << QSize(40, 20) << "b.jpg" << QByteArray("jpeg") << QSize(40, 20);
    QTest::newRow("convert with a width keeps the aspect ratio")
        << QStringList{"convert", "-f", "bmp", "-W", "20"} << "c.d.jpg" << QSize(40, 20) << "c.d.bmp"
        << QByteArray("bmp") << QSize(20, 10);
    QTest::newRow("convert with width 0: not given") << QStringList{"convert", "-f", "png", "-W", "0"} << "m.jpg"
                                                     << QSize(40, 20) << "m.png" << QByteArray("png") << QSize(40, 20);
    QTest::newRow("convert with a height") << QStringList{"convert", "-f", "webp", "-H", "10"} << "e.png"
                                           << QSize(40, 20) << "e.webp" << QByteArray("webp") << QSize(20, 10);
    QTest::newRow("resize id-1inch is exact") << QStringList{"resize", "-f", "png", "--preset", "id-1inch"} << "f.jpg"
                                              << QSize(40, 20) << "f.png" << QByteArray("png") << QSize(295, 413);
    QTest::newRow("resize sticker-small keeps the aspect ratio")
        << QStringList{"resize", "--preset", "sticker-small"} << "g.png" << QSize(280, 70) << "g.jpg"
        << QByteArray("jpeg") << QSize(140, 35);
    QTest::newRow("resize preset with explicit height")
        << QStringList{"resize", "-f", "png", "--preset", "id-2inch", "-H", "100"} << "h.jpg" << QSize(40, 20)
        << "h.png" << QByteArray("png") << QSize(413, 100);
    QTest::newRow("compress png with a width") << QStringList{"compress", "-l", "50", "-W", "30"} << "i.png"
                                               << QSize(60, 40) << "i.png" << QByteArray("png") << QSize(30, 20);
    QTest::newRow("compress JPEG suffix in capitals")
        << QStringList{"compress"} << "j.JPEG" << QSize(60, 40) << "j.jpeg" << QByteArray("jpeg") << QSize(60, 40);
    QTest::newRow("rotate 90 turns the size") << QStringList{"rotate", "-a", "90"} << "k.jpg" << QSize(40, 20)
                                              << "k.jpg" << QByteArray("jpeg") << QSize(20, 40);
    QTest::newRow("rotate names by the last dot")
        << QStringList{"rotate", "-a", "-270"} << "l.2024.01.png" << QSize(40, 20) << "l.2024.01.png"
        << QByteArray("png") << QSize(20, 40);
}

void TestCliBatch::operations()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, source);
    QFETCH(QSize, sourceSize);
    QFETCH(QString, output);
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);

    QVERIFY(busyImage(sourceSize).save(path(source), source.endsWith("png") ? "PNG" : "JPEG"));
    const Run result = run(arguments << "-o" << path("out") << path(source));
    const QString out = path("out/" + output);
    QCOMPARE(result.lines, QStringList({"ok " + path(source) + " -> " + out, "1 succeeded, 0 failed, 0 skipped"}));
    QCOMPARE(result.status, 0);
    QCOMPARE(Fixtures::imageFormat(out), format);
    QCOMPARE(Fixtures::imageSize(out), size);
    QCOMPARE(result.errors, QString()); // no progress line when standard error is not a terminal
}

// A phone photo stored 160x120 with orientation 6 is shown 120x160: width 60 is
// the width as shown, and the result is written upright.
void TestCliBatch::resizeTakesThePhotoAsShown()
{
    QVERIFY(Fixtures::writeJpegWithOrientation(path("phone.jpg"), busyImage(QSize(160, 120)), 6));
    const Run result = run({"resize", "-W", "60", "-o", path("out"), path("phone.jpg")});
    QCOMPARE(result.status, 0);
    const QString out = path("out/phone.jpg");
    QCOMPARE(Fixtures::imageSize(out), QSize(60, 80));
    QCOMPARE(QImageReader(out).transformation(), QImageIOHandler::TransformationNone);
}

void TestCliBatch::rotateTurnsClockwiseAndMirrors_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QPoint>("redAt");
    QTest::addColumn<QPoint>("blueAt");

    // Source: 40 x 20, left half red. A clockwise quarter turn puts the left side on top.
    QTest::newRow("90 clockwise") << QStringList{"-a", "90"} << QPoint(10, 5) << QPoint(10, 35);
    QTest::newRow("-90 anticlockwise") << QStringList{"-a", "-90"} << QPoint(10, 35) << QPoint(10, 5);
    QTest::newRow("flop") << QStringList{"--flop"} << QPoint(35, 10) << QPoint(5, 10);
    QTest::newRow("flip keeps left and right") << QStringList{"--flip"} << QPoint(5, 10) << QPoint(35, 10);
    QTest::newRow("90 then flop") << QStringList{"-a", "90", "--flop"} << QPoint(10, 5) << QPoint(10, 35);
    QTest::newRow("90 then flip") << QStringList{"-a", "90", "--flip"} << QPoint(10, 35) << QPoint(10, 5);
}

void TestCliBatch::rotateTurnsClockwiseAndMirrors()
{
    QFETCH(QStringList, options);
    QFETCH(QPoint, redAt);
    QFETCH(QPoint, blueAt);

    QVERIFY(halves(QSize(40, 20)).save(path("halves.png")));
    const Run result = run(QStringList{"rotate"} << options << "-o" << path("out") << path("halves.png"));
    QCOMPARE(result.status, 0);
    const QImage image(path("out/halves.png"));
    QVERIFY(!image.isNull());
    QVERIFY(isRed(image.pixel(redAt)));
    QVERIFY(!isRed(image.pixel(blueAt)));
}

void TestCliBatch::compressKeepsFormatAndShrinks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QByteArray>("format");

    QTest::newRow("png through pngquant") << "photo.png"
                                          << "70" << QByteArray("png");
    QTest::newRow("jpg at level 30") << "photo.jpg"
                                     << "30" << QByteArray("jpeg");
}

void TestCliBatch::compressKeepsFormatAndShrinks()
{
    QFETCH(QString, name);
    QFETCH(QString, level);
    QFETCH(QByteArray, format);

    QVERIFY(busyImage(QSize(200, 150)).save(path(name), nullptr, 100));
    const Run result = run({"compress", "-l", level, "-o", path("out"), path(name)});
    QCOMPARE(result.status, 0);
    const QString out = path("out/" + name);
    QCOMPARE(Fixtures::imageFormat(out), format);
    QCOMPARE(Fixtures::imageSize(out), QSize(200, 150));
    QVERIFY2(QFileInfo(out).size() < QFileInfo(path(name)).size(),
             qPrintable(QStringLiteral("%1 -> %2 bytes").arg(QFileInfo(path(name)).size()).arg(QFileInfo(out).size())));
}

void TestCliBatch::compressionThatWouldGrowKeepsTheSource()
{
    // Written by ImageMagick at quality 10, then asked for level 90: its file would be larger.
    QCOMPARE(QProcess::execute(QStandardPaths::findExecutable("convert"),
                               {"-seed", "7", "-size", "200x150", "plasma:", "-quality", "10", path("low.jpg")}),
             0);
    const Run result = run({"compress", "-l", "90", "-o", path("out"), path("low.jpg")});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.lines,
             (QStringList{"ok " + path("low.jpg") + " -> " + path("out/low.jpg")
                              + " (original kept: compressing did not make it smaller)",
                          "1 succeeded, 0 failed, 0 skipped"}));
    QFile source(path("low.jpg")), output(path("out/low.jpg"));
    QVERIFY(source.open(QIODevice::ReadOnly) && output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), source.readAll());
}

void TestCliBatch::recursiveMirrorsSubFolders()
{
    QVERIFY(QDir().mkpath(path("tree/a")) && QDir().mkpath(path("tree/b/c")));
    // Same names in different folders, and different sizes to tell them apart.
    QVERIFY(busyImage(QSize(30, 20)).save(path("tree/a/x.jpg")));
    QVERIFY(busyImage(QSize(40, 20)).save(path("tree/b/x.jpg")));
    QVERIFY(busyImage(QSize(50, 20)).save(path("tree/b/c/x.jpg")));
    QVERIFY(busyImage(QSize(60, 20)).save(path("tree/x.jpg")));
    const Run result = run({"convert", "-r", "-f", "png", "-o", path("out"), path("tree")});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.lines.last(), QStringLiteral("4 succeeded, 0 failed, 0 skipped"));
    QCOMPARE(Fixtures::imageSize(path("out/x.png")), QSize(60, 20));
    QCOMPARE(Fixtures::imageSize(path("out/a/x.png")), QSize(30, 20));
    QCOMPARE(Fixtures::imageSize(path("out/b/x.png")), QSize(40, 20));
    QCOMPARE(Fixtures::imageSize(path("out/b/c/x.png")), QSize(50, 20));
    QCOMPARE(QDir(path("out")).entryList(QDir::Files), QStringList{"x.png"});
}

void TestCliBatch::filesFromStandardInput()
{
    // NUL-separated names as find -print0 writes them, one with a line break in it.
    const QStringList names{"plain.jpg", "two\nlines.jpg", "blank name.png"};
    QByteArray list;
    for (const QString &name : names) {
        QVERIFY(busyImage(QSize(24, 16)).save(path(name), name.endsWith("png") ? "PNG" : "JPEG"));
        list += QFile::encodeName(path(name)) + '\0';
    }
    const Run result = run({"rotate", "-a", "90", "--files-from", "-", "-0", "-o", path("out")}, list);
    QCOMPARE(result.status, 0);
    QCOMPARE(result.lines.last(), QStringLiteral("3 succeeded, 0 failed, 0 skipped"));
    for (const QString &name : names)
        QCOMPARE(Fixtures::imageSize(path("out/" + name)), QSize(16, 24));

    // A list file, with a path beside it, one name per line; a missing name counts.
    QVERIFY(Fixtures::writeBytes(path("list.txt"), QFile::encodeName(path("plain.jpg")) + "\ngone.jpg\n"));
    const Run mixed = run({"convert", "--files-from", path("list.txt"), "-o", path("mixed"), path("blank name.png")});
    QCOMPARE(mixed.status, 1);
    QVERIFY2(mixed.lines.contains("missing gone.jpg"), qPrintable(mixed.lines.join('\n')));
    QCOMPARE(mixed.lines.last(), QStringLiteral("2 succeeded, 1 failed, 0 skipped"));

    const Run unreadable = run({"convert", "--files-from", path("no-such-list")});
    QCOMPARE(unreadable.status, 2);
    QVERIFY(unreadable.errors.contains("cannot read"));
}

void TestCliBatch::jsonLines()
{
    QVERIFY(busyImage(QSize(24, 16)).save(path("a.jpg")));
    QVERIFY(Fixtures::writeBytes(path("broken.jpg"), "not a picture"));
    QVERIFY(Fixtures::writeBytes(path("notes.txt"), "x"));
    const Run result = run({"convert", "-f", "png", "--json", "-o", path("out"), path("a.jpg"), path("broken.jpg"),
                            path("notes.txt"), path("gone.jpg")});
    QCOMPARE(result.status, 1);
    QCOMPARE(result.lines.size(), 4); // one object per file, no summary
    QHash<QString, QJsonObject> bySource;
    for (const QString &line : result.lines) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(), qPrintable(line));
        bySource.insert(QFileInfo(document.object().value("source").toString()).fileName(), document.object());
    }
    const QJsonObject ok = bySource.value("a.jpg");
    QCOMPARE(ok.value("status").toString(), QStringLiteral("ok"));
    QCOMPARE(ok.value("output").toString(), path("out/a.png"));
    QCOMPARE(ok.value("frames").toInt(), 1);
    QVERIFY(ok.value("reason").isNull());
    const QJsonObject failed = bySource.value("broken.jpg");
    QCOMPARE(failed.value("status").toString(), QStringLiteral("failed"));
    QVERIFY(!failed.value("reason").toString().isEmpty());
    QCOMPARE(failed.value("frames").toInt(), 0);
    QCOMPARE(bySource.value("notes.txt").value("status").toString(), QStringLiteral("skipped"));
    QCOMPARE(bySource.value("gone.jpg").value("status").toString(), QStringLiteral("missing"));
    QVERIFY(bySource.value("gone.jpg").value("output").isNull());
}

void TestCliBatch::gnuParallelSpreadsTheFiles()
{
    const QString parallel = QStandardPaths::findExecutable("parallel");
    QVERIFY2(!parallel.isEmpty(), "GNU parallel is missing (scripts/install-deps installs it)");
    QStringList arguments{
        "--will-cite", "-S", ":",   "-X", "-j", "2",  "-n",        "3",  Fixtures::binDir() + "/quorvane-batch",
        "convert",     "-f", "png", "-j", "1",  "-o", path("out"), ":::"};
    for (int i = 0; i < 7; ++i) {
        const QString name = QStringLiteral("p%1.jpg").arg(i);
        QVERIFY(busyImage(QSize(20 + i, 10)).save(path(name)));
        arguments << path(name);
    }
    const Run result = run(arguments, QByteArray(), parallel);
    QCOMPARE(result.status, 0);
    QCOMPARE(result.lines.filter(QRegularExpression("^ok ")).size(), 7);
    for (int i = 0; i < 7; ++i) {
        const QString out = path(QStringLiteral("out/p%1.png").arg(i));
        QCOMPARE(Fixtures::imageFormat(out), QByteArray("png"));
        QCOMPARE(Fixtures::imageSize(out), QSize(20 + i, 10));
    }
}

void TestCliBatch::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines"); // expected lines; order aside, {} = placeholder for the temp folder

    QTest::newRow("all succeed") << QStringList{"convert", "-f", "png", "{}/a.jpg", "{}/b.png"} << 0
                                 << QStringList{"ok {}/a.jpg -> {}/out/a.png", "ok {}/b.png -> {}/out/b.png",
                                                "2 succeeded, 0 failed, 0 skipped"};
    QTest::newRow("missing file") << QStringList{"convert", "-f", "png", "{}/gone.jpg", "{}/a.jpg"} << 1
                                  << QStringList{"missing {}/gone.jpg", "ok {}/a.jpg -> {}/out/a.png",
                                                 "1 succeeded, 1 failed, 0 skipped"};
    QTest::newRow("skipped suffix is not a failure")
        << QStringList{"rotate", "{}/notes.txt", "{}/scan.tif", "{}/a.jpg"} << 0
        << QStringList{"skipped {}/notes.txt: unsupported suffix", "skipped {}/scan.tif: unsupported suffix",
                       "ok {}/a.jpg -> {}/out/a.jpg", "1 succeeded, 0 failed, 2 skipped"};
    QTest::newRow("only skipped files") << QStringList{"compress", "{}/b.bmp"} << 0
                                        << QStringList{"skipped {}/b.bmp: unsupported suffix",
                                                       "0 succeeded, 0 failed, 1 skipped"};
    QTest::newRow("corrupt file fails") << QStringList{"convert", "-f", "png", "{}/broken.jpg", "{}/a.jpg"} << 1
                                        << QStringList{"failed {}/broken.jpg -> {}/out/broken.png: *",
                                                       "ok {}/a.jpg -> {}/out/a.png",
                                                       "1 succeeded, 1 failed, 0 skipped"};
    QTest::newRow("FIFO fails at once") << QStringList{"convert", "-f", "png", "{}/y.png"} << 1
                                        << QStringList{"failed {}/y.png -> {}/out/y.png: not a regular file (a FIFO)",
                                                       "0 succeeded, 1 failed, 0 skipped"};
    QTest::newRow("GIF named .png: its pictures")
        << QStringList{"convert", "{}/g.png"} << 0
        << QStringList{"ok {}/g.png -> {}/out/g/g-0.jpg (3 pictures)", "1 succeeded, 0 failed, 0 skipped"};
    // One line per file whatever its name holds; none is passed over.
    QTest::newRow("folder of awkward entries")
        << QStringList{"convert", "-f", "png", "{}/in"} << 1
        << QStringList{"failed {}/in/c\\xff.png: file name is not valid UTF-8",
                       "failed {}/in/f.png -> {}/out/f.png: not a regular file (a FIFO)",
                       "ok {}/in/n\\nok 1 succeeded.png -> {}/out/n\\nok 1 succeeded.png",
                       "1 succeeded, 2 failed, 0 skipped"};
}

void TestCliBatch::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, lines);

    QVERIFY(Fixtures::writeImage(path("a.jpg"), QSize(16, 8)));
    QVERIFY(Fixtures::writeImage(path("b.png"), QSize(16, 8)));
    QVERIFY(Fixtures::writeImage(path("b.bmp"), QSize(16, 8)));
    QVERIFY(Fixtures::writeBytes(path("scan.tif"), "skipped before anything reads it"));
    QVERIFY(Fixtures::writeBytes(path("notes.txt"), "notes"));
    QVERIFY(Fixtures::writeBytes(path("broken.jpg"), "this is not a JPEG file"));
    QCOMPARE(::mkfifo(QFile::encodeName(path("y.png")).constData(), 0600), 0);
    QVERIFY(EngineHarness::magick({"-size", "12x8", "xc:red", "xc:lime", "xc:blue", "gif:" + path("g.png")}));
    QVERIFY(QDir(tempDir->path()).mkdir("in"));
    QVERIFY(Fixtures::writeImage(path("in/n\nok 1 succeeded.png"), QSize(16, 8)));
    QCOMPARE(::mkfifo(QFile::encodeName(path("in/f.png")).constData(), 0600), 0);
    // QTemporaryDir cannot name it to remove it.
    const QByteArray undecodableName = QFile::encodeName(path("in")) + "/c\xff.png";
    const auto removeUndecodable = qScopeGuard([&] { ::unlink(undecodableName.constData()); });
    const int undecodable = ::open(undecodableName.constData(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(undecodable >= 0);
    ::close(undecodable);

    arguments.replaceInStrings("{}", tempDir->path());
    lines.replaceInStrings("{}", tempDir->path());
    const Run result = run(arguments << "-o" << path("out"));
    QCOMPARE(result.status, status);
    QCOMPARE(result.lines.size(), lines.size());
    QCOMPARE(result.lines.constLast(), lines.constLast());
    for (const QString &expected : qAsConst(lines)) {
        bool found = false;
        for (const QString &line : result.lines) {
            if (expected.endsWith(": *")) {
                // A failure names the reason: some text after the output path.
                const QString head = expected.chopped(1);
                found = found || (line.startsWith(head) && line.size() > head.size());
            } else {
                found = found || line == expected;
            }
        }
        QVERIFY2(found, qPrintable(expected + "\n  in:\n" + result.lines.join('\n')));
    }
}

void TestCliBatch::failedLineGivesTheToolsReason()
{
    // A JPEG signature, so that ImageMagick gets to look at it.
    QVERIFY(Fixtures::writeBytes(path("broken.jpg"), QByteArray("\xFF\xD8\xFF\xE0") + "this is not a JPEG file"));
    const Run result = run({"convert", "-f", "png", "-o", path("out"), path("broken.jpg")});
    QCOMPARE(result.status, 1);
    const QString prefix = "failed " + path("broken.jpg") + " -> " + path("out/broken.png") + ": ";
    QVERIFY2(result.lines.first().startsWith(prefix), qPrintable(result.lines.first()));
    // ImageMagick's own first error line, naming the file.
    const QString reason = result.lines.first().mid(prefix.size());
    QVERIFY2(reason.startsWith(QLatin1String("convert: ")) && reason.contains(QLatin1String("broken.jpg")),
             qPrintable(reason));
}

void TestCliBatch::usageErrorPrintsOneLine()
{
    QVERIFY(Fixtures::writeImage(path("a.jpg"), QSize(16, 8)));
    const QStringList cases[] = {{}, {"convert"}, {"convert", "-W", "abc", path("a.jpg")}, {"bogus", path("a.jpg")}};
    for (const QStringList &arguments : cases) {
        const Run result = run(arguments);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.lines, QStringList());
        // The reason on one line, then where to read more; not the whole help.
        const QStringList errorLines = result.errors.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(errorLines.size(), 2);
        QVERIFY2(errorLines.at(0).startsWith("quorvane-batch: "), qPrintable(result.errors));
        QCOMPARE(errorLines.at(1), QStringLiteral("Try 'quorvane-batch --help' for more information."));
    }
    QVERIFY(!QFileInfo::exists(path("Desktop"))); // nothing ran
}

void TestCliBatch::helpAndVersion()
{
    for (const char *option : {"--help", "-h"}) {
        const Run help = run({option});
        QCOMPARE(help.status, 0);
        QVERIFY(!help.lines.isEmpty());
        QVERIFY(help.lines.constFirst().startsWith("Usage:"));
        QVERIFY(help.lines.join('\n').contains("rotate   [-a ANGLE] [--flop] [--flip] [COMMON] PATH..."));
    }
    for (const char *option : {"--version", "-V"}) {
        const Run version = run({option});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.lines, QStringList{"quorvane-batch " QUORVANE_VERSION});
    }
}

void TestCliBatch::folderContributesItsFiles()
{
    QVERIFY(QDir(tempDir->path()).mkpath("in/sub"));
    for (const char *name : {"in/B.png", "in/a.jpg", "in/sub/c.jpg"})
        QVERIFY(Fixtures::writeImage(path(name), QSize(16, 8)));
    QVERIFY(Fixtures::writeBytes(path("in/readme.md"), "#"));

    // A relative folder and a relative output folder, resolved against the working folder.
    const Run result = run({"convert", "-f", "gif", "-o", "out", "in"});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.lines.size(), 4);
    QVERIFY(result.lines.contains("ok in/a.jpg -> " + path("out/a.gif")));
    QVERIFY(result.lines.contains("ok in/B.png -> " + path("out/B.gif")));
    QVERIFY(result.lines.contains("skipped in/readme.md: unsupported suffix"));
    QCOMPARE(result.lines.constLast(), QStringLiteral("2 succeeded, 0 failed, 1 skipped"));
    QVERIFY(!QFileInfo::exists(path("out/c.gif")));
}

void TestCliBatch::defaultOutputFolderAndUnicodeNames()
{
    const QString source = path(QStringLiteral("照片 1.png"));
    QVERIFY(Fixtures::writeImage(source, QSize(16, 8)));
    const Run result = run({"convert", source});
    const QString out = path(QStringLiteral("Desktop/Pelmora图片查看器/照片 1.jpg"));
    QCOMPARE(result.lines, QStringList({"ok " + source + " -> " + out, "1 succeeded, 0 failed, 0 skipped"}));
    QCOMPARE(result.status, 0);
    QCOMPARE(Fixtures::imageSize(out), QSize(16, 8));
}

void TestCliBatch::progressLineOnlyOnATerminal()
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        QSKIP("script(1) is needed to give the program a terminal");
    QProcess probe;
    probe.start(script, {"-qefc", "true", "/dev/null"});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        QSKIP("no pseudo-terminal can be had here (script(1) failed)");
    QVERIFY(Fixtures::writeImage(path("a.jpg"), QSize(16, 8)));

    QProcess process;
    setUp(process);
    const QString command = QStringLiteral("'%1/quorvane-batch' convert -o '%2' '%3'")
                                .arg(Fixtures::binDir(), path("out"), path("a.jpg"));
    process.start(script, {"-qefc", command, "/dev/null"});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    // Standard output and error share the terminal: each result line first wipes the
    // progress line, and the summary does so last.
    const QByteArray terminal = process.readAllStandardOutput();
    QVERIFY2(terminal.contains("\r0 of 1 done"), terminal.constData());
    QVERIFY2(terminal.contains("\r\x1b[Kok " + path("a.jpg").toUtf8()), terminal.constData());
    QVERIFY2(terminal.endsWith("\r\x1b[K1 succeeded, 0 failed, 0 skipped\r\n"), terminal.constData());
}

void TestCliBatch::terminationEndsTheRunningTools()
{
    // Large enough that ImageMagick is still encoding when the signal comes.
    QVERIFY(busyImage(QSize(3000, 2000)).save(path("big.jpg"), "JPEG", 95));

    QProcess process;
    setUp(process);
    process.start(Fixtures::binDir() + "/quorvane-batch", {"convert", "-f", "png", "-o", path("out"), path("big.jpg")});
    QVERIFY(process.waitForStarted());
    QList<qint64> tools;
    QTRY_VERIFY_WITH_TIMEOUT(!(tools = childrenOf(process.processId())).isEmpty(), 30000);

    QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + SIGTERM);
    // The unfinished file is named, and the summary still comes.
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
             QStringList({"stopped " + path("big.jpg"), "0 succeeded, 1 failed, 0 skipped"}));
    for (const qint64 tool : qAsConst(tools))
        QVERIFY2(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(tool)), "a tool outlived the program");
    QCOMPARE(QDir(path("out")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

QString TestCliBatch::appWithMagick(const QByteArray &script) const
{
    const QString app = path("app");
    if (!QDir().mkpath(app + "/imagemagick")
        || !QFile::copy(Fixtures::binDir() + "/quorvane-batch", app + "/quorvane-batch")
        || !QFile::copy(Fixtures::binDir() + "/imagemagick/policy.xml", app + "/imagemagick/policy.xml"))
        return QString();
    const QString magick = EngineHarness::writeTool(app, "magick", script);
    return magick.isEmpty() ? QString() : app + "/quorvane-batch";
}

// Started with standard input, output and error closed (as cron or a service may
// start it), it still converts.
void TestCliBatch::closedStandardStreams()
{
    QVERIFY(Fixtures::writeImage(path("a.jpg"), QSize(16, 8)));
    const Run result = run({"-c", "exec \"$0\" \"$@\" <&- >&- 2>&-", Fixtures::binDir() + "/quorvane-batch", "convert",
                            "-f", "png", "-o", path("out"), path("a.jpg")},
                           QByteArray(), "/bin/sh");
    QCOMPARE(result.status, 0);
    QCOMPARE(Fixtures::imageSize(path("out/a.png")), QSize(16, 8));
}

void TestCliBatch::listedNamesKeepTheirOwnLines()
{
    const QByteArray dir = QFile::encodeName(tempDir->path());
    const Run result
        = run({"convert", "-f", "png", "-o", path("out"), "--files-from", "-"}, dir + "/x\xff.jpg\n" + dir + "/x\xfe.jpg\n");
    QCOMPARE(result.status, 1);
    QCOMPARE(result.lines,
             QStringList({"failed " + path("x\\xff.jpg") + ": file name is not valid UTF-8",
                          "failed " + path("x\\xfe.jpg") + ": file name is not valid UTF-8",
                          "0 succeeded, 2 failed, 0 skipped"}));

    const Run refused = run({"convert", "--files-from", "-"}, QByteArray("a.jpg\nb.jpg\0c.jpg\n", 18));
    QCOMPARE(refused.status, 2);
    QCOMPARE(refused.errors, QStringLiteral("quorvane-batch: -: line 2 holds a NUL byte\n"));
}

// The probe of ImageMagick's policy runs as a tool: SIGTERM ends it, and its
// helpers, at once.
void TestCliBatch::stopDuringThePolicyProbe()
{
    const QByteArray probePid = QFile::encodeName(path("probe"));
    const QByteArray helperPid = QFile::encodeName(path("helper"));
    const QString program = appWithMagick("sleep 600 &\necho $! > '" + helperPid + "'\necho $$ > '" + probePid
                                          + ".part' && mv '" + probePid + ".part' '" + probePid + "'\nwait");
    QVERIFY(!program.isEmpty());
    QVERIFY(Fixtures::writeImage(path("a.jpg"), QSize(16, 8)));
    QProcess process;
    setUp(process);
    process.start(program, {"convert", "-f", "png", "-o", path("out"), path("a.jpg")});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("probe")), 30000);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
    QVERIFY(process.waitForFinished(30000));
    QVERIFY2(clock.elapsed() <= 2000, qPrintable(QString::number(clock.elapsed()) + " ms"));
    QCOMPARE(process.exitCode(), 128 + SIGTERM);
    QTRY_VERIFY(!EngineHarness::running(pidIn(path("probe"))) && !EngineHarness::running(pidIn(path("helper"))));
}

// Killed without warning mid-file, the engine leaves its tool's helpers to the
// watchdog and its stage folder to the next run in that folder.
void TestCliBatch::killedEngineLeavesNothingBehind()
{
    const QByteArray dir = QFile::encodeName(tempDir->path());
    const QString program = appWithMagick(
        kAnswersProbe + "if [ -e '" + dir + "/hang' ]; then\n"
        "  : > \"$OUT\"\n"
        "  sleep 600 & echo $! > '" + dir + "/helper'\n"
        "  echo $$ > '" + dir + "/tool.part' && mv '" + dir + "/tool.part' '" + dir + "/tool'\n"
        "  wait\n"
        "fi\n"
        "cp \"$IN\" \"$OUT\"\n");
    QVERIFY(!program.isEmpty());
    QVERIFY(Fixtures::writeImage(path("a.jpg"), QSize(16, 8)));
    QVERIFY(Fixtures::writeImage(path("b.jpg"), QSize(16, 8)));
    QVERIFY(Fixtures::writeBytes(path("hang"), ""));

    QProcess first;
    setUp(first);
    first.start(program, {"convert", "-f", "png", "-o", path("out"), path("a.jpg")});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("tool")), 30000);
    QCOMPARE(stageFolders(path("out")).size(), 1);
    QCOMPARE(::kill(pid_t(first.processId()), SIGKILL), 0);
    QVERIFY(first.waitForFinished(30000));
    QTRY_VERIFY(!EngineHarness::running(pidIn(path("tool"))) && !EngineHarness::running(pidIn(path("helper"))));
    QCOMPARE(stageFolders(path("out")).size(), 1); // nobody could clear it up...

    QVERIFY(QFile::remove(path("hang")));
    const Run second = run({"convert", "-f", "png", "-o", path("out"), path("b.jpg")}, QByteArray(), program);
    QCOMPARE(second.status, 0);
    QCOMPARE(stageFolders(path("out")), QStringList()); // ...until the next run there
    QCOMPARE(QDir(path("out")).entryList(QDir::Files), QStringList{"b.png"});
}

// The processes whose ids a tool wrote, one a line, that still exist, even as a
// process nobody has reaped yet.
QStringList stillThere(const QString &pidFile)
{
    QStringList there;
    const QList<QByteArray> lines = EngineHarness::readAll(pidFile).split('\n');
    for (const QByteArray &line : lines) {
        if (!line.trimmed().isEmpty() && QFileInfo::exists("/proc/" + line.trimmed()))
            there << QString::fromLatin1(line.trimmed());
    }
    return there;
}

// Interrupted while ImageMagick (here its policy question) runs helpers, right
// after a run that was ended while its tool waited: nothing the tool started
// remains once the program has ended, in its group or in a session of its own.
void TestCliBatch::interruptEndsEverythingAToolStarted()
{
    const QByteArray dir = QFile::encodeName(tempDir->path());
    const QString program = appWithMagick("if [ -e '" + dir + "/hang' ]; then\n"
                                          "  echo $$ > '" + dir + "/first.part' && mv '" + dir + "/first.part' '" + dir
                                          + "/first'\n"
                                            "  exec sleep 600\n"
                                            "fi\n"
                                            "sleep 600 & echo $! >> '" + dir + "/helpers'\n"
                                            "setsid sleep 600 & echo $! >> '" + dir + "/helpers'\n"
                                            "echo $$ >> '" + dir + "/helpers'\n"
                                            "mv '" + dir + "/helpers' '" + dir + "/started'\n"
                                            "wait\n");
    QVERIFY(!program.isEmpty());
    QVERIFY(Fixtures::writeImage(path("a.jpg"), QSize(16, 8)));
    QVERIFY(Fixtures::writeBytes(path("hang"), ""));
    QProcess first;
    setUp(first);
    first.start(program, {"convert", "-f", "png", "-o", path("out"), path("a.jpg")});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("first")), 30000);
    QCOMPARE(::kill(pid_t(first.processId()), SIGTERM), 0);
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(stillThere(path("first")), QStringList());

    QVERIFY(QFile::remove(path("hang")));
    QProcess second;
    setUp(second);
    second.start(program, {"convert", "-f", "png", "-o", path("out"), path("a.jpg")});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("started")), 30000);
    QCOMPARE(::kill(pid_t(second.processId()), SIGINT), 0);
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 128 + SIGINT);
    QCOMPARE(stillThere(path("started")), QStringList());
}

// A tool that ends well but leaves a helper behind in a session of its own: the
// helper ends with the run.
void TestCliBatch::helpersOfAFinishedToolEndWithTheRun()
{
    const QByteArray helper = QFile::encodeName(path("helper"));
    const QString program = appWithMagick(kAnswersProbe + "setsid sleep 600 & echo $! > '" + helper + "'\n"
                                          + "cp \"$IN\" \"$OUT\"\n");
    QVERIFY(!program.isEmpty());
    QVERIFY(Fixtures::writeImage(path("a.jpg"), QSize(16, 8)));
    const Run result = run({"convert", "-f", "png", "-o", path("out"), path("a.jpg")}, QByteArray(), program);
    QCOMPARE(result.status, 0);
    QVERIFY(pidIn(path("helper")) > 0);
    QCOMPARE(stillThere(path("helper")), QStringList());
}

// With no home to write in (HOME a file here; "nobody"'s is missing), the
// intermediates go to a private folder of ours and the conversion works.
void TestCliBatch::noWritableHome()
{
    // An installed layout, so the temporary folder is not beside the program.
    const QString program = appWithMagick(kAnswersProbe + "cp \"$IN\" \"$OUT\"");
    QVERIFY(!program.isEmpty());
    QVERIFY(QDir().mkpath(path("lib/quorvane")));
    QVERIFY(Fixtures::writeBytes(path("home"), "not a folder"));
    QVERIFY(Fixtures::writeImage(path("a.jpg"), QSize(16, 8)));
    QTemporaryDir runtime;
    QProcess process;
    setUp(process);
    QProcessEnvironment env = process.processEnvironment();
    env.insert("HOME", path("home"));
    env.remove("XDG_CACHE_HOME");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    process.setProcessEnvironment(env);
    process.start(program, {"convert", "-f", "png", "-o", path("out"), path("a.jpg")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.readAllStandardOutput(), QByteArray("ok " + QFile::encodeName(path("a.jpg")) + " -> "
                                                        + QFile::encodeName(path("out/a.png"))
                                                        + "\n1 succeeded, 0 failed, 0 skipped\n"));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(QFileInfo(runtime.filePath("quorvane")).isDir());
}

QTEST_GUILESS_MAIN(TestCliBatch)
#include "tst_cli_batch.moc"
