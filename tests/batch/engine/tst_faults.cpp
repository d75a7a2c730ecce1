#include "app/AppSetup.h"
#include "FileTask.h"
#include "batch/engine/BatchJob.h"
#include "MagickFormats.h"
#include "MagickPolicy.h"
#include "ProcessRunner.h"
#include "LockedFolder.h"
#include "SourceCheck.h"
#include "StagedOutput.h"
#include "TempArea.h"
#include "process/ToolLocator.h"
#include "formats/ContentFormat.h"
#include "support/EngineHarness.h"
#include "support/Fixtures.h"
#include "support/SelfChild.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLocalServer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace EngineHarness;

// The batch engine against hostile input and faults: files that are no files,
// tools that hang or leave helpers behind, content that is not what its name
// says, damaged and oversized pictures, names that are not UTF-8, a full disk,
// and a second process sharing the temporary folder.
class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void sniffing_data();
    void sniffing();
    void policySizes_data();
    void policySizes();
    void onlyRegularFilesReachATool_data();
    void onlyRegularFilesReachATool();
    void stuckToolsAreEnded_data();
    void stuckToolsAreEnded();
    void helpersEndWithTheirTool_data();
    void helpersEndWithTheirTool();
    void stopLeavesNothingBehind();
    void toolEnvironment();
    void policyHolds_data();
    void policyHolds();
    void policyLimitsAreInForce();
    void onlyAnImageMagickApplyingThePolicyRuns_data();
    void onlyAnImageMagickApplyingThePolicyRuns();
    void hangingImageMagickFailsFast();
    void contentDecidesTheDecoder_data();
    void contentDecidesTheDecoder();
    void damagedSourcesFail_data();
    void damagedSourcesFail();
    void oneVerdictPerSource_data();
    void oneVerdictPerSource();
    void pngquantNeverGetsAHugePicture_data();
    void pngquantNeverGetsAHugePicture();
    void multiPictureOutputsLandAsASet();
    void foreignFilesAreNeverAdopted();
    void nameTakenAtTheLastMoment_data();
    void nameTakenAtTheLastMoment();
    void sweepNeverFollowsALink_data();
    void sweepNeverFollowsALink();
    void namesThatAreNotUtf8_data();
    void namesThatAreNotUtf8();
    void fullDiskIsSaidSo();
    void secondProcessKeepsItsTemp();
    void runnerOutcomes_data();
    void runnerOutcomes();
    void toolDiesWithUs_data();
    void toolDiesWithUs();

private:
    QString jpg(const QString &name, const QSize &size = QSize(40, 20));

    QTemporaryDir workDir;
};

namespace {

const JobSettings kToPng = settingsFor(Operation::Convert, "png");
const JobSettings kToJpg = settingsFor(Operation::Convert, "jpg");

// Noise that compresses badly: a JPEG of it is large enough to cut in half.
QImage noise(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    quint32 state = 99;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            state = state * 1103515245u + 12345u;
            image.setPixel(x, y, state >> 8);
        }
    }
    return image;
}

bool writeBytesAt(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(fd);
    return ok;
}

// The temporary folders this process holds (their lock files are open here).
QString ownTempFolders()
{
    QStringList held;
    const QString root = TempArea::jobTempDir() + QStringLiteral("/quorvane-");
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System);
    for (const QString &fd : fds) {
        const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + fd);
        if (target.startsWith(root) && target.endsWith(QLatin1String("/.lock")))
            held << QFileInfo(target).dir().dirName();
    }
    return held.join(',');
}

// Child mode: one worker runs a tool that starts a helper and writes an
// ImageMagick-style temporary file, then hangs; the process is shut down as on
// exit. Prints what survived.
int stopChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(dir, "forks",
                                       "sleep 600 &\necho $! > '" + dir.toUtf8()
                                           + "/helper'\n: > \"$MAGICK_TEMPORARY_PATH/magick-1\"\n" + "echo $$ > '"
                                           + dir.toUtf8() + "/tool'\nsleep 600"));
    Fixtures::writeImage(dir + "/s.jpg", QSize(8, 6));
    QDir().mkdir(dir + "/out");
    auto *job = new BatchJob(settingsFor(Operation::Convert, "png"), {{1, dir + "/s.jpg"}}, dir + "/out");
    job->start();
    for (int i = 0; i < 3000 && !QFile::exists(dir + "/tool"); ++i)
        QThread::msleep(10);
    QThread::msleep(100);
    const QString temp = ownTempFolders();
    BatchJob::shutdownAll();
    const qint64 helper = readAll(dir + "/helper").trimmed().toLongLong();
    const qint64 tool = readAll(dir + "/tool").trimmed().toLongLong();
    QStringList left;
    if (helper <= 0 || tool <= 0 || temp.isEmpty())
        left << "the tool never ran";
    if (running(helper))
        left << "helper";
    if (running(tool))
        left << "tool";
    if (!ownTempFolders().isEmpty())
        left << "temp " + ownTempFolders();
    if (!entriesBelow(dir + "/out").isEmpty())
        left << "out " + entriesBelow(dir + "/out").join(',');
    std::fputs(qPrintable(left.join(' ')), stdout);
    std::fflush(stdout);
    std::_Exit(0);
}

// Child mode: holds a private temporary folder until killed.
int holdTempChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TempFolder folder;
    std::fputs(qPrintable(folder.path() + '\n'), stdout);
    std::fflush(stdout);
    QThread::sleep(120);
    return 0;
}

// Child mode: runs a tool that starts helpers of every kind (in its group, in a
// session of their own, orphaned by a parent that exited), writes their ids and
// its own, and sleeps, until killed.
int runnerChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    ProcessRunner runner(dir);
    runner.run(QStringLiteral("/bin/sh"),
               {"-c", "sleep 600 & echo $! > group\n"
                      "setsid sleep 600 & echo $! > session\n"
                      "sh -c 'setsid sleep 600 & echo $! > orphan' && sleep 0.2\n"
                      "echo $$ > tool.part && mv tool.part tool && exec sleep 600"});
    return 0;
}

int childMain(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--runner-child") == 0)
        return runnerChild(argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], "--stop-child") == 0)
        return stopChild(argc, argv);
    return holdTempChild(argc, argv);
}

} // namespace

void TestFaults::initTestCase()
{
    AppSetup::run();
    QVERIFY(workDir.isValid());
}

void TestFaults::cleanup()
{
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, QString());
    ToolLocator::setOverride(ToolLocator::Tool::Pngquant, QString());
    ProcessRunner::setLimits(ToolLimits());
}

void TestFaults::sniffing_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("coder");
    QTest::addColumn<QSize>("size");
    const QByteArray pngHead = QByteArray("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x4E\x20\0\0\x4E\x20", 24);
    QByteArray bmpHead("BM", 2);
    bmpHead += QByteArray(12, '\0') + QByteArray("\x28\0\0\0\x10\0\0\0\xF0\xFF\xFF\xFF", 12); // top-down
    QTest::newRow("JPEG") << QByteArray("\xFF\xD8\xFF\xE0", 4) << "png"
                          << "jpeg" << QSize();
    QTest::newRow("PNG declaring 20000x20000") << pngHead << "jpg"
                                               << "png" << QSize(20000, 20000);
    QTest::newRow("GIF") << QByteArray("GIF89a\x0C\0\x08\0", 10) << "png"
                         << "gif" << QSize(12, 8);
    QTest::newRow("BMP stored top-down") << bmpHead << "bmp"
                                         << "bmp" << QSize(16, 16);
    QTest::newRow("TIFF, big-endian") << QByteArray("MM\0*", 4) << "jpg"
                                      << "tiff" << QSize();
    QTest::newRow("WebP") << QByteArray("RIFF\0\0\0\0WEBPVP8 ", 16) << "webp"
                          << "webp" << QSize();
    QTest::newRow("PSD") << QByteArray("8BPS") << "psd"
                         << "psd" << QSize();
    QTest::newRow("icon of two sizes, named .png") << QByteArray("\0\0\1\0\2\0", 6) << "png"
                                                   << "ico" << QSize();
    QTest::newRow("HEIC") << QByteArray("\0\0\0\x18"
                                        "ftypheic",
                                        12)
                          << "heic"
                          << "heic" << QSize();
    QTest::newRow("MP4 in a HEIC's box") << QByteArray("\0\0\0\x18"
                                                       "ftypisom",
                                                       12)
                                         << "heic"
                                         << "" << QSize();
    QTest::newRow("TGA has no signature: its suffix holds") << QByteArray("\0\0\x02\0", 4) << "tga"
                                                            << "tga" << QSize();
    QTest::newRow("TGA's start named .jpg") << QByteArray("\0\0\x02\0\0\0", 6) << "jpg"
                                            << "" << QSize();
    QTest::newRow("PostScript named .png") << QByteArray("%!PS-Adobe-3.0") << "png"
                                           << "" << QSize();
    QTest::newRow("SVG") << QByteArray("<?xml version=\"1.0\"?><svg") << "png"
                         << "" << QSize();
}

void TestFaults::sniffing()
{
    QFETCH(QByteArray, head);
    QFETCH(QString, suffix);
    QFETCH(QString, coder);
    QFETCH(QSize, size);
    QCOMPARE(ContentFormat::of(head, suffix), coder);
    QCOMPARE(ContentFormat::headerSize(head), size);
}

void TestFaults::policySizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("megapixels") << "128MP" << qint64(128000000);
    QTest::newRow("kilopixels") << "16KP" << qint64(16000);
    QTest::newRow("binary") << "1GiB" << (qint64(1) << 30);
    QTest::newRow("seconds") << "1800" << qint64(1800);
    QTest::newRow("nonsense") << "lots" << qint64(-1);
}

void TestFaults::policySizes()
{
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(MagickPolicy::parseSize(text), value);
}

QString TestFaults::jpg(const QString &name, const QSize &size)
{
    const QString path = workDir.filePath(name);
    if (!QFile::exists(path))
        Fixtures::writeImage(path, size);
    return path;
}

void TestFaults::onlyRegularFilesReachATool_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "fifo"
                          << "not a regular file (a FIFO)";
    QTest::newRow("device behind a link") << "device"
                                          << "not a regular file (a device)";
    QTest::newRow("socket") << "socket"
                            << "not a regular file (a socket)";
    QTest::newRow("folder with a picture's name") << "folder"
                                                  << "not a regular file (a folder)";
    QTest::newRow("empty file") << "empty"
                                << "the file is empty";
}

void TestFaults::onlyRegularFilesReachATool()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    // Should a FIFO reach ImageMagick, it blocks in open(): ended early, and failing
    // with the wrong reason.
    ProcessRunner::setLimits({2000, 60000, 500});
    QTemporaryDir in, out;
    const QString path = in.filePath("y.png");
    QLocalServer server;
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "device")
        QVERIFY(QFile::link("/dev/zero", path));
    else if (kind == "socket")
        QVERIFY(server.listen(path));
    else if (kind == "folder")
        QVERIFY(QDir().mkdir(path));
    else
        QVERIFY(Fixtures::writeBytes(path, QByteArray()));
    for (const JobSettings &settings : {kToJpg, settingsFor(Operation::Compress, QString(), 70)}) {
        const WorkerResult result = runWorker(settings, path, out.path());
        QVERIFY(!result.success);
        QCOMPARE(result.reason, reason);
        QCOMPARE(entriesBelow(out.path()), QStringList());
    }
}

void TestFaults::stuckToolsAreEnded_data()
{
    // Each row trips one limit only; the other is far away.
    QTest::addColumn<QByteArray>("tool");
    QTest::addColumn<int>("idleMs");
    QTest::addColumn<int>("wallMs");
    QTest::addColumn<QString>("reason");
    QTest::newRow("waits for ever") << QByteArray("sleep 600") << 1000 << 600000
                                    << "stuck made no progress for 1 s and was ended";
    QTest::newRow("reads a FIFO nobody writes") << QByteArray("mkfifo \"$OUT.fifo\" && cat \"$OUT.fifo\"") << 1000
                                                << 600000 << "stuck made no progress for 1 s and was ended";
    QTest::newRow("busy without end") << QByteArray("while :; do :; done") << 600000 << 3000
                                      << "stuck ran longer than 3 s and was ended";
    // The work of a helper below the tool, two levels down, is the tool's progress.
    QTest::newRow("busy in a helper's helper") << QByteArray("(sh -c 'while :; do :; done; :'; :) & wait") << 1000
                                               << 3000 << "stuck ran longer than 3 s and was ended";
}

void TestFaults::stuckToolsAreEnded()
{
    QFETCH(QByteArray, tool);
    QFETCH(int, idleMs);
    QFETCH(int, wallMs);
    QFETCH(QString, reason);
    ProcessRunner::setLimits({idleMs, wallMs, 500});
    QTemporaryDir tools, out;
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, writeTool(tools.path(), "stuck", tool));
    const WorkerResult result = runWorker(kToPng, jpg("s.jpg"), out.path());
    QVERIFY(!result.success);
    QCOMPARE(result.reason, reason);
    QCOMPARE(entriesBelow(out.path()), QStringList());
}

void TestFaults::helpersEndWithTheirTool_data()
{
    QTest::addColumn<QByteArray>("start"); // how the tool starts its helper
    QTest::addColumn<QByteArray>("ending"); // what the tool does after starting its helper
    QTest::addColumn<bool>("success");
    QTest::newRow("tool hangs") << QByteArray("sleep 600") << QByteArray("sleep 600") << false;
    QTest::newRow("tool finishes") << QByteArray("sleep 600") << QByteArray("cp \"$IN\" \"$OUT\"") << true;
    QTest::newRow("tool hangs, helper in a session of its own")
        << QByteArray("setsid sleep 600") << QByteArray("sleep 600") << false;
}

void TestFaults::helpersEndWithTheirTool()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, ending);
    QFETCH(bool, success);
    ProcessRunner::setLimits({1000, 60000, 500});
    QTemporaryDir tools, out;
    const QByteArray pidFile = tools.filePath("helper").toUtf8();
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(tools.path(), "forks", start + " &\necho $! > '" + pidFile + "'\n" + ending));
    const WorkerResult result = runWorker(kToPng, jpg("h.jpg"), out.path());
    QCOMPARE(result.success, success);
    const qint64 helper = readAll(pidFile).trimmed().toLongLong();
    QVERIFY(helper > 0);
    QTRY_VERIFY(!running(helper)); // killed, then reaped by whoever adopted it
}

void TestFaults::stopLeavesNothingBehind()
{
    QTemporaryDir work;
    QProcess child;
    QVERIFY(SelfChild::run(child, {"--stop-child", work.path()}, 60000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), QString());
}

void TestFaults::toolEnvironment()
{
    // The user's ImageMagick set-up never reaches the tools; the file's own
    // temporary folder does, and goes with the file.
    qputenv("MAGICK_CONFIGURE_PATH", "/nowhere");
    qputenv("MAGICK_AREA_LIMIT", "1TP");
    QTemporaryDir tools, out;
    ToolLocator::setOverride(
        ToolLocator::Tool::ImageMagick,
        writeTool(tools.path(), "env",
                  "printf '%s\\n%s\\n%s\\n%s' \"$MAGICK_TEMPORARY_PATH\" \"$TMPDIR\" \"$MAGICK_CONFIGURE_PATH\" "
                  "\"$MAGICK_AREA_LIMIT\" > \"$OUT\""));
    const WorkerResult result = runWorker(kToPng, jpg("env.jpg"), out.path());
    qunsetenv("MAGICK_CONFIGURE_PATH");
    qunsetenv("MAGICK_AREA_LIMIT");
    QVERIFY(result.success);
    const QStringList lines = QString::fromUtf8(readAll(result.path)).split('\n');
    QCOMPARE(lines.size(), 4);
    const QString temp = lines.at(0);
    QCOMPARE(QFileInfo(temp).path(), TempArea::jobTempDir());
    QVERIFY(QFileInfo(temp).fileName().startsWith("quorvane-"));
    QVERIFY(!QFileInfo::exists(temp));
    QCOMPARE(lines.at(1), temp);
    QVERIFY(QFileInfo(lines.at(2) + "/policy.xml").isFile());
    QCOMPARE(lines.at(3), QString());
}

void TestFaults::policyHolds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("format"); // forced on ImageMagick: the policy alone must refuse
    const QByteArray eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnewpath 0 0 moveto 10 10 lineto "
                           "stroke showpage\n";
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
                           "<rect width=\"10\" height=\"10\" fill=\"red\"/></svg>";
    const QByteArray mvg = "push graphic-context\nviewbox 0 0 10 10\nfill red\nrectangle 0 0 5 5\npop "
                           "graphic-context\n";
    const QByteArray msl = "<?xml version=\"1.0\"?><image><read filename=\"/etc/hostname\"/></image>";
    QTest::newRow("EPS named .png") << "eps.png" << eps << "eps";
    QTest::newRow("PostScript") << "ps.png" << eps << "ps";
    QTest::newRow("PDF") << "pdf.png" << QByteArray("%PDF-1.4\n") << "pdf";
    QTest::newRow("SVG named .png") << "svg.png" << svg << "svg";
    QTest::newRow("MVG") << "x.mvg" << mvg << "mvg";
    QTest::newRow("MSL") << "x.msl" << msl << "msl";
    QTest::newRow("text") << "notes.jpg" << QByteArray("secret\n") << "text";
    QTest::newRow("@ list of files") << "list.jpg" << QByteArray() << "@";
    QTest::newRow("URL") << "u.png" << QByteArray() << "http";
}

void TestFaults::policyHolds()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, format);
    const QString magick = ToolLocator::program(ToolLocator::Tool::ImageMagick);
    QVERIFY(MagickPolicy::appliedBy(magick));
    QTemporaryDir in, out;
    const QString picture = in.filePath("p.png");
    QVERIFY(Fixtures::writeImage(picture, QSize(4, 4)));
    QString input = in.filePath(name);
    QVERIFY(Fixtures::writeBytes(input, content.isEmpty() ? picture.toUtf8() : content));
    if (format == "@")
        input = "@" + input;
    else if (format == "http")
        input = "http://127.0.0.1:9/p.png";
    else
        input = format + ":" + input;

    ProcessRunner runner(in.path(), in.path());
    const ToolRun run = runner.run(magick, {input, out.filePath("o.png")});
    QVERIFY(!run.ok());
    QVERIFY2(run.errorText.contains("not allowed by the security policy"), qPrintable(run.errorText));
    QCOMPARE(entriesBelow(out.path()), QStringList());
    QVERIFY(QFile::exists(picture));
}

void TestFaults::policyLimitsAreInForce()
{
    // What the engine reads from the policy (pngquant's guard) is what ImageMagick applies.
    QProcess process;
    process.setProcessEnvironment(ProcessRunner::childEnvironment());
    process.start(ToolLocator::program(ToolLocator::Tool::ImageMagick), {"-list", "resource"});
    QVERIFY(process.waitForFinished(30000));
    const QString listing = QString::fromUtf8(process.readAllStandardOutput());
    const auto limit = [&listing](const char *name) {
        const QRegularExpressionMatch match
            = QRegularExpression(QStringLiteral("^\\s*%1: (\\S+)").arg(QLatin1String(name)),
                                 QRegularExpression::MultilineOption)
                  .match(listing);
        return MagickPolicy::parseSize(match.captured(1));
    };
    const MagickPolicy::Limits limits = MagickPolicy::limits();
    QVERIFY(limits.area >= 50000000); // a 50 megapixel picture still converts
    QCOMPARE(limit("Area"), limits.area);
    QCOMPARE(limit("Width"), limits.width);
    QCOMPARE(limit("Height"), limits.height);
}

void TestFaults::onlyAnImageMagickApplyingThePolicyRuns_data()
{
    QTest::addColumn<QByteArray>("listing"); // what "-list policy" prints
    QTest::addColumn<bool>("applied");
    const QByteArray ours = "Path: " + QFile::encodeName(MagickPolicy::configDir()) + "/policy.xml\n";
    QTest::newRow("lists the program's policy") << "Path: /etc/ImageMagick-6/policy.xml\n" + ours << true;
    QTest::newRow("only the system's") << QByteArray("Path: /etc/ImageMagick-6/policy.xml\n") << false;
    QTest::newRow("built without configuration files") << QByteArray("Path: [built-in]\n") << false;
    QTest::newRow("a look-alike file") << QByteArray(ours).replace("policy.xml", "policy.xml.bak") << false;
}

void TestFaults::onlyAnImageMagickApplyingThePolicyRuns()
{
    QFETCH(QByteArray, listing);
    QFETCH(bool, applied);
    QTemporaryDir tools;
    // A fresh path per row: the answer is kept per program.
    const QString magick
        = writeTool(tools.path(), QStringLiteral("magick-%1").arg(QTest::currentDataTag()).replace(' ', '-'),
                    "printf '%s' '" + listing + "'");
    QCOMPARE(MagickPolicy::appliedBy(magick), applied);
}

// Its two questions (policy, formats) share a few seconds: an ImageMagick that
// hangs fails its file in seconds, not after two idle limits of a minute each.
void TestFaults::hangingImageMagickFailsFast()
{
    QTemporaryDir tools;
    const QString magick = writeTool(tools.path(), "hangs", "sleep 600");
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!MagickPolicy::appliedBy(magick));
    QVERIFY(MagickFormats::of(magick).isEmpty());
    QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
}

void TestFaults::contentDecidesTheDecoder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: a PNG picture; "TGA": a TGA picture
    QTest::addColumn<QString>("reason"); // empty: converts
    const QString notPicture = "the content is not a picture format the program reads";
    QTest::newRow("PNG named .jpg converts") << "p.jpg" << QByteArray() << "";
    QTest::newRow("a real TGA (starts like a cursor)") << "t.tga" << QByteArray("TGA") << "";
    QTest::newRow("PNG named .tga converts") << "p.tga" << QByteArray() << "";
    QTest::newRow("EPS named .png") << "eps.png" << QByteArray("%!PS-Adobe-3.0 EPSF-3.0\nshowpage\n") << notPicture;
    QTest::newRow("SVG named .png") << "svg.png" << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"/>")
                                    << notPicture;
    QTest::newRow("MVG named .jpg") << "mvg.jpg" << QByteArray("viewbox 0 0 10 10\nfill red\n") << notPicture;
    QTest::newRow("MP4 named .heic") << "v.heic"
                                     << QByteArray("\0\0\0\x18"
                                                   "ftypisom\0\0\0\0",
                                                   16)
                                     << notPicture;
}

void TestFaults::contentDecidesTheDecoder()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QTemporaryDir in, out;
    const QString source = in.filePath(name);
    if (content.isEmpty())
        QVERIFY(QImage(noise(QSize(12, 8))).save(source, "PNG"));
    else if (content == "TGA")
        QVERIFY(magick({"-size", "12x8", "xc:red", "-compress", "none", "tga:" + source}));
    else
        QVERIFY(Fixtures::writeBytes(source, content));
    const WorkerResult result = runWorker(kToJpg, source, out.path());
    QCOMPARE(result.success, reason.isEmpty());
    QCOMPARE(result.reason, reason);
    if (reason.isEmpty())
        QCOMPARE(Fixtures::imageSize(result.path), QSize(12, 8));
    else
        QCOMPARE(entriesBelow(out.path()), QStringList());
}

void TestFaults::damagedSourcesFail_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("reason"); // part of the reason given
    QTest::newRow("JPEG cut in half") << "cut.jpg" << QByteArray("JPEG") << "Premature end of JPEG file";
    QTest::newRow("PNG cut in half") << "cut.png" << QByteArray("PNG") << "";
    QTest::newRow("WebP cut in half") << "cut.webp" << QByteArray("WEBP") << "insufficient image data";
}

void TestFaults::damagedSourcesFail()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(QString, reason);
    QTemporaryDir in, out;
    const QString source = in.filePath(name);
    QVERIFY(noise(QSize(200, 150)).save(source, format.constData(), 90));
    const QByteArray whole = readAll(source);
    QVERIFY(Fixtures::writeBytes(source, whole.left(whole.size() / 2)));
    for (const JobSettings &settings : {kToPng, settingsFor(Operation::Rotate)}) {
        const WorkerResult result = runWorker(settings, source, out.path());
        QVERIFY(!result.success);
        QVERIFY2(!result.reason.isEmpty() && result.reason.contains(reason), qPrintable(result.reason));
        QCOMPARE(entriesBelow(out.path()), QStringList());
    }
}

// A source gets one verdict whatever is done with it: lost pixels fail; a warning
// after which every pixel is there succeeds, the warning kept as the file's note.
void TestFaults::oneVerdictPerSource_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("reason"); // part of the reason or warning, where ImageMagick decodes it

    QBuffer jpeg;
    jpeg.open(QIODevice::WriteOnly);
    QVERIFY(noise(QSize(120, 90)).save(&jpeg, "JPEG", 90));
    const QByteArray whole = jpeg.data();
    QTest::newRow("stray bytes before a JPEG marker")
        << "stray.jpg" << QByteArray(whole).insert(whole.indexOf("\xff\xdb"), "\x12\x34", 2) << true
        << "2 extraneous bytes before marker";
    QTest::newRow("JPEG cut short") << "cut.jpg" << whole.left(whole.size() * 2 / 3) << false << "Premature end";

    // A colour profile chunk whose checksum is wrong, right after the header.
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    QVERIFY(noise(QSize(60, 40)).save(&png, "PNG"));
    QByteArray profile("icc\0\0", 5);
    profile += qCompress(QByteArray(300, 'p')).mid(4);
    QByteArray chunk(4, 0);
    chunk[2] = char(profile.size() >> 8);
    chunk[3] = char(profile.size() & 0xff);
    chunk += "iCCP" + profile + QByteArray("\0\0\0\1", 4);
    QTest::newRow("PNG with a damaged colour profile")
        << "profile.png" << QByteArray(png.data()).insert(33, chunk) << true << "iCCP";
}

void TestFaults::oneVerdictPerSource()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, success);
    QFETCH(QString, reason);
    QTemporaryDir in;
    const QString source = in.filePath(name);
    QVERIFY(Fixtures::writeBytes(source, bytes));
    const QList<JobSettings> operations{kToPng, settingsFor(Operation::Resize, QString(), -1, 30, 20),
                                        settingsFor(Operation::Compress, QString(), 70), settingsFor(Operation::Rotate)};
    for (const JobSettings &settings : operations) {
        QTemporaryDir out;
        const WorkerResult result = runWorker(settings, source, out.path());
        const QString what = QStringLiteral("operation %1: %2").arg(int(settings.operation)).arg(result.reason);
        QVERIFY2(result.success == success, qPrintable(what));
        // pngquant decodes a PNG to compress it and says nothing of an ancillary chunk.
        const bool quiet = settings.operation == Operation::Compress && name.endsWith(".png") && success;
        QVERIFY2(quiet || result.reason.contains(reason), qPrintable(what));
        QCOMPARE(entriesBelow(out.path()).isEmpty(), !success);
    }
}

void TestFaults::pngquantNeverGetsAHugePicture_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("started");
    QTest::newRow("20000x20000 in 60 bytes") << 20000 << 20000 << false;
    QTest::newRow("wider than the policy allows") << 16001 << 10 << false;
    QTest::newRow("small") << 100 << 100 << true;
}

void TestFaults::pngquantNeverGetsAHugePicture()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, started);
    QTemporaryDir in, out;
    const QString marker = in.filePath("started");
    ToolLocator::setOverride(ToolLocator::Tool::Pngquant,
                             writeTool(in.path(), "pq", ": > '" + marker.toUtf8() + "'\ncp \"$IN\" \"$OUT\""));
    const QString png = in.filePath("huge.png");
    QVERIFY(Fixtures::writePngHeader(png, quint32(width), quint32(height)));
    const WorkerResult result = runWorker(settingsFor(Operation::Compress, QString(), 70), png, out.path());
    QCOMPARE(QFile::exists(marker), started);
    QCOMPARE(result.success, started);
    if (!started)
        QVERIFY2(
            result.reason.startsWith(QStringLiteral("the picture is too large: %1x%2 pixels").arg(width).arg(height)),
            qPrintable(result.reason));
}

void TestFaults::multiPictureOutputsLandAsASet()
{
    // A GIF named .png: ImageMagick writes one file per picture whatever the suffix
    // said, and the set goes to a folder of its own.
    const QString gif = workDir.filePath("x.png");
    QVERIFY(magick({"-size", "12x8", "xc:red", "xc:lime", "xc:blue", "gif:" + gif}));
    QTemporaryDir out;
    const WorkerResult first = runWorker(kToJpg, gif, out.path(), 1);
    QVERIFY(first.success);
    QCOMPARE(first.path, out.filePath("x/x-0.jpg"));
    QCOMPARE(first.frames, 3);
    QCOMPARE(entriesBelow(out.path()), QStringList({"x", "x/x-0.jpg", "x/x-1.jpg", "x/x-2.jpg"}));

    // The folder is taken: the set goes to the collision name, whole.
    const WorkerResult second = runWorker(kToJpg, gif, out.path(), 2);
    QVERIFY(second.success);
    QVERIFY2(QRegularExpression("/x_\\d{8}2/x-0\\.jpg$").match(second.path).hasMatch(), qPrintable(second.path));
    QCOMPARE(entriesBelow(out.path()).size(), 8);

    // A file of the folder's name is never replaced either.
    QTemporaryDir out2;
    QVERIFY(Fixtures::writeBytes(out2.filePath("x"), "someone's"));
    const WorkerResult third = runWorker(kToJpg, gif, out2.path(), 3);
    QVERIFY(third.success);
    QVERIFY2(QRegularExpression("/x_\\d{8}3/x-0\\.jpg$").match(third.path).hasMatch(), qPrintable(third.path));
    QCOMPARE(readAll(out2.filePath("x")), QByteArray("someone's"));
    QCOMPARE(entriesBelow(out2.path()).size(), 5);
}

void TestFaults::foreignFilesAreNeverAdopted()
{
    // Files named like what the engine once wrote, or what ImageMagick writes, stay as they are.
    QTemporaryDir out;
    const QStringList foreign = {".quorvane-1234-1-0.png", ".quorvane-1234-1.png", "out-0.png", "out.png"};
    for (const QString &name : foreign)
        QVERIFY(Fixtures::writeBytes(out.filePath(name), name.toUtf8()));
    const QString gif = workDir.filePath("f.gif");
    QVERIFY(magick({"-size", "12x8", "xc:red", "xc:lime", gif}));
    QVERIFY(runWorker(kToPng, jpg("s.jpg"), out.path()).success);
    QVERIFY(runWorker(settingsFor(Operation::Rotate), gif, out.path()).success);
    for (const QString &name : foreign)
        QCOMPARE(readAll(out.filePath(name)), name.toUtf8());
    QStringList expected = foreign;
    expected << "f.gif"
             << "s.png";
    expected.sort();
    QCOMPARE(entriesBelow(out.path()), expected);
}

void TestFaults::nameTakenAtTheLastMoment_data()
{
    QTest::addColumn<bool>("link"); // a dangling symbolic link takes the name, else a file
    QTest::newRow("a file") << false;
    QTest::newRow("a dangling link") << true;
}

// Another program saves under the output's name between the choice of the name and
// the rename into place: its file stays as it is, no write goes through its link,
// and the output takes the next free name.
void TestFaults::nameTakenAtTheLastMoment()
{
    QFETCH(bool, link);
    QTemporaryDir out;
    const QString taken = out.filePath("s.png");
    const QString linkTarget = out.filePath("through-the-link.png");
    StagedOutput::setBeforeRename([&](const QString &to) {
        if (to != taken || QFileInfo(taken).isSymLink() || QFileInfo::exists(taken))
            return;
        if (link)
            QFile::link(linkTarget, taken);
        else
            Fixtures::writeBytes(taken, "theirs");
    });
    const auto noHook = qScopeGuard([] { StagedOutput::setBeforeRename({}); });
    const WorkerResult result = runWorker(kToPng, jpg("s.jpg"), out.path());
    QVERIFY2(result.success, qPrintable(result.reason));
    QVERIFY2(QFileInfo(result.path).fileName().startsWith("s_"), qPrintable(result.path));
    QCOMPARE(QImage(result.path).size(), QSize(40, 20));
    if (link) {
        QCOMPARE(QFileInfo(taken).symLinkTarget(), linkTarget);
        QVERIFY(!QFileInfo::exists(linkTarget));
    } else {
        QCOMPARE(readAll(taken), QByteArray("theirs"));
    }
    QCOMPARE(entriesBelow(out.path()), QStringList({"s.png", QFileInfo(result.path).fileName()}));
}

void TestFaults::sweepNeverFollowsALink_data()
{
    QTest::addColumn<bool>("swapped"); // the stage folder is swapped for a link once listed
    QTest::newRow("abandoned folder") << false;
    QTest::newRow("swapped for a link") << true;
}

// In a shared output folder another user may swap an abandoned stage folder for a
// link between the sweep's look and its removal: the link's target keeps its files.
void TestFaults::sweepNeverFollowsALink()
{
    QFETCH(bool, swapped);
    QTemporaryDir parent;
    const QString name = QString::fromLatin1(StagedOutput::kFolderPrefix) + "0123456789abcdef";
    const QString stage = parent.filePath(name);
    QVERIFY(QDir().mkpath(stage + "/inner"));
    QVERIFY(Fixtures::writeBytes(stage + "/.lock", ""));
    QVERIFY(Fixtures::writeBytes(stage + "/inner/out.png", "partial"));
    const QString victim = parent.filePath("victim");
    QVERIFY(QDir().mkpath(victim + "/inner"));
    QVERIFY(Fixtures::writeBytes(victim + "/keep.txt", "keep"));
    QVERIFY(Fixtures::writeBytes(victim + "/inner/keep.txt", "keep"));
    const QStringList removed
        = LockedFolder::sweep(parent.path(), QString::fromLatin1(StagedOutput::kFolderPrefix), [&](const QString &) {
              if (swapped) {
                  QDir().rename(stage, parent.filePath("moved"));
                  QFile::link(victim, stage);
              }
          });
    QCOMPARE(readAll(victim + "/keep.txt"), QByteArray("keep"));
    QCOMPARE(readAll(victim + "/inner/keep.txt"), QByteArray("keep"));
    QCOMPARE(removed, swapped ? QStringList() : QStringList{name});
    QCOMPARE(QFileInfo(stage).isSymLink(), swapped);
    QCOMPARE(QFileInfo::exists(stage), swapped);
}

void TestFaults::namesThatAreNotUtf8_data()
{
    QTest::addColumn<QByteArrayList>("files"); // created with these bytes
    QTest::addColumn<QByteArray>("given"); // decoded to the path the engine gets
    QTest::addColumn<bool>("success");
    const QByteArray undecodable("a\xff.jpg"), lookAlike("a\xef\xbf\xbd.jpg");
    QTest::newRow("undecodable, look-alike present") << QByteArrayList{undecodable, lookAlike} << undecodable << false;
    QTest::newRow("undecodable alone") << QByteArrayList{undecodable} << undecodable << false;
    QTest::newRow("undecodable folder") << QByteArrayList{"d\xff/a.jpg", "d\xef\xbf\xbd/a.jpg"}
                                        << QByteArray("d\xff/a.jpg") << false;
    QTest::newRow("a real U+FFFD in the name") << QByteArrayList{lookAlike} << lookAlike << true;
}

void TestFaults::namesThatAreNotUtf8()
{
    QFETCH(QByteArrayList, files);
    QFETCH(QByteArray, given);
    QFETCH(bool, success);
    QTemporaryDir in, out;
    const QByteArray root = QFile::encodeName(in.path()) + '/';
    const QByteArray picture = readAll(jpg("u.jpg"));
    // QTemporaryDir cannot name them to remove them.
    const auto removeFiles = qScopeGuard([&] {
        for (const QByteArray &file : files) {
            ::unlink((root + file).constData());
            if (file.contains('/'))
                ::rmdir((root + file.left(file.indexOf('/'))).constData());
        }
    });
    for (const QByteArray &file : files) {
        if (file.contains('/'))
            QCOMPARE(::mkdir((root + file.left(file.indexOf('/'))).constData(), 0700), 0);
        QVERIFY(writeBytesAt(root + file, picture));
    }
    const WorkerResult result = runWorker(kToPng, in.path() + '/' + QString::fromUtf8(given), out.path());
    QCOMPARE(result.success, success);
    if (!success) {
        QCOMPARE(result.reason, QStringLiteral("file name is not valid UTF-8"));
        QCOMPARE(entriesBelow(out.path()), QStringList());
    }
}

void TestFaults::fullDiskIsSaidSo()
{
    QTemporaryDir small;
    const QByteArray mountPoint = QFile::encodeName(small.path());
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP("no small file system can be mounted here (needs root)");
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    // Nearly full: 16 KiB left, less than any of these outputs.
    QVERIFY(Fixtures::writeBytes(small.filePath("fill"), QByteArray(1024 * 1024 - 16 * 1024, 'x')));
    const QString png = workDir.filePath("big.png");
    QVERIFY(noise(QSize(300, 200)).save(png, "PNG"));
    for (const JobSettings &settings : {settingsFor(Operation::Compress, QString(), 90), kToJpg}) {
        const WorkerResult result = runWorker(settings, png, small.path());
        QVERIFY(!result.success);
        QCOMPARE(result.reason, QStringLiteral("no space left on device (%1)").arg(small.path()));
        QCOMPARE(entriesBelow(small.path()), QStringList{"fill"});
    }
}

void TestFaults::secondProcessKeepsItsTemp()
{
    QProcess other;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    other.setProcessEnvironment(env);
    other.start(QCoreApplication::applicationFilePath(), {"--hold-temp"});
    QVERIFY(other.waitForReadyRead(30000));
    const QString held = QString::fromUtf8(other.readLine()).trimmed();
    QVERIFY(QFileInfo(held).isDir());
    QVERIFY(Fixtures::writeBytes(held + "/intermediate.png", "x"));

    // Jobs of this process start, run and end meanwhile.
    TempArea::sweep();
    QTemporaryDir out;
    QVERIFY(runWorker(settingsFor(Operation::Compress, QString(), 60, 20), jpg("w.png"), out.path()).success);
    QVERIFY(QFile::exists(held + "/intermediate.png"));

    ::kill(pid_t(other.processId()), SIGKILL);
    QVERIFY(other.waitForFinished(30000));
    QVERIFY(QFileInfo(held).isDir()); // its owner could not clean up...
    TempArea::sweep();
    QVERIFY(!QFileInfo::exists(held)); // ...the next start does
}

// What a run of a program reports: its status, a crash, its standard error; it
// reads the null device and runs in the working folder.
void TestFaults::runnerOutcomes_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("crashed");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorText"); // "$DIR": the working folder
    QTest::newRow("succeeds") << "/bin/sh"
                              << "exit 0" << true << false << 0 << "";
    QTest::newRow("exit status") << "/bin/sh"
                                 << "echo bad >&2; exit 3" << true << false << 3 << "bad\n";
    QTest::newRow("crash") << "/bin/sh"
                           << "kill -SEGV $$" << true << true << -1 << "";
    QTest::newRow("input is empty") << "/bin/sh"
                                    << "cat; echo read >&2" << true << false << 0 << "read\n";
    QTest::newRow("output is dropped") << "/bin/sh"
                                       << "echo out" << true << false << 0 << "";
    QTest::newRow("working folder") << "/bin/sh"
                                    << "pwd >&2" << true << false << 0 << "$DIR\n";
    QTest::newRow("found on PATH") << "sh"
                                   << "exit 0" << true << false << 0 << "";
    QTest::newRow("missing program") << "/nonexistent/tool"
                                     << "" << false << false << -1 << "";
    QTest::newRow("not executable") << "/etc/hostname"
                                    << "" << false << false << -1 << "";
}

void TestFaults::runnerOutcomes()
{
    QFETCH(QString, program);
    QFETCH(QString, script);
    QFETCH(bool, started);
    QFETCH(bool, crashed);
    QFETCH(int, exitCode);
    QFETCH(QString, errorText);
    QTemporaryDir dir;
    ProcessRunner runner(QFileInfo(dir.path()).canonicalFilePath());
    const ToolRun run = runner.run(program, {"-c", script});
    QCOMPARE(run.started, started);
    QCOMPARE(run.crashed, crashed);
    if (started && !crashed)
        QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.errorText, errorText.replace("$DIR", QFileInfo(dir.path()).canonicalFilePath()));
    QCOMPARE(run.ok(), started && !crashed && exitCode == 0);
}

void TestFaults::toolDiesWithUs_data()
{
    QTest::addColumn<QString>("process"); // the file its id is in
    QTest::newRow("the tool") << "tool";
    QTest::newRow("a helper in its group") << "group";
    QTest::newRow("a helper in a session of its own") << "session";
    QTest::newRow("a helper whose parent exited") << "orphan";
}

// A tool and everything it started do not outlive this process, even when it is
// killed without warning.
void TestFaults::toolDiesWithUs()
{
    QFETCH(QString, process);
    QTemporaryDir dir;
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(), {"--runner-child", dir.path()});
    QVERIFY(other.waitForStarted(30000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("tool")), 30000);
    const qint64 pid = readAll(dir.filePath(process)).trimmed().toLongLong();
    QVERIFY(running(pid));
    ::kill(pid_t(other.processId()), SIGKILL);
    QVERIFY(other.waitForFinished(30000));
    QTRY_VERIFY(!running(pid));
}

int main(int argc, char **argv)
{
    if (argc >= 2
        && (qstrcmp(argv[1], "--stop-child") == 0 || qstrcmp(argv[1], "--hold-temp") == 0
            || qstrcmp(argv[1], "--runner-child") == 0))
        return childMain(argc, argv);
    QApplication app(argc, argv);
    TestFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_faults.moc"
