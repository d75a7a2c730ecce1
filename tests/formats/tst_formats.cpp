// The picture formats of today (AVIF, HEIC, JPEG XL) through the viewer's loader
// and the batch engine, what either says when this machine cannot decode one, and
// colour-managed display of pictures tagged with an ICC profile.
#include "app/AppSetup.h"
#include "batch/engine/BatchCatalogue.h"
#include "MagickFormats.h"
#include "batch/engine/Operations.h"
#include "process/ToolLocator.h"
#include "formats/ContentFormat.h"
#include "formats/SafeRename.h"
#include "formats/SizeText.h"
#include "DecoderSupport.h"
#include "DisplayColour.h"
#include "FolderBrowser.h"
#include "viewer/CurrentPicture.h"
#include "ImageDecode.h"
#include "PictureInfo.h"

#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include "support/EngineHarness.h"
#include "support/Fixtures.h"

Q_DECLARE_METATYPE(SafeRename::Result)

namespace {

const QString kAdobeRgb = QStringLiteral("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc");
const QString kSrgb = QStringLiteral("/usr/share/color/icc/sRGB.icc");

// Four quadrants of strong colours, which survive lossy coding at any setting.
QImage quadrants()
{
    QImage image(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y,
                           y < 32 ? (x < 32 ? qRgb(220, 30, 30) : qRgb(30, 200, 40))
                                  : (x < 32 ? qRgb(30, 40, 210) : qRgb(235, 235, 235)));
    return image;
}

// Whether each quadrant's middle shows its colour within tolerance.
bool showsQuadrants(const QImage &image, int tolerance = 24)
{
    if (image.size() != QSize(64, 64))
        return false;
    const QImage want = quadrants();
    for (const QPoint &at : {QPoint(16, 16), QPoint(48, 16), QPoint(16, 48), QPoint(48, 48)}) {
        const QRgb a = image.pixel(at), b = want.pixel(at);
        if (qAbs(qRed(a) - qRed(b)) > tolerance || qAbs(qGreen(a) - qGreen(b)) > tolerance
            || qAbs(qBlue(a) - qBlue(b)) > tolerance)
            return false;
    }
    return true;
}

// How far two pictures are apart: the largest difference of any channel of any
// pixel, and the mean over all channels of all pixels.
struct Difference
{
    int largest = 256;
    double mean = 256;
};

Difference difference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    Difference apart;
    if (x.size() != y.size() || x.isNull())
        return apart;
    apart.largest = 0;
    qint64 sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            const int red = qAbs(qRed(p) - qRed(q)), green = qAbs(qGreen(p) - qGreen(q)),
                      blue = qAbs(qBlue(p) - qBlue(q));
            apart.largest = std::max({apart.largest, red, green, blue});
            sum += red + green + blue;
        }
    }
    apart.mean = double(sum) / (3.0 * x.width() * x.height());
    return apart;
}

int largestDifference(const QImage &a, const QImage &b)
{
    return difference(a, b).largest;
}

double meanDifference(const QImage &a, const QImage &b)
{
    return difference(a, b).mean;
}

// Makes a picture of format from a PNG: ImageMagick where it writes the format,
// else the format's own encoder (cjxl). Empty with why when this machine has neither.
QString makeFixture(const QString &png, const QString &format, QString *why)
{
    const QString out = png.left(png.lastIndexOf(QLatin1Char('.'))) + QLatin1Char('.') + format;
    const QString magick = ToolLocator::program(ToolLocator::Tool::ImageMagick);
    if (MagickFormats::canWrite(magick, format) && MagickFormats::of(magick).contains(format)) {
        if (EngineHarness::magick({png, QStringLiteral("-quality"), QStringLiteral("90"), out}))
            return out;
        *why = QStringLiteral("ImageMagick failed to write ") + format;
        return QString();
    }
    if (format == QLatin1String("jxl") && !QStandardPaths::findExecutable(QStringLiteral("cjxl")).isEmpty()) {
        if (QProcess::execute(QStringLiteral("cjxl"), {png, out, QStringLiteral("--quiet")}) == 0)
            return out;
        *why = QStringLiteral("cjxl failed");
        return QString();
    }
    *why = QStringLiteral("no encoder for %1 here (ImageMagick delegate or cjxl missing)").arg(format);
    return QString();
}

// A picture of saturated colours and ramps, where Adobe RGB and sRGB differ most,
// as a file of suffix tagged with profile (untagged when empty).
QImage gradients()
{
    QImage picture(96, 64, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 255 / 95, y < 32 ? 255 - y * 4 : 20, (x / 8 + y / 8) % 2 ? 200 : 10));
    return picture;
}

// 24 flat patches of saturated colours: few enough for a palette to hold them
// exactly, saturated enough that a profile conversion moves every one of them.
QImage flatPatches()
{
    QImage picture(96, 64, QImage::Format_RGB32);
    const int levels[] = {20, 120, 230};
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const int patch = (y / 16) * 6 + x / 16;
            picture.setPixel(x, y, qRgb(levels[patch % 3], levels[(patch / 3) % 3], levels[(patch / 9 + patch) % 3]));
        }
    }
    return picture;
}

QString taggedFixture(const QTemporaryDir &dir, const QString &profile, const QString &suffix,
                      const QImage &picture = gradients())
{
    const QString plain = dir.filePath(QStringLiteral("plain.png"));
    const QString tagged = dir.filePath(QStringLiteral("tagged.") + suffix);
    QStringList args{plain};
    if (!profile.isEmpty())
        args << QStringLiteral("-profile") << profile;
    args << QStringLiteral("-quality") << QStringLiteral("95") << tagged;
    return picture.save(plain) && EngineHarness::magick(args) ? tagged : QString();
}

// ImageMagick's sRGB rendering of a file: converted by its profile, if any.
QImage asSrgb(const QTemporaryDir &dir, const QString &path)
{
    const QString out = dir.filePath(QStringLiteral("as-srgb.png"));
    QFile::remove(out);
    if (!EngineHarness::magick({path, QStringLiteral("-profile"), kSrgb, QStringLiteral("-strip"), out}))
        return QImage();
    return QImage(out);
}

// A tagged fixture (its path in *tagged) and ImageMagick's sRGB rendering of it;
// null when either could not be made.
QImage taggedAsSrgb(const QTemporaryDir &dir, const QString &profile, const QString &suffix, QString *tagged)
{
    *tagged = taggedFixture(dir, profile, suffix);
    return tagged->isEmpty() ? QImage() : asSrgb(dir, *tagged);
}

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void signatures_data();
    void signatures();
    void magickListing();
    void newFormats_data();
    void newFormats();
    void steppedThroughInFolder();
    void missingDecoder();
    void messages_data();
    void messages();
    void taggedShownAsSrgb_data();
    void taggedShownAsSrgb();
    void taggedLevelConvertedOnce_data();
    void taggedLevelConvertedOnce();
    void profileNamed_data();
    void profileNamed();
    void embeddedProfile_data();
    void embeddedProfile();
    void batchOutputColour_data();
    void batchOutputColour();
    void renameNeverReplaces_data();
    void renameNeverReplaces();
    void sizeTexts_data();
    void sizeTexts();

private:
    QTemporaryDir tmp;
};

void TestFormats::initTestCase()
{
    AppSetup::run();
    QVERIFY(tmp.isValid());
    QVERIFY(quadrants().save(tmp.filePath(QStringLiteral("quadrants.png"))));
}

void TestFormats::cleanup()
{
    DecoderSupport::setMissing({});
}

// One size text for the viewer's title and panel and the toolbox's table.
void TestFormats::sizeTexts_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("nothing") << qint64(0) << "0 B";
    QTest::newRow("small") << qint64(517) << "517 B";
    QTest::newRow("just under a KB") << qint64(1023) << "1023 B";
    QTest::newRow("a KB") << qint64(1024) << "1.0 KB";
    QTest::newRow("one and a half KB") << qint64(1536) << "1.5 KB";
    QTest::newRow("some KB") << qint64(3000) << "2.9 KB";
    QTest::newRow("rounds up to a MB") << qint64(1048526) << "1.0 MB";
    QTest::newRow("would round to 1024.0 KB") << qint64(1024 * 1024 - 10) << "1.0 MB";
    QTest::newRow("just under a MB") << qint64(1048500) << "1023.9 KB";
    QTest::newRow("2.3 MB") << qint64(2411725) << "2.3 MB";
    QTest::newRow("a large photo") << qint64(13195) * 1024 << "12.9 MB";
    QTest::newRow("512 MB") << qint64(512) * 1024 * 1024 << "512.0 MB";
}

void TestFormats::sizeTexts()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(sizeText(bytes), text);
}

void TestFormats::signatures_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QSize>("size"); // from the header; invalid where it is not read
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    QTest::newRow("AVIF") << hex("0000001c667479706176696600000000617669666d6966316d696166") << "avif" << QSize();
    QTest::newRow("AVIF under the generic HEIF brand")
        << hex("00000018667479706d696631000000006d69663161766966") << "avif" << QSize();
    QTest::newRow("HEIC under the generic HEIF brand")
        << hex("00000018667479706d696631000000006d69663168656963") << "heic" << QSize();
    // A brand past the box is another box's bytes.
    QTest::newRow("avif after the ftyp box") << hex("00000010667479706d6966310000000061766966") << "heic"
                                             << QSize();
    QTest::newRow("MP4") << hex("000000186674797069736f6d0000000069736f6d61766331") << "" << QSize();
    // Heads of cjxl's code streams for pictures of these sizes, bare and in the box container.
    QTest::newRow("JPEG XL 64x64") << hex("ff0a4f4042e5de2a82001288") << "jxl" << QSize(64, 64);
    QTest::newRow("JPEG XL 6000x4000") << hex("ff0afa7c0409957bab080200") << "jxl" << QSize(6000, 4000);
    QTest::newRow("JPEG XL 1000x40") << hex("ff0a3881ce0748a8dc5b4510") << "jxl" << QSize(1000, 40);
    QTest::newRow("JPEG XL 6000x4000 in a container")
        << hex("0000000c4a584c200d0a870a00000014667479706a786c20000000006a786c20000000146a786c63ff0afa7c0409957bab"
               "080200")
        << "jxl" << QSize(6000, 4000);
    QTest::newRow("JPEG XL cut in its header") << hex("ff0afa") << "jxl" << QSize();
}

void TestFormats::signatures()
{
    QFETCH(QByteArray, head);
    QFETCH(QString, format);
    QFETCH(QSize, size);
    QCOMPARE(ContentFormat::of(head, QString()), format);
    QCOMPARE(ContentFormat::headerSize(head), size);
}

void TestFormats::magickListing()
{
    const QString listing = QStringLiteral("   Format  Module    Mode  Description\n"
                                           "-------------------------------------------------\n"
                                           "      3FR  DNG       r--   Hasselblad CFV/H3D39II\n"
                                           "     AVIF* HEIC      rw+   AV1 Image File Format (1.15.1)\n"
                                           "      DPX* DPX       rw-   SMPTE 268M-2003 (DPX 2.0)\n"
                                           "           See the SMPTE 268M-2003 standard at http://x\n"
                                           "     JPEG* JPEG      rw-   Joint Photographic Experts Group\n");
    const MagickFormats::Table table = MagickFormats::parse(listing);
    QCOMPARE(table.size(), 4);
    QVERIFY(table.value(QStringLiteral("3fr")).read && !table.value(QStringLiteral("3fr")).write);
    QVERIFY(table.value(QStringLiteral("avif")).read && table.value(QStringLiteral("avif")).write);
    QVERIFY(!table.contains(QStringLiteral("see")));
}

void TestFormats::newFormats_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("AVIF") << "avif";
    QTest::newRow("HEIC") << "heic";
    QTest::newRow("JPEG XL") << "jxl";
}

// Each new format opens in the viewer and converts to PNG in the engine.
void TestFormats::newFormats()
{
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("quadrants.png"));
    QVERIFY(QFile::copy(tmp.filePath(QStringLiteral("quadrants.png")), png));
    QString why;
    const QString source = makeFixture(png, format, &why);
    if (source.isEmpty())
        QSKIP(qPrintable(why));
    QVERIFY(QFile::remove(png));

    const LoadResult shown = ImageDecode::load(source, ImageDecode::Options());
    QCOMPARE(failureReason(shown.failure), QString());
    QCOMPARE(shown.stage, LoadStage::Full);
    QVERIFY(showsQuadrants(shown.image));

    const QString out = dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    const EngineHarness::WorkerResult converted = EngineHarness::runWorker(
        EngineHarness::settingsFor(Operation::Convert, QStringLiteral("png")), source, out);
    QVERIFY2(converted.success, qPrintable(converted.reason));
    QCOMPARE(Fixtures::imageFormat(converted.path), QByteArray("png"));
    QVERIFY(showsQuadrants(QImage(converted.path)));

    // The other way, where the format is an output: the PNG back into it.
    if (!BatchCatalogue::outputFormat(format))
        return;
    const QString back = dir.filePath(QStringLiteral("back"));
    QVERIFY(QDir().mkpath(back));
    const EngineHarness::WorkerResult written
        = EngineHarness::runWorker(EngineHarness::settingsFor(Operation::Convert, format, 90), converted.path, back);
    QVERIFY2(written.success, qPrintable(written.reason));
    QVERIFY(written.path.endsWith(QLatin1Char('.') + format));
    QVERIFY(showsQuadrants(ImageDecode::load(written.path, ImageDecode::Options()).image));
}

// A phone's folder: the new formats are stepped through in the viewer, each shown,
// and the toolbox takes them all.
void TestFormats::steppedThroughInFolder()
{
    QTemporaryDir dir;
    QStringList names;
    for (const QString &format : {QStringLiteral("avif"), QStringLiteral("heic"), QStringLiteral("jxl")}) {
        const QString png = dir.filePath(format + QStringLiteral(".png"));
        QVERIFY(QFile::copy(tmp.filePath(QStringLiteral("quadrants.png")), png));
        QString why;
        const QString made = makeFixture(png, format, &why);
        QVERIFY(QFile::remove(png));
        if (made.isEmpty())
            QSKIP(qPrintable(why));
        names << QFileInfo(made).fileName();
    }
    // HEIF is the family's name for the same files.
    QVERIFY(QFile::copy(dir.filePath(QStringLiteral("heic.heic")), dir.filePath(QStringLiteral("heif.heif"))));
    names << QStringLiteral("heif.heif");
    names.sort();
    QCOMPARE(FolderBrowser::imageNames(dir.path()), names);

    CurrentPicture current;
    current.open(dir.path());
    QStringList stepped;
    do {
        const QString at = current.path();
        stepped << QFileInfo(at).fileName();
        const LoadResult shown = ImageDecode::load(at, ImageDecode::Options());
        QVERIFY2(showsQuadrants(shown.image), qPrintable(at));
    } while (current.step(1));
    QCOMPARE(stepped, names);
    const QStringList &taken = Operations::row(Operation::Convert).acceptedSuffixes();
    for (const char *suffix : {"avif", "heic", "heif", "jxl"})
        QVERIFY2(taken.contains(QLatin1String(suffix)), suffix);
}

// A format whose plugin or delegate is missing is "not supported", not "no picture".
void TestFormats::missingDecoder()
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("quadrants.png"));
    QVERIFY(QFile::copy(tmp.filePath(QStringLiteral("quadrants.png")), png));
    QString why;
    const QString avif = makeFixture(png, QStringLiteral("avif"), &why);
    if (avif.isEmpty())
        QSKIP(qPrintable(why));

    DecoderSupport::setMissing({"avif"});
    const LoadResult shown = ImageDecode::load(avif, ImageDecode::Options());
    QCOMPARE(shown.stage, LoadStage::Failed);
    QCOMPARE(failureReason(shown.failure), QStringLiteral("不支持的图片格式"));

    // An ImageMagick built without the AVIF delegate: the real one, its format list
    // without AVIF, found first on PATH as "magick".
    const QString magick = ToolLocator::program(ToolLocator::Tool::ImageMagick);
    const QString bin = dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    const QString fake = EngineHarness::writeTool(
        bin, QStringLiteral("magick"),
        QStringLiteral("if [ \"$1\" = -list ]; then \"%1\" \"$@\" | grep -v '^ *AVIF'; else exec \"%1\" \"$@\"; fi\n")
            .arg(magick)
            .toUtf8());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ':' + path);
    const auto restorePath = qScopeGuard([&path] { qputenv("PATH", path); });
    QCOMPARE(ToolLocator::program(ToolLocator::Tool::ImageMagick), fake);
    QVERIFY(!MagickFormats::canRead(fake, QStringLiteral("avif")));
    QVERIFY(MagickFormats::canRead(fake, QStringLiteral("png")));
    const QString out = dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    const EngineHarness::WorkerResult converted = EngineHarness::runWorker(
        EngineHarness::settingsFor(Operation::Convert, QStringLiteral("png")), avif, out);
    QVERIFY(!converted.success);
    QCOMPARE(converted.reason, QStringLiteral("format not supported by the installed ImageMagick (AVIF)"));
    QCOMPARE(EngineHarness::entriesBelow(out), QStringList());
}

void TestFormats::messages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("make"); // empty, text, truncated, heic-named-png
    QTest::addColumn<QString>("reason"); // the view's reason; empty: shown
    QTest::addColumn<bool>("incomplete");
    QTest::newRow("empty file") << "empty.jpg"
                                << "empty"
                                << "文件为空" << false;
    QTest::newRow("text") << "notes.jpg"
                          << "text"
                          << "不是图片文件" << false;
    QTest::newRow("JPEG cut short: shown, marked incomplete") << "cut.jpg"
                                                              << "truncated"
                                                              << "" << true;
    QTest::newRow("whole JPEG") << "whole.jpg"
                                << "whole"
                                << "" << false;
}

void TestFormats::messages()
{
    QFETCH(QString, name);
    QFETCH(QString, make);
    QFETCH(QString, reason);
    QFETCH(bool, incomplete);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (make == QLatin1String("empty")) {
        QVERIFY(Fixtures::writeBytes(path, QByteArray()));
    } else if (make == QLatin1String("text")) {
        QVERIFY(Fixtures::writeBytes(path, "shopping list\n"));
    } else {
        QImage photo(640, 480, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255));
        QVERIFY(photo.save(path, "JPEG", 90));
        if (make == QLatin1String("truncated")) {
            QFile file(path);
            QVERIFY(file.resize(file.size() * 2 / 3));
        }
    }
    const LoadResult result = ImageDecode::load(path, ImageDecode::Options());
    QCOMPARE(failureReason(result.failure), reason);
    QCOMPARE(result.stage, reason.isEmpty() ? LoadStage::Full : LoadStage::Failed);
    QCOMPARE(result.incomplete, incomplete);
}

void TestFormats::taggedShownAsSrgb_data()
{
    QTest::addColumn<QString>("profile"); // empty: untagged
    QTest::addColumn<QString>("suffix");
    QTest::newRow("Adobe RGB, PNG") << kAdobeRgb << "png";
    QTest::newRow("Adobe RGB, JPEG") << kAdobeRgb << "jpg";
    QTest::newRow("untagged PNG") << QString() << "png";
}

// The shown picture is ImageMagick's conversion to sRGB within 3 levels; an
// untagged one is shown as decoded.
void TestFormats::taggedShownAsSrgb()
{
    QFETCH(QString, profile);
    QFETCH(QString, suffix);
    if (!QFile::exists(kAdobeRgb) || !QFile::exists(kSrgb))
        QSKIP("the ICC profiles of icc-profiles-free are not installed");
    QTemporaryDir dir;
    QString tagged;
    const QImage expected = taggedAsSrgb(dir, profile, suffix, &tagged);
    QVERIFY(!expected.isNull());

    const LoadResult shown = ImageDecode::load(tagged, ImageDecode::Options());
    QCOMPARE(shown.stage, LoadStage::Full);
    QVERIFY2(largestDifference(shown.image, expected) <= 3,
             qPrintable(QString::number(largestDifference(shown.image, expected))));
    if (profile.isEmpty())
        QCOMPARE(largestDifference(shown.image, QImage(tagged)), 0);
    else
        QVERIFY(largestDifference(shown.image, QImage(tagged)) > 10); // converted indeed
}

void TestFormats::taggedLevelConvertedOnce_data()
{
    QTest::addColumn<QString>("profile"); // empty: untagged
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("firstPaint");
    QTest::newRow("PNG, first paint shown") << kAdobeRgb << "png" << true;
    QTest::newRow("PNG, level alone") << kAdobeRgb << "png" << false;
    QTest::newRow("JPEG, decoded scaled") << kAdobeRgb << "jpg" << true;
    QTest::newRow("untagged PNG") << QString() << "png" << true;
}

// At the display level every picture shown is sRGB: the whole picture shown first
// and the level filtered from it, each converted once (twice or not at all would
// be far off).
void TestFormats::taggedLevelConvertedOnce()
{
    QFETCH(QString, profile);
    QFETCH(QString, suffix);
    QFETCH(bool, firstPaint);
    if (!QFile::exists(kAdobeRgb) || !QFile::exists(kSrgb))
        QSKIP("the ICC profiles of icc-profiles-free are not installed");
    QTemporaryDir dir;
    QString tagged;
    const QImage expected = taggedAsSrgb(dir, profile, suffix, &tagged);
    QVERIFY(!expected.isNull());

    ImageDecode::Options options;
    options.view = QSize(48, 32);
    options.resolution = ImageDecode::Resolution::Display;
    options.firstPaint = firstPaint;
    QVector<QImage> firsts;
    options.deliver = [&firsts](const LoadResult &first) { firsts.append(first.image); };
    const LoadResult shown = ImageDecode::load(tagged, options);
    QCOMPARE(shown.stage, LoadStage::Full);
    QCOMPARE(shown.image.size(), QSize(48, 32));
    const QImage expectedLevel = expected.scaled(shown.image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Filtering before or after the conversion moves edges by a few levels; a
    // picture left unconverted is some 12 levels off on average, one converted
    // twice as far again.
    QVERIFY2(meanDifference(shown.image, expectedLevel) <= 1.5,
             qPrintable(QString::number(meanDifference(shown.image, expectedLevel))));
    // JPEG decodes the level directly; the others show the whole picture first.
    QCOMPARE(firsts.size(), firstPaint && suffix != QLatin1String("jpg") ? 1 : 0);
    for (const QImage &first : qAsConst(firsts))
        QVERIFY2(largestDifference(first, expected) <= 3, qPrintable(QString::number(largestDifference(first, expected))));
}

void TestFormats::profileNamed_data()
{
    QTest::addColumn<QString>("profile"); // empty: untagged
    QTest::addColumn<QString>("suffix");
    // ImageMagick writes AVIF and HEIC with colour as numbers (nclx), not a profile;
    // those are in embeddedProfile's table.
    for (const char *suffix : {"jpg", "png", "webp"})
        QTest::newRow(suffix) << kAdobeRgb << suffix;
    QTest::newRow("untagged JPEG") << QString() << "jpg";
    QTest::newRow("untagged PNG") << QString() << "png";
}

// The information panel names the profile a file embeds, in each format that keeps
// one before its pixels; an untagged file has no such row.
void TestFormats::profileNamed()
{
    QFETCH(QString, profile);
    QFETCH(QString, suffix);
    if (!QFile::exists(kAdobeRgb))
        QSKIP("the ICC profiles of icc-profiles-free are not installed");
    const QString magick = ToolLocator::program(ToolLocator::Tool::ImageMagick);
    if (!MagickFormats::canWrite(magick, suffix))
        QSKIP(qPrintable(QStringLiteral("this ImageMagick does not write ") + suffix));
    QTemporaryDir dir;
    const QString tagged = taggedFixture(dir, profile, suffix);
    QVERIFY(!tagged.isEmpty());
    const QString name = PictureInfo::value(PictureInfo::read(tagged, QSize()), QStringLiteral("色彩配置"));
    QCOMPARE(name, profile.isEmpty() ? QString() : QStringLiteral("Compatible with Adobe RGB (1998)"));
}

namespace {

QByteArray bigEndian(quint32 value, int size)
{
    QByteArray bytes;
    for (int i = size - 1; i >= 0; --i)
        bytes += char(value >> (8 * i) & 0xFF);
    return bytes;
}

// An APP2 segment carrying piece of count of a profile.
QByteArray iccSegment(const QByteArray &piece, int number, int count)
{
    return "\xFF\xE2" + bigEndian(quint32(piece.size() + 16), 2) + QByteArray("ICC_PROFILE\0", 12) + char(number)
        + char(count) + piece;
}

QByteArray box(const QByteArray &type, const QByteArray &body)
{
    return bigEndian(quint32(body.size() + 8), 4) + type + body;
}

} // namespace

void TestFormats::embeddedProfile_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("found");
    QFile file(kAdobeRgb);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray icc = file.readAll();
    const int half = icc.size() / 2;
    const QByteArray soi("\xFF\xD8"), sos("\xFF\xDA\x00\x02");
    QTest::newRow("JPEG, profile in two pieces, out of order")
        << soi + iccSegment(icc.mid(half), 2, 2) + iccSegment(icc.left(half), 1, 2) + sos << true;
    QTest::newRow("JPEG, a piece missing") << soi + iccSegment(icc.left(half), 1, 2) + sos << false;
    QTest::newRow("JPEG, segment past the end") << soi + iccSegment(icc, 1, 1).left(200) << false;
    QTest::newRow("JPEG, profile after the scan") << soi + sos + iccSegment(icc, 1, 1) << false;
    const QByteArray ftyp = box("ftyp", "heic" + bigEndian(0, 4) + "mif1heic");
    QTest::newRow("HEIC, colr prof") << ftyp + box("meta", bigEndian(0, 4) + box("colr", "prof" + icc)) << true;
    QTest::newRow("AVIF, colr rICC") << box("ftyp", "avif" + bigEndian(0, 4) + "mif1avif") + box("colr", "rICC" + icc)
                                     << true;
    QTest::newRow("HEIC, colr nclx") << ftyp + box("colr", "nclx" + bigEndian(0x00010001, 4) + bigEndian(0x00010000, 3))
                                     << false;
    QTest::newRow("HEIC, colr box cut short") << ftyp + box("colr", "prof" + icc).left(icc.size() / 2) << false;
    QTest::newRow("not an ICC profile") << ftyp + box("colr", "prof" + QByteArray(400, 'x')) << false;
    QTest::newRow("empty") << QByteArray() << false;
}

// The profile is found in the ways the formats keep it, whole or not at all.
void TestFormats::embeddedProfile()
{
    if (!QFile::exists(kAdobeRgb))
        QSKIP("the ICC profiles of icc-profiles-free are not installed");
    QFETCH(QByteArray, head);
    QFETCH(bool, found);
    const QString name = DisplayColour::profileName(DisplayColour::embeddedProfile(head));
    QCOMPARE(name, found ? QStringLiteral("Compatible with Adobe RGB (1998)") : QString());
}

void TestFormats::batchOutputColour_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("keepsProfile");
    QTest::addColumn<bool>("flat"); // flat patches that a palette holds exactly, else gradients
    QTest::newRow("PNG keeps the profile") << "png" << true << false;
    QTest::newRow("TGA gets sRGB pixels") << "tga" << false << false;
    QTest::newRow("BMP gets sRGB pixels") << "bmp" << false << false;
    QTest::newRow("GIF gets sRGB pixels") << "gif" << false << true;
}

// An output that carries a profile has the source's numbers and profile; one that
// cannot has the numbers converted to sRGB.
void TestFormats::batchOutputColour()
{
    QFETCH(QString, format);
    QFETCH(bool, keepsProfile);
    QFETCH(bool, flat);
    if (!QFile::exists(kAdobeRgb) || !QFile::exists(kSrgb))
        QSKIP("the ICC profiles of icc-profiles-free are not installed");
    QTemporaryDir dir;
    const QString tagged = taggedFixture(dir, kAdobeRgb, QStringLiteral("png"), flat ? flatPatches() : gradients());
    QVERIFY(!tagged.isEmpty());
    const QString out = dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    QVERIFY(BatchCatalogue::outputFormats().contains(format));
    const EngineHarness::WorkerResult converted
        = EngineHarness::runWorker(EngineHarness::settingsFor(Operation::Convert, format), tagged, out);
    QVERIFY2(converted.success, qPrintable(converted.reason));
    // Read back by ImageMagick: Qt's TGA reader ignores the picture's origin.
    const QString readBack = dir.filePath(QStringLiteral("read-back.png"));
    QVERIFY(EngineHarness::magick({converted.path, readBack}));
    const QImage written(readBack);
    const QImage reference = keepsProfile ? QImage(tagged) : asSrgb(dir, tagged);
    QVERIFY2(largestDifference(written, reference) <= 1,
             qPrintable(QString::number(largestDifference(written, reference))));
    // Every ICC profile has "acsp" at its offset 36; a PNG compresses it in iCCP.
    const QByteArray bytes = EngineHarness::readAll(converted.path);
    QCOMPARE(bytes.contains("acsp") || bytes.contains("iCCP"), keepsProfile);
    if (keepsProfile)
        QVERIFY(written.colorSpace() == QImage(tagged).colorSpace());
}

void TestFormats::renameNeverReplaces_data()
{
    QTest::addColumn<QString>("there"); // what has the new name: nothing, a file, a folder, a link
    QTest::addColumn<SafeRename::Result>("result");
    QTest::newRow("a free name") << "" << SafeRename::Result::Renamed;
    QTest::newRow("a file") << "file" << SafeRename::Result::Taken;
    QTest::newRow("a folder") << "folder" << SafeRename::Result::Taken;
    QTest::newRow("a dangling link") << "dangling link" << SafeRename::Result::Taken;
    QTest::newRow("a link to a file") << "link" << SafeRename::Result::Taken;
}

// What has the name stays as it was, and the file stays where it was.
void TestFormats::renameNeverReplaces()
{
    QFETCH(QString, there);
    QFETCH(SafeRename::Result, result);
    QTemporaryDir dir;
    const QString from = dir.filePath("from"), to = dir.filePath("to"), aside = dir.filePath("aside");
    QVERIFY(Fixtures::writeBytes(from, "ours"));
    QVERIFY(Fixtures::writeBytes(aside, "theirs"));
    if (there == "file")
        QVERIFY(Fixtures::writeBytes(to, "theirs"));
    else if (there == "folder")
        QVERIFY(QDir().mkdir(to));
    else if (there == "dangling link")
        QVERIFY(QFile::link(dir.filePath("nowhere"), to));
    else if (there == "link")
        QVERIFY(QFile::link(aside, to));
    int error = 0;
    QCOMPARE(SafeRename::rename(from, to, &error), result);
    if (result == SafeRename::Result::Renamed) {
        QCOMPARE(EngineHarness::readAll(to), QByteArray("ours"));
        QVERIFY(!QFileInfo::exists(from));
        return;
    }
    QCOMPARE(error, EEXIST);
    QCOMPARE(EngineHarness::readAll(from), QByteArray("ours"));
    QCOMPARE(EngineHarness::readAll(aside), QByteArray("theirs"));
    QVERIFY(!QFileInfo::exists(dir.filePath("nowhere")));
    if (there == "file")
        QCOMPARE(EngineHarness::readAll(to), QByteArray("theirs"));
}

QTEST_MAIN(TestFormats)
#include "tst_formats.moc"
