#include "app/AppSetup.h"
#include "batch/engine/BatchTypes.h"
#include "JpegMarkers.h"
#include "TempArea.h"
#include "process/ToolLocator.h"
#include "batch/engine/BatchCatalogue.h"
#include "support/EngineHarness.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace EngineHarness;

Q_DECLARE_METATYPE(JobSettings)

// Whole files through the real ImageMagick, pngquant and ConvertToJpg, checked by
// decoding what they wrote.
class TestConversions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void transparentPngToJpgOnWhite();
    void resize_data();
    void resize();
    void rotateAndMirror();
    void namesWithDots();
    void animatedGifGetsItsOwnFolder();
    void animatedWebpFramesComeOutWhole();
    void bigJpegIsReadSmaller_data();
    void bigJpegIsReadSmaller();
    void onePictureLandsBesideTheOthers_data();
    void onePictureLandsBesideTheOthers();
    void phonePhotosComeOutUpright_data();
    void phonePhotosComeOutUpright();
    void existingOutputIsNeverOverwritten();
    void percentInNames();
    void patternCharactersNeverReadAnotherFile();
    void sameFileTwiceAtOnce();
    void compressPng();
    void compressResizedPngLeavesNoIntermediate();
    void compressJpeg();
    void unreachablePngQualityKeepsTheSource();
    void rawEndToEnd_data();
    void rawEndToEnd();
    void rawResizedToTheAskedSize_data();
    void rawResizedToTheAskedSize();
    void brokenRawFails();
    void whatLeavesWithThePhoto_data();
    void whatLeavesWithThePhoto();

private:
    QString image(const QString &name, const QSize &size = QSize(40, 20));
    QStringList tempEntries() const { return entriesBelow(TempArea::jobTempDir()); }

    QTemporaryDir workDir;
};

namespace {

const JobSettings kToPng = settingsFor(Operation::Convert, "png");
const JobSettings kToJpg = settingsFor(Operation::Convert, "jpg");

bool near(QRgb pixel, QColor colour)
{
    return qAbs(qRed(pixel) - colour.red()) < 40 && qAbs(qGreen(pixel) - colour.green()) < 40
        && qAbs(qBlue(pixel) - colour.blue()) < 40;
}

// Left half red, right half blue.
bool writeHalves(const QString &path, const QSize &size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QPainter(&picture).fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    return picture.save(path);
}

} // namespace

void TestConversions::initTestCase()
{
    AppSetup::run();
    QVERIFY(workDir.isValid());
}

void TestConversions::cleanup()
{
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, QString());
}

QString TestConversions::image(const QString &name, const QSize &size)
{
    const QString path = workDir.filePath(name);
    if (!QFile::exists(path))
        writeHalves(path, size);
    return path;
}

void TestConversions::transparentPngToJpgOnWhite()
{
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(20, 0, 20, 20, Qt::red);
    const QString png = workDir.filePath("alpha.png");
    QVERIFY(picture.save(png));
    QTemporaryDir out;
    const WorkerResult result = runWorker(kToJpg, png, out.path());
    QVERIFY(result.success);
    QCOMPARE(result.path, out.filePath("alpha.jpg"));
    QCOMPARE(Fixtures::imageFormat(result.path), QByteArray("jpeg"));
    const QImage written(result.path);
    QCOMPARE(written.size(), QSize(40, 20));
    QVERIFY(near(written.pixel(5, 10), Qt::white));
    QVERIFY(near(written.pixel(35, 10), Qt::red));
}

void TestConversions::resize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("width only keeps the aspect") << 20 << -1 << QSize(20, 10);
    QTest::newRow("height only keeps the aspect") << -1 << 5 << QSize(10, 5);
    QTest::newRow("both: exact") << 30 << 30 << QSize(30, 30);
}

void TestConversions::resize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSize, expected);
    QTemporaryDir out;
    const WorkerResult result
        = runWorker(settingsFor(Operation::Convert, "bmp", -1, width, height), image("r.png"), out.path());
    QVERIFY(result.success);
    QCOMPARE(Fixtures::imageFormat(result.path), QByteArray("bmp"));
    QCOMPARE(Fixtures::imageSize(result.path), expected);
}

void TestConversions::rotateAndMirror()
{
    JobSettings s = settingsFor(Operation::Rotate);
    s.degrees = 90;
    s.flop = true;
    QTemporaryDir out;
    const WorkerResult result = runWorker(s, image("turn.me.png"), out.path());
    QVERIFY(result.success);
    QCOMPARE(result.path, out.filePath("turn.me.png")); // cut at the last dot, as every operation
    const QImage written(result.path);
    QCOMPARE(written.size(), QSize(20, 40));
    QVERIFY(near(written.pixel(10, 5), Qt::red)); // the left half turned to the top
    QVERIFY(near(written.pixel(10, 35), Qt::blue));
}

void TestConversions::namesWithDots()
{
    QTemporaryDir out;
    const WorkerResult result = runWorker(kToPng, image("a.b.jpg"), out.path());
    QVERIFY(result.success);
    QCOMPARE(result.path, out.filePath("a.b.png"));
    QCOMPARE(Fixtures::imageFormat(result.path), QByteArray("png"));
}

void TestConversions::animatedGifGetsItsOwnFolder()
{
    const QString gif = workDir.filePath("anim.gif");
    QVERIFY(magick({"-size", "12x8", "xc:red", "xc:lime", "xc:blue", gif}));
    QTemporaryDir out;
    const WorkerResult first = runWorker(kToPng, gif, out.path(), 3);
    QVERIFY(first.success);
    QVERIFY(first.path.endsWith("/anim/anim-0.png")); // the first of the pictures
    QCOMPARE(entriesBelow(out.path()), QStringList({"anim", "anim/anim-0.png", "anim/anim-1.png", "anim/anim-2.png"}));
    QVERIFY(near(QImage(out.filePath("anim/anim-1.png")).pixel(1, 1), Qt::green));

    const WorkerResult second = runWorker(kToPng, gif, out.path(), 3);
    QVERIFY(second.success);
    QVERIFY2(QRegularExpression("/anim_\\d{8}3/anim-0\\.png$").match(second.path).hasMatch(), qPrintable(second.path));
    QVERIFY(QFile::exists(QFileInfo(second.path).path() + "/anim-2.png"));
}

// Each frame of an animated WebP comes out whole: a small frame at an offset over
// what the frame before left.
void TestConversions::animatedWebpFramesComeOutWhole()
{
    const QString webp = workDir.filePath("anim.webp");
    QVERIFY(magick({"-size", "12x8", "xc:red", "(", "-size", "4x4", "xc:lime", "-repage", "+2+2", ")", "-loop", "0",
                    webp}));
    QTemporaryDir out;
    const WorkerResult result = runWorker(kToPng, webp, out.path(), 3);
    QVERIFY2(result.success, qPrintable(result.reason));
    QCOMPARE(result.frames, 2);
    QCOMPARE(entriesBelow(out.path()), QStringList({"anim", "anim/anim-0.png", "anim/anim-1.png"}));
    const QImage second(out.filePath("anim/anim-1.png"));
    QCOMPARE(second.size(), QSize(12, 8));
    QVERIFY(near(second.pixel(0, 0), Qt::red));
    QVERIFY(near(second.pixel(3, 3), Qt::green));
}

namespace {

// A picture full of detail: noise over a gradient, and lines of fine text.
QImage detailed(const QSize &size)
{
    QImage picture(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int base = 60 + 120 * x / size.width();
            const auto noisy = [&](int value) { return qBound(0, value + int(random.bounded(61)) - 30, 255); };
            line[x] = qRgb(noisy(base), noisy(200 - base / 2), noisy(80 + 100 * y / size.height()));
        }
    }
    QPainter painter(&picture);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    for (int y = 20; y < size.height(); y += 40)
        painter.drawText(10, y, QStringLiteral("Fine print 0123456789 细小的文字 The quick brown fox jumps"));
    return picture;
}

// Peak signal-to-noise ratio of b against a over R, G and B, in dB.
double psnr(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += d * d;
        }
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

void TestConversions::bigJpegIsReadSmaller_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("output");
    QTest::addColumn<QString>("hint"); // empty: none

    // The source is stored 1200x900 and shown so by orientation 1.
    QTest::newRow("a quarter of the width") << 1 << false << 300 << -1 << QSize(300, 225) << "300x225";
    QTest::newRow("progressive") << 1 << true << 300 << -1 << QSize(300, 225) << "300x225";
    QTest::newRow("height only") << 1 << false << -1 << 200 << QSize(267, 200) << "267x200";
    QTest::newRow("exact WxH!") << 1 << false << 250 << 400 << QSize(250, 400) << "250x400";
    // Shown 900x1200: 300 wide is 400 high, the stored width.
    QTest::newRow("turned 90 degrees") << 6 << false << 300 << -1 << QSize(300, 400) << "400x300";
    QTest::newRow("turned, exact") << 8 << true << 200 << 100 << QSize(200, 100) << "100x200";
    QTest::newRow("not half the size: whole") << 1 << false << 700 << -1 << QSize(700, 525) << "";
    QTest::newRow("larger than the source: whole") << 1 << false << 1500 << -1 << QSize(1500, 1125) << "";
}

// A JPEG resized to half or less is decoded at a smaller scale: the output is the
// size asked and looks like a whole decode resized.
void TestConversions::bigJpegIsReadSmaller()
{
    QFETCH(int, orientation);
    QFETCH(bool, progressive);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSize, output);
    QFETCH(QString, hint);

    const QString png = workDir.filePath("detailed.png");
    QVERIFY(QFile::exists(png) || detailed(QSize(1200, 900)).save(png));
    const QString jpeg = workDir.filePath(QStringLiteral("detailed-%1%2.jpg").arg(orientation).arg(progressive));
    QVERIFY(magick({png, "-quality", "92", "-interlace", progressive ? "Plane" : "None", jpeg}));
    if (orientation != 1) {
        QImage stored(jpeg);
        QVERIFY(Fixtures::writeJpegWithOrientation(jpeg, stored, orientation));
        QVERIFY(magick({jpeg, "-interlace", progressive ? "Plane" : "None", jpeg}));
    }
    const JpegMarkers::Facts facts = JpegMarkers::read(jpeg);
    QCOMPARE(facts.size, QSize(1200, 900));
    QCOMPARE(facts.orientation, orientation);

    // What ImageMagick is told, logged on the way.
    const QString real = ToolLocator::program(ToolLocator::Tool::ImageMagick);
    const QString log = workDir.filePath("magick.log");
    QFile::remove(log);
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             writeTool(workDir.path(), "logged-magick",
                                       "echo \"$*\" >> '" + log.toUtf8() + "'\nexec '" + real.toUtf8() + "' \"$@\""));
    QTemporaryDir out;
    const WorkerResult result = runWorker(settingsFor(Operation::Resize, "png", -1, width, height), jpeg, out.path());
    QVERIFY2(result.success, qPrintable(result.reason));
    QCOMPARE(Fixtures::imageSize(result.path), output);
    const QString told = QString::fromUtf8(readAll(log));
    QVERIFY2(hint.isEmpty() ? !told.contains("jpeg:size") : told.startsWith("-define jpeg:size=" + hint + " "),
             qPrintable(told));

    // Against the whole picture decoded and resized the same way.
    const QString reference = out.filePath("reference.png");
    QStringList resize{"-resize", height < 0 ? QString::number(width)
                           : width < 0       ? "x" + QString::number(height)
                                             : QStringLiteral("%1x%2!").arg(width).arg(height)};
    QVERIFY(magick(QStringList{jpeg, "-auto-orient"} + resize + QStringList{reference}));
    const double db = psnr(QImage(reference), QImage(result.path));
    QVERIFY2(db >= 35, qPrintable(QStringLiteral("%1 dB").arg(db)));
}

void TestConversions::onePictureLandsBesideTheOthers_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"one.tif", "one.webp", "one.gif"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// A source of one picture is one file beside the others, whatever its format;
// only several pictures get a folder.
void TestConversions::onePictureLandsBesideTheOthers()
{
    QFETCH(QString, name);
    const QString source = workDir.filePath(name);
    QVERIFY(magick({"-size", "12x8", "xc:red", source}));
    QTemporaryDir out;
    const WorkerResult result = runWorker(kToJpg, source, out.path());
    QVERIFY2(result.success, qPrintable(result.reason));
    QCOMPARE(result.path, out.filePath("one.jpg"));
    QCOMPARE(result.frames, 0);
    QCOMPARE(entriesBelow(out.path()), QStringList{"one.jpg"});
    QCOMPARE(Fixtures::imageSize(result.path), QSize(12, 8));
}

void TestConversions::phonePhotosComeOutUpright_data()
{
    QTest::addColumn<JobSettings>("settings");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QSize>("stored"); // the output's pixels
    QTest::addColumn<bool>("upright"); // its pixels as shown (no orientation to apply)

    // Stored 160x120 with orientation 6: shown 120x160, the stored left half on top.
    QTest::newRow("resized to width 60") << settingsFor(Operation::Resize, "jpg", -1, 60) << "jpg" << QSize(60, 80) << true;
    QTest::newRow("resized to height 40")
        << settingsFor(Operation::Resize, "png", -1, -1, 40) << "png" << QSize(30, 40) << true;
    QTest::newRow("converted to png") << kToPng << "png" << QSize(120, 160) << true;
    QTest::newRow("converted to bmp") << settingsFor(Operation::Convert, "bmp") << "bmp" << QSize(120, 160) << true;
    QTest::newRow("compressed: pixels and tag as they are")
        << settingsFor(Operation::Compress, QString(), 80) << "jpg" << QSize(160, 120) << false;
}

void TestConversions::phonePhotosComeOutUpright()
{
    QFETCH(JobSettings, settings);
    QFETCH(QString, suffix);
    QFETCH(QSize, stored);
    QFETCH(bool, upright);

    QImage picture(160, 120, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QPainter(&picture).fillRect(0, 0, 80, 120, Qt::red);
    const QString photo = workDir.filePath("phone.jpg");
    QVERIFY(Fixtures::writeJpegWithOrientation(photo, picture, 6));
    QCOMPARE(QImageReader(photo).transformation(), QImageIOHandler::TransformationRotate90);

    QTemporaryDir out;
    const WorkerResult result = runWorker(settings, photo, out.path());
    QVERIFY2(result.success, qPrintable(result.reason));
    QCOMPARE(QFileInfo(result.path).suffix(), suffix);
    QCOMPARE(Fixtures::imageSize(result.path), stored);

    QImageReader reader(result.path);
    QCOMPARE(reader.transformation(),
             upright ? QImageIOHandler::TransformationNone : QImageIOHandler::TransformationRotate90);
    // Shown the way a viewer shows it, the red half is on top.
    reader.setAutoTransform(true);
    const QImage shown = reader.read();
    QCOMPARE(shown.size(), upright ? stored : stored.transposed());
    QVERIFY(near(shown.pixel(shown.width() / 2, shown.height() / 4), Qt::red));
    QVERIFY(near(shown.pixel(shown.width() / 2, shown.height() * 3 / 4), Qt::blue));
}

void TestConversions::existingOutputIsNeverOverwritten()
{
    QTemporaryDir out;
    QVERIFY(Fixtures::writeBytes(out.filePath("x.png"), "precious"));
    const WorkerResult result = runWorker(kToPng, image("x.jpg"), out.path(), 4);
    QVERIFY(result.success);
    QVERIFY2(QRegularExpression("/x_\\d{8}4\\.png$").match(result.path).hasMatch(), qPrintable(result.path));
    QCOMPARE(readAll(out.filePath("x.png")), QByteArray("precious"));
    QCOMPARE(Fixtures::imageSize(result.path), QSize(40, 20));
}

void TestConversions::percentInNames()
{
    // ImageMagick would write "100%d.png" as "1000.png", into "out0" for "out%d",
    // and with a "%" anywhere in the path it numbers no frames.
    QTemporaryDir root;
    const QString out = root.filePath("out%d");
    QVERIFY(QDir().mkdir(out));
    const WorkerResult result = runWorker(kToPng, image("100%d.jpg"), out);
    QVERIFY(result.success);
    QCOMPARE(result.path, out + "/100%d.png");
    QCOMPARE(Fixtures::imageSize(result.path), QSize(40, 20));

    const QString gif = workDir.filePath("50%x.gif");
    QVERIFY(magick({"-size", "12x8", "xc:red", "xc:lime", QString(gif).replace("%", "%%")}));
    QVERIFY(QFile::exists(gif));
    const WorkerResult frames = runWorker(kToPng, gif, out);
    QVERIFY(frames.success);
    QCOMPARE(frames.path, out + "/50%x/50%x-0.png");
    QCOMPARE(entriesBelow(root.path()),
             QStringList({"out%d", "out%d/100%d.png", "out%d/50%x", "out%d/50%x/50%x-0.png", "out%d/50%x/50%x-1.png"}));
}

void TestConversions::patternCharactersNeverReadAnotherFile()
{
    QTemporaryDir src;
    QTemporaryDir out;
    // A literal "b[0].png" beside "b.png": the named file is read.
    QVERIFY(writeHalves(src.filePath("b[0].png"), QSize(10, 10)));
    QVERIFY(writeHalves(src.filePath("b.png"), QSize(30, 30)));
    const WorkerResult bracket = runWorker(kToJpg, src.filePath("b[0].png"), out.path());
    QVERIFY(bracket.success);
    QCOMPARE(bracket.path, out.filePath("b[0].jpg"));
    QCOMPARE(Fixtures::imageSize(bracket.path), QSize(10, 10));

    // "c*.png" has gone meanwhile; "cz.png" matches the pattern but is not it.
    QVERIFY(writeHalves(src.filePath("cz.png"), QSize(30, 30)));
    const WorkerResult star = runWorker(kToJpg, src.filePath("c*.png"), out.path());
    QVERIFY(!star.success);
    QCOMPARE(entriesBelow(out.path()), QStringList{"b[0].jpg"});
}

void TestConversions::sameFileTwiceAtOnce()
{
    QTemporaryDir out;
    const QString jpg = image("twice.jpg");
    const QList<WorkerResult> results = runWorkers(kToPng, {{jpg, 1}, {jpg, 2}}, out.path());
    QVERIFY(results.at(0).success && results.at(1).success);
    QVERIFY(results.at(0).path != results.at(1).path);
    QCOMPARE(entriesBelow(out.path()).size(), 2);
    for (const WorkerResult &result : results)
        QCOMPARE(Fixtures::imageSize(result.path), QSize(40, 20));
}

void TestConversions::compressPng()
{
    QTemporaryDir out;
    const WorkerResult result = runWorker(settingsFor(Operation::Compress, QString(), 60), image("c.png"), out.path());
    QVERIFY(result.success);
    QCOMPARE(result.path, out.filePath("c.png"));
    QCOMPARE(Fixtures::imageFormat(result.path), QByteArray("png"));
    QCOMPARE(Fixtures::imageSize(result.path), QSize(40, 20));
}

void TestConversions::compressResizedPngLeavesNoIntermediate()
{
    QTemporaryDir out;
    QVERIFY(QDir(TempArea::jobTempDir()).removeRecursively()); // created when needed
    const WorkerResult result
        = runWorker(settingsFor(Operation::Compress, QString(), 60, 20), image("cr.png"), out.path());
    QVERIFY(result.success);
    QCOMPARE(Fixtures::imageSize(result.path), QSize(20, 10));
    QCOMPARE(QImage(result.path).pixel(2, 5), QColor(Qt::red).rgb());
    QCOMPARE(entriesBelow(out.path()), QStringList{"cr.png"});
    QCOMPARE(tempEntries(), QStringList());
}

void TestConversions::compressJpeg()
{
    QTemporaryDir out;
    const WorkerResult result
        = runWorker(settingsFor(Operation::Compress, QString(), 30), image("cj.jpeg"), out.path());
    QVERIFY(result.success);
    QCOMPARE(result.path, out.filePath("cj.jpeg"));
    QCOMPARE(Fixtures::imageFormat(result.path), QByteArray("jpeg"));
}

void TestConversions::unreachablePngQualityKeepsTheSource()
{
    // Noise over a gradient: 256 colours cannot reach quality 81..90, so pngquant
    // gives up (status 99) and writes nothing.
    QImage noisy(64, 64, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x)
            noisy.setPixel(x, y,
                           qRgb((x * 4 + int(random.bounded(64))) % 256, (y * 4 + int(random.bounded(64))) % 256,
                                int(random.bounded(256))));
    }
    const QString png = workDir.filePath("noisy.png");
    QVERIFY(noisy.save(png));
    QTemporaryDir out;
    const WorkerResult result = runWorker(settingsFor(Operation::Compress, QString(), 90), png, out.path());
    QVERIFY(result.success);
    QCOMPARE(readAll(result.path), readAll(png));
}

void TestConversions::rawEndToEnd_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("to png") << "png" << QByteArray("png");
    QTest::newRow("to jpg") << "jpg" << QByteArray("jpeg");
}

void TestConversions::rawEndToEnd()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, format);
    const QString dng = workDir.filePath("camera.DNG");
    QVERIFY(QFile::exists(dng) || Fixtures::writeDng(dng, 64, 48));
    QTemporaryDir out;
    const QStringList tempBefore = tempEntries();
    const WorkerResult result = runWorker(settingsFor(Operation::Convert, suffix), dng, out.path());
    QVERIFY(result.success);
    QCOMPARE(QFileInfo(result.path).fileName(), "camera." + QString::fromLatin1(format == "png" ? "png" : "jpg"));
    QCOMPARE(Fixtures::imageFormat(result.path), format);
    const QImage written(result.path);
    QCOMPARE(written.size(), QSize(64, 48));
    QString bands;
    for (int i = 0; i < 4; ++i)
        bands += dngBand(written.pixel(8 + 16 * i, 40));
    QCOMPARE(bands, QStringLiteral("RGBK"));
    QCOMPARE(tempEntries(), tempBefore); // the decoded intermediate is gone
}

void TestConversions::rawResizedToTheAskedSize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("output");
    // The DNG is 256x192: up to 128x96 it is developed at half size.
    QTest::newRow("a quarter of the width") << 64 << -1 << QSize(64, 48);
    QTest::newRow("exact, half each way") << 128 << 96 << QSize(128, 96);
    QTest::newRow("exact, another shape") << 50 << 90 << QSize(50, 90);
    QTest::newRow("height only") << -1 << 30 << QSize(40, 30);
    QTest::newRow("over half: a whole develop") << 200 << -1 << QSize(200, 150);
    QTest::newRow("larger than the picture") << 300 << 100 << QSize(300, 100);
}

void TestConversions::rawResizedToTheAskedSize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSize, output);
    const QString dng = workDir.filePath("big.dng");
    QVERIFY(QFile::exists(dng) || Fixtures::writeDng(dng, 256, 192));
    QTemporaryDir out;
    const WorkerResult result = runWorker(settingsFor(Operation::Resize, "png", -1, width, height), dng, out.path());
    QVERIFY2(result.success, qPrintable(result.reason));
    const QImage written(result.path);
    QCOMPARE(written.size(), output);
    QString bands;
    for (int i = 0; i < 4; ++i)
        bands += dngBand(written.pixel((2 * i + 1) * output.width() / 8, output.height() * 5 / 6));
    QCOMPARE(bands, QStringLiteral("RGBK"));
}

void TestConversions::brokenRawFails()
{
    const QString dng = workDir.filePath("broken.nef");
    QVERIFY(Fixtures::writeBytes(dng, QByteArray("II*\0", 4) + QByteArray(300, '\x01')));
    QTemporaryDir out;
    const WorkerResult result = runWorker(kToJpg, dng, out.path());
    QVERIFY(!result.success);
    QCOMPARE(result.path, out.filePath("broken.jpg"));
    QCOMPARE(entriesBelow(out.path()), QStringList());
}

void TestConversions::whatLeavesWithThePhoto_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("metadata");
    for (const BatchCatalogue::MetadataChoice &choice : BatchCatalogue::metadataChoices()) {
        for (const char *suffix : {"jpg", "png", "webp", "avif"})
            QTest::addRow("%s, %s", suffix, qPrintable(choice.name)) << suffix << int(choice.metadata);
    }
}

// A phone photo: camera EXIF with its position, the position in XMP too, IPTC
// keywords, a comment, a colour profile, and orientation 6. exiftool says what
// each output carries.
void TestConversions::whatLeavesWithThePhoto()
{
    QFETCH(QString, suffix);
    QFETCH(int, metadata);
    const QString exiftool = QStandardPaths::findExecutable("exiftool");
    QVERIFY2(!exiftool.isEmpty(), "exiftool (libimage-exiftool-perl) is needed");
    const auto tags = [&exiftool](const QStringList &args) {
        QProcess process;
        process.start(exiftool, args);
        process.waitForFinished(60000);
        return QString::fromUtf8(process.readAllStandardOutput());
    };

    const QString photo = workDir.filePath("phone-meta.jpg");
    if (!QFile::exists(photo)) {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QPainter(&picture).fillRect(0, 0, 32, 48, Qt::red);
        QVERIFY(Fixtures::writeJpegWithCameraExif(photo, picture));
        tags({"-q", "-overwrite_original", "-Orientation#=6", "-XMP-exif:GPSLatitude=39.9", "-XMP-exif:GPSLatitudeRef=N",
              "-XMP-dc:Creator=Someone", "-IPTC:Keywords=holiday", "-Comment=by the sea",
              "-ICC_Profile<=/usr/share/color/icc/sRGB.icc", photo});
        const QString source = tags({"-a", "-G1", "-s", photo});
        for (const char *present : {"[GPS]", "[XMP-exif]", "GPSLatitude", "[IPTC]", "Comment", "ICC_Profile", "Make"})
            QVERIFY2(source.contains(present), qPrintable(source));
    }

    JobSettings settings = settingsFor(Operation::Convert, suffix);
    settings.metadata = Metadata(metadata);
    QTemporaryDir out;
    const WorkerResult result = runWorker(settings, photo, out.path());
    QVERIFY2(result.success, qPrintable(result.reason));
    const QString written = tags({"-a", "-G1", "-s", result.path});
    // Upright whatever is left out: shown as stored.
    QCOMPARE(Fixtures::imageSize(result.path), QSize(48, 64));
    QVERIFY2(!written.contains("Orientation") || written.contains("Horizontal (normal)"), qPrintable(written));

    // What a format can carry: ImageMagick 6 writes no EXIF or profile into AVIF.
    const bool carries = BatchCatalogue::outputFormat(suffix)->carriesProfile;
    if (carries)
        QVERIFY2(written.contains("[ICC_Profile]"), qPrintable(written));
    switch (Metadata(metadata)) {
    case Metadata::Keep:
        if (carries) {
            for (const char *kept : {"[GPS]", "GPSLatitude", "Make", "Test Cam 1"})
                QVERIFY2(written.contains(kept), qPrintable(written));
        }
        break;
    case Metadata::NoLocation:
        QVERIFY2(!written.contains("GPS"), qPrintable(written));
        if (carries) {
            for (const char *kept : {"Make", "Test Cam 1", "LensModel", "ISO"})
                QVERIFY2(written.contains(kept), qPrintable(written));
        }
        // IPTC goes along where ImageMagick writes it.
        if (suffix == "jpg" || suffix == "png")
            QVERIFY2(written.contains("Keywords"), qPrintable(written));
        break;
    case Metadata::None:
        for (const char *gone : {"GPS", "[IFD0]", "[ExifIFD]", "[XMP", "[IPTC]", "Comment", "Make", "Keywords"})
            QVERIFY2(!written.contains(gone), qPrintable(written));
        break;
    }
}

QTEST_MAIN(TestConversions)
#include "tst_conversions.moc"
