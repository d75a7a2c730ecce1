#include "app/AppSetup.h"
#include "CompressRule.h"
#include "FailureReport.h"
#include "FileTask.h"
#include "batch/engine/SuccessRule.h"
#include "process/ToolLocator.h"
#include "support/EngineHarness.h"
#include "support/Fixtures.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace EngineHarness;

// The per-file worker against programs that misbehave on purpose: the success
// rule, pngquant's statuses, the pseudo-progress and the failure report.
class TestFileTask : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void successRule_data();
    void successRule();
    void failureReason_data();
    void failureReason();
    void toolOutcome_data();
    void toolOutcome();
    void pngquantStatus_data();
    void pngquantStatus();
    void keepsSource_data();
    void keepsSource();
    void compressionNeverGrows_data();
    void compressionNeverGrows();
    void runningProgress_data();
    void runningProgress();
    void childEnvironment();
    void reportLine();
    void reportIsPostedWhenConfigured();
    void reportWaitIsBounded();

private:
    QString source(const QString &name);

    QTemporaryDir workDir;
};

namespace {

// A loopback HTTP endpoint that records one request body and answers it, or not.
class ReportServer : public QObject
{
public:
    explicit ReportServer(bool answer)
        : answering(answer)
    {
        tcpServer.listen(QHostAddress::LocalHost);
        connect(&tcpServer, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = tcpServer.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/report").arg(tcpServer.serverPort()); }

    QByteArray request;
    QByteArray body;
    int requests = 0;

private:
    void read(QTcpSocket *socket)
    {
        request += socket->readAll();
        const int end = request.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray lower = request.left(end).toLower();
        const int at = lower.indexOf("content-length:");
        const int length = at < 0 ? 0 : lower.mid(at + 15, lower.indexOf("\r\n", at) - at - 15).trimmed().toInt();
        if (request.size() < end + 4 + length)
            return;
        body = request.mid(end + 4, length);
        ++requests;
        if (answering)
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    }

    QTcpServer tcpServer;
    bool answering;
};

const QByteArray kCopy = "cp \"$IN\" \"$OUT\"";

} // namespace

void TestFileTask::initTestCase()
{
    AppSetup::run();
    QVERIFY(workDir.isValid());
}

void TestFileTask::cleanup()
{
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, QString());
    ToolLocator::setOverride(ToolLocator::Tool::Pngquant, QString());
    qunsetenv("QUORVANE_REPORT_URL");
}

QString TestFileTask::source(const QString &name)
{
    const QString path = workDir.filePath(name);
    // Qt writes no GIF; the fake programs only copy bytes, a GIF header is enough.
    if (!QFile::exists(path) && !Fixtures::writeImage(path, QSize(8, 6)))
        Fixtures::writeBytes(path, QByteArray("GIF89a\x08\x00\x06\x00", 10));
    return path;
}

void TestFileTask::successRule_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("programsOk");
    QTest::addColumn<bool>("outputPresent");
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<bool>("success");
    const Operation convert = Operation::Convert, compress = Operation::Compress, rotate = Operation::Rotate;
    QTest::newRow("clean") << convert << true << true << "" << true;
    QTest::newRow("Warning, conversion") << convert << true << true << "Warning: x" << true;
    QTest::newRow("warning, resizing") << Operation::Resize << true << true << "warning: x" << true;
    QTest::newRow("WARNING, rotation") << rotate << true << true << "WARNING x" << true;
    QTest::newRow("Warning, compression: any case too") << compress << true << true << "Warning: x" << true;
    QTest::newRow("warning, compression") << compress << true << true << "libpng warning: x" << true;
    QTest::newRow("other text fails") << convert << true << true << "convert: unable to open" << false;
    QTest::newRow("no output") << convert << true << false << "" << false;
    QTest::newRow("program failed, silent") << rotate << false << true << "" << false;
    QTest::newRow("program failed with a warning") << convert << false << true << "warning: x" << false;
    // The pixels are not all there, whatever the decoder calls it.
    QTest::newRow("premature end, a warning") << convert << true << true
                                              << "convert: Premature end of JPEG file `a.jpg' @ "
                                                 "warning/jpeg.c/JPEGWarningHandler/389."
                                              << false;
    QTest::newRow("CRC error, a warning") << compress << true << true << "libpng warning: IDAT: CRC error" << false;
    QTest::newRow("truncated, rotation") << rotate << true << true << "Warning: TIFF directory is truncated" << false;
    QTest::newRow("cut inside the data segment")
        << rotate << true << true
        << "convert: Corrupt JPEG data: premature end of data segment `a.jpg' @ warning/jpeg.c" << false;
    // Warnings after which every pixel is still there.
    QTest::newRow("stray bytes before a marker")
        << convert << true << true
        << "convert: Corrupt JPEG data: 2 extraneous bytes before marker 0xe0 `a.jpg' @ warning/jpeg.c" << true;
    QTest::newRow("damaged colour profile") << compress << true << true
                                            << "convert: iCCP: CRC error `a.png' @ warning/png.c\n"
                                               "convert: iCCP: too short `a.png' @ warning/png.c"
                                            << true;
    QTest::newRow("only the name reads like damage")
        << convert << true << true << "convert: Warning: unknown chunk `truncated crc error.png' @ warning/png.c"
        << true;
}

void TestFileTask::successRule()
{
    QFETCH(Operation, operation);
    QFETCH(bool, programsOk);
    QFETCH(bool, outputPresent);
    QFETCH(QString, errorText);
    QFETCH(bool, success);
    QCOMPARE(SuccessRule::succeeded(operation, programsOk, outputPresent, errorText), success);
}

void TestFileTask::failureReason_data()
{
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<QString>("engineCause");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the tool's first line") << "convert: improper image header\nconvert: no images\n"
                                           << ""
                                           << "convert: improper image header";
    QTest::newRow("an error after a warning") << "convert: Warning: x\n  convert: bad thing  \n"
                                              << ""
                                              << "convert: bad thing";
    QTest::newRow("a silent tool") << ""
                                   << "pngquant exited with status 98"
                                   << "pngquant exited with status 98";
    QTest::newRow("tool text before the engine's") << "convert: unable to open image\n"
                                                   << "convert exited with status 1"
                                                   << "convert: unable to open image";
    QTest::newRow("only a warning, engine knows more") << "warning: x\n"
                                                       << "convert exited with status 1"
                                                       << "convert exited with status 1";
    QTest::newRow("damage, though a warning, before the engine's cause")
        << "convert: Premature end of JPEG file `a.jpg' @ warning/jpeg.c\n"
           "convert: Corrupt JPEG data: premature end of data segment `a.jpg' @ warning/jpeg.c\n"
        << "convert exited with status 1"
        << "convert: Premature end of JPEG file `a.jpg' @ warning/jpeg.c";
    QTest::newRow("only a warning") << "Warning: x\n"
                                    << ""
                                    << "Warning: x";
    QTest::newRow("nothing at all") << ""
                                    << ""
                                    << "no output was written";
    QTest::newRow("out of memory, in the tool's words")
        << "convert: Warning: x\nconvert: memory allocation failed `a.png' @ error/png.c\n"
        << "convert exited with status 1"
        << "not enough memory for this picture";
    QTest::newRow("control characters escaped") << QString("bad\x1b[31m\tthing\r") << ""
                                                << "bad\\x1b[31m\\tthing";
    QTest::newRow("a long line cut") << QString(400, 'e') << "" << QString(297, 'e') + "...";
    QTest::newRow("exactly the longest") << QString(300, 'e') << "" << QString(300, 'e');
    QTest::newRow("a long engine cause cut") << "" << QString(301, 'c') << QString(297, 'c') + "...";
}

void TestFileTask::failureReason()
{
    QFETCH(QString, errorText);
    QFETCH(QString, engineCause);
    QFETCH(QString, reason);
    QCOMPARE(SuccessRule::failureReason(errorText, engineCause), reason);
}

void TestFileTask::toolOutcome_data()
{
    QTest::addColumn<QByteArray>("tool"); // empty: the program does not exist
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("sourceName");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QStringList>("left"); // what the output folder holds afterwards

    const Operation convert = Operation::Convert, compress = Operation::Compress, rotate = Operation::Rotate;
    const QByteArray capitalWarning = kCopy + "\necho 'convert: Warning: unknown chunk' >&2";
    QTest::newRow("Warning: conversion succeeds")
        << capitalWarning << convert << "w.jpg" << true << QStringList{"w.png"};
    QTest::newRow("Warning: rotation succeeds") << capitalWarning << rotate << "w.jpg" << true << QStringList{"w.jpg"};
    QTest::newRow("Warning: compression succeeds too")
        << capitalWarning << compress << "w.jpg" << true << QStringList{"w.jpg"};
    QTest::newRow("warning: compression succeeds")
        << kCopy + "\necho 'warning: x' >&2" << compress << "w.jpg" << true << QStringList{"w.jpg"};
    QTest::newRow("undecodable bytes before a warning") << kCopy + "\nprintf 'convert: \\377\\376\\300 warning\\n' >&2"
                                                        << convert << "u.jpg" << true << QStringList{"u.png"};
    QTest::newRow("error text fails") << kCopy + "\necho 'convert: improper image header' >&2" << convert << "e.jpg"
                                      << false << QStringList();
    QTest::newRow("exit 1 with a file and no text fails")
        << kCopy + "\nexit 1" << convert << "e.jpg" << false << QStringList();
    QTest::newRow("exit 1 with a warning fails")
        << kCopy + "\necho warning >&2\nexit 1" << rotate << "e.jpg" << false << QStringList();
    QTest::newRow("empty output fails") << QByteArray(": > \"$OUT\"") << convert << "e.jpg" << false << QStringList();
    QTest::newRow("no output fails") << QByteArray("exit 0") << convert << "e.jpg" << false << QStringList();
    QTest::newRow("crash fails") << kCopy + "\nkill -SEGV $$" << convert << "e.jpg" << false << QStringList();
    QTest::newRow("missing program fails") << QByteArray() << convert << "e.jpg" << false << QStringList();
    QTest::newRow("failed gif: its folder goes too")
        << kCopy + "\nexit 1" << convert << "g.gif" << false << QStringList();
    QTest::newRow("frames only: success, renamed")
        << QByteArray("cp \"$IN\" \"${OUT%.png}-0.png\"\ncp \"$IN\" \"${OUT%.png}-1.png\"") << convert << "f.gif"
        << true << QStringList{"f", "f/f-0.png", "f/f-1.png"};
}

void TestFileTask::toolOutcome()
{
    QFETCH(QByteArray, tool);
    QFETCH(Operation, operation);
    QFETCH(QString, sourceName);
    QFETCH(bool, success);
    QFETCH(QStringList, left);

    QTemporaryDir out;
    ToolLocator::setOverride(
        ToolLocator::Tool::ImageMagick,
        tool.isEmpty() ? workDir.filePath("no-such-magick")
                       : writeTool(workDir.path(), QStringLiteral("tool%1").arg(QTest::currentDataTag()), tool));
    const QString format = operation == Operation::Convert ? QStringLiteral("png") : QString();
    const WorkerResult result = runWorker(settingsFor(operation, format), source(sourceName), out.path(), 7);

    QCOMPARE(result.doneCount, 1);
    QCOMPARE(result.row, 7);
    QCOMPARE(result.success, success);
    QVERIFY(!result.path.isEmpty()); // reported on failure too
    // Its tools started once, before its result (a missing program starts nothing, but its file ran).
    QCOMPARE(result.startedCount, 1);
    QVERIFY(!result.startedAfterDone);
    QCOMPARE(entriesBelow(out.path()), left);
}

void TestFileTask::pngquantStatus_data()
{
    QTest::addColumn<QByteArray>("tool");
    QTest::addColumn<bool>("success");
    QTest::addColumn<bool>("sourceBytes"); // the output holds the source's bytes
    QTest::newRow("quantised") << QByteArray("printf quantised > \"$OUT\"") << true << false;
    QTest::newRow("99, quality not reachable: source kept") << QByteArray("exit 99") << true << true;
    QTest::newRow("98, skipped") << QByteArray("exit 98") << false << false;
    QTest::newRow("15, output exists") << QByteArray("exit 15") << false << false;
    QTest::newRow("99 after writing garbage is still 99")
        << QByteArray("printf half > \"$OUT\"\nexit 99") << false << false;
}

void TestFileTask::pngquantStatus()
{
    QFETCH(QByteArray, tool);
    QFETCH(bool, success);
    QFETCH(bool, sourceBytes);

    QTemporaryDir out;
    ToolLocator::setOverride(ToolLocator::Tool::Pngquant,
                             writeTool(workDir.path(), QStringLiteral("pq%1").arg(QTest::currentDataTag()), tool));
    const QString png = source("q.png");
    const WorkerResult result = runWorker(settingsFor(Operation::Compress, QString(), 90), png, out.path());
    QCOMPARE(result.success, success);
    QCOMPARE(result.path, out.filePath("q.png"));
    QCOMPARE(entriesBelow(out.path()), success ? QStringList{"q.png"} : QStringList());
    if (success)
        QCOMPARE(readAll(result.path) == readAll(png), sourceBytes);
}

void TestFileTask::keepsSource_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("sizeGiven");
    QTest::addColumn<qint64>("source");
    QTest::addColumn<qint64>("result");
    QTest::addColumn<bool>("keeps");
    QTest::newRow("bigger") << Operation::Compress << false << qint64(100) << qint64(101) << true;
    QTest::newRow("same size") << Operation::Compress << false << qint64(100) << qint64(100) << true;
    QTest::newRow("smaller") << Operation::Compress << false << qint64(100) << qint64(99) << false;
    QTest::newRow("a size was asked") << Operation::Compress << true << qint64(100) << qint64(500) << false;
    QTest::newRow("conversion grows as it likes") << Operation::Convert << false << qint64(100) << qint64(500) << false;
    QTest::newRow("empty source") << Operation::Compress << false << qint64(0) << qint64(10) << false;
}

void TestFileTask::keepsSource()
{
    QFETCH(Operation, operation);
    QFETCH(bool, sizeGiven);
    QFETCH(qint64, source);
    QFETCH(qint64, result);
    QFETCH(bool, keeps);
    QCOMPARE(CompressRule::keepsSource(operation, sizeGiven, source, result), keeps);
}

void TestFileTask::compressionNeverGrows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("pngquant"); // empty: the real tools
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("kept");
    QTest::newRow("png twice as big: source kept")
        << "big.png" << QByteArray("cat \"$IN\" \"$IN\" > \"$OUT\"") << -1 << true;
    QTest::newRow("png the same size: source kept") << "same.png" << kCopy << -1 << true;
    QTest::newRow("png smaller: result kept")
        << "small.png" << QByteArray("head -c 40 \"$IN\" > \"$OUT\"") << -1 << false;
    QTest::newRow("size asked: the result stands")
        << "sized.png" << QByteArray("cat \"$IN\" \"$IN\" > \"$OUT\"") << 8 << false;
    QTest::newRow("low-quality JPEG at level 90, real ImageMagick") << "low.jpg" << QByteArray() << -1 << true;
}

void TestFileTask::compressionNeverGrows()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, pngquant);
    QFETCH(int, width);
    QFETCH(bool, kept);

    const QString input = workDir.filePath(name);
    if (name.endsWith(".jpg"))
        QVERIFY(magick({"-size", "96x96", "plasma:", "-seed", "7", "+noise", "Gaussian", "-quality", "10", input}));
    else
        QVERIFY(Fixtures::writeImage(input, QSize(32, 24)));
    if (!pngquant.isEmpty())
        ToolLocator::setOverride(
            ToolLocator::Tool::Pngquant,
            writeTool(workDir.path(), QStringLiteral("grow%1").arg(QTest::currentDataTag()), pngquant));
    QTemporaryDir out;
    const WorkerResult result = runWorker(settingsFor(Operation::Compress, QString(), 90, width), input, out.path());
    QVERIFY(result.success);
    QCOMPARE(result.keptOriginal, kept);
    QCOMPARE(entriesBelow(out.path()), QStringList{name});
    QCOMPARE(readAll(result.path) == readAll(input), kept);
    if (!kept && width < 0)
        QVERIFY(QFileInfo(result.path).size() < QFileInfo(input).size());
}

void TestFileTask::runningProgress_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<int>("shown");
    QTest::newRow("just started") << qint64(0) << 3;
    QTest::newRow("not yet a second") << qint64(999) << 3;
    QTest::newRow("one second") << qint64(1000) << 4;
    QTest::newRow("87 s") << qint64(87999) << 90;
    QTest::newRow("88 s: the top") << qint64(88000) << 91;
    QTest::newRow("ten minutes") << qint64(600000) << 91;
    QTest::newRow("a clock that went back") << qint64(-5000) << 3;
}

void TestFileTask::runningProgress()
{
    QFETCH(qint64, ms);
    QFETCH(int, shown);
    QCOMPARE(::runningProgress(ms), shown);
}

void TestFileTask::childEnvironment()
{
    // A file alone: its tool gets every core, and runs in the application folder.
    QTemporaryDir out;
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(workDir.path(), "env",
                                       "printf '%s %s %s' \"$MAGICK_THREAD_LIMIT\" \"$OMP_NUM_THREADS\" \"$(pwd)\" "
                                       "> \"$OUT\""));
    const WorkerResult result = runWorker(settingsFor(Operation::Convert, "png"), source("env.jpg"), out.path());
    QVERIFY(result.success);
    const QString cores = QString::number(QThread::idealThreadCount());
    QCOMPARE(QString::fromUtf8(readAll(result.path)),
             cores + QLatin1Char(' ') + cores + QLatin1Char(' ') + QCoreApplication::applicationDirPath());
}

void TestFileTask::reportLine()
{
    const QString error600 = QString(600, QLatin1Char('e'));
    const QString line = FailureReport::line(0, "/s/a b.jpg", 1234, "/o/a b.PNG", 800, -1, error600);
    QCOMPARE(line,
             "imgchfmt   failed,userId:-1,imgType:0,oriFileName:a b.jpg,distFormat:PNG,oriFileSize:1234,"
             "zoomWidth:800,zoomHeight:-1,errorMsg:"
                 + QString(512, QLatin1Char('e')));
    QVERIFY(FailureReport::line(4, "/s/x", 0, "/o/x.jpg", -1, -1, "short").endsWith(",errorMsg:short"));
}

void TestFileTask::reportIsPostedWhenConfigured()
{
    ReportServer server(true);
    QTemporaryDir out;
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(workDir.path(), "bad", "echo 'convert: corrupt image' >&2\nexit 1"));
    const QString jpg = source("r.jpg");

    // Not configured: nothing leaves the machine.
    QVERIFY(!runWorker(settingsFor(Operation::Convert, "png"), jpg, out.path()).success);
    QCOMPARE(server.requests, 0);

    qputenv("QUORVANE_REPORT_URL", server.url().toUtf8());
    QVERIFY(!runWorker(settingsFor(Operation::Convert, "png", -1, 320), jpg, out.path()).success);
    QCOMPARE(server.requests, 1);
    QVERIFY(server.request.startsWith("POST /report "));
    QVERIFY(server.request.toLower().contains("content-type: text/plain"));
    QCOMPARE(QString::fromUtf8(server.body),
             QStringLiteral("imgchfmt   failed,userId:-1,imgType:0,oriFileName:r.jpg,distFormat:png,oriFileSize:%1,"
                            "zoomWidth:320,zoomHeight:-1,errorMsg:convert: corrupt image\n")
                 .arg(QFileInfo(jpg).size()));

    // Compression failures are not reported.
    QVERIFY(!runWorker(settingsFor(Operation::Compress, QString(), 80), jpg, out.path()).success);
    QCOMPARE(server.requests, 1);
    // Resizing reports as conversion does.
    server.request.clear();
    QVERIFY(!runWorker(settingsFor(Operation::Resize, "png", -1, -1, 200), jpg, out.path()).success);
    QCOMPARE(server.requests, 2);
    QVERIFY(server.body.startsWith("imgchfmt   failed,userId:-1,imgType:0,"));
    QVERIFY(server.body.contains(",zoomWidth:-1,zoomHeight:200,"));
}

void TestFileTask::reportWaitIsBounded()
{
    ReportServer silent(false);
    qputenv("QUORVANE_REPORT_URL", silent.url().toUtf8());
    QTemporaryDir out;
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, writeTool(workDir.path(), "bad2", "echo oops >&2"));
    QElapsedTimer clock;
    clock.start();
    const WorkerResult result = runWorker(settingsFor(Operation::Rotate), source("t.jpg"), out.path());
    QCOMPARE(silent.requests, 1);
    QCOMPARE(result.doneCount, 1);
    QVERIFY(!result.success);
    QVERIFY2(clock.elapsed() < FailureReport::kSendTimeoutMs + 3000, QByteArray::number(clock.elapsed()));
}

QTEST_MAIN(TestFileTask)
#include "tst_filetask.moc"
