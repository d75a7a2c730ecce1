#include "app/AppSetup.h"
#include "ImageDecode.h"
#include "ImageLoadTask.h"
#include "ImageLoader.h"
#include "PictureItem.h"
#include "PictureMemory.h"
#include "viewer/ImageView.h"
#include "ZoomModel.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QGraphicsView>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/Fixtures.h"
#include "support/PeakMemory.h"
#include "support/SelfChild.h"
#include "support/ShownView.h"

namespace {

// A picture whose four corners differ: red top left, green top right, blue bottom
// left, white bottom right.
QImage corners(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width(), h = size.height();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            image.setPixel(x, y,
                           !right && !bottom      ? qRgb(230, 20, 20)
                               : right && !bottom ? qRgb(20, 230, 20)
                               : !right           ? qRgb(20, 20, 230)
                                                  : qRgb(240, 240, 240));
        }
    }
    return image;
}

// Which stored corner ("red", "green" ...) shows at each screen corner, clockwise from top left.
QString cornersOf(const QImage &image)
{
    const auto name = [](QRgb p) {
        if (qRed(p) > 180 && qGreen(p) > 180)
            return QStringLiteral("white");
        if (qRed(p) > 150)
            return QStringLiteral("red");
        if (qGreen(p) > 150)
            return QStringLiteral("green");
        return QStringLiteral("blue");
    };
    const int w = image.width(), h = image.height();
    return QStringList{name(image.pixel(3, 3)), name(image.pixel(w - 4, 3)), name(image.pixel(w - 4, h - 4)),
                       name(image.pixel(3, h - 4))}
        .join(QLatin1Char(' '));
}

bool writeJpeg(const QString &path, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255));
    return image.save(path, "JPEG", 90);
}

// APNG pieces: chunks with their sequence numbers, and compressed RGB rows.
QByteArray be(std::initializer_list<quint32> values)
{
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    for (quint32 value : values)
        stream << value;
    return out;
}

QByteArray rgbRows(int width, int height)
{
    return qCompress(QByteArray(height * (1 + 3 * width), '\0')).mid(4);
}

QByteArray fcTL(quint32 sequence, quint32 width, quint32 height, quint32 x, quint32 y)
{
    return Fixtures::pngChunk("fcTL", be({sequence, width, height, x, y}) + QByteArray("\0\x0a\0\x64\0\0", 6));
}

QByteArray fdAT(quint32 sequence, const QByteArray &data)
{
    return Fixtures::pngChunk("fdAT", be({sequence}) + data);
}

// An 8-bit RGB APNG of that canvas declaring frames frames; body follows acTL.
QByteArray apng(quint32 width, quint32 height, quint32 frames, const QByteArray &body)
{
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + Fixtures::pngChunk("IHDR", be({width, height}) + QByteArray("\x08\x02\0\0\0", 5))
        + Fixtures::pngChunk("acTL", be({frames, 0})) + body + Fixtures::pngChunk("IEND", QByteArray());
}

const char *const kLoadMode = "--load";

// Child mode: one load of the display level, from this program's own application
// folder, and what came of it: stage, failure, the full size when a picture came,
// and how many child processes are left.
int loadChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    ImageDecode::Options options;
    options.view = QSize(1200, 800);
    options.resolution = ImageDecode::Resolution::Display;
    const LoadResult result = ImageDecode::load(QString::fromLocal8Bit(argv[2]), options);
    const QString picture = result.image.isNull()
        ? QStringLiteral("none")
        : QStringLiteral("%1x%2").arg(result.fullSize.width()).arg(result.fullSize.height());
    const QString report = QStringLiteral("%1 %2 %3 %4")
                               .arg(int(result.stage))
                               .arg(int(result.failure))
                               .arg(picture)
                               .arg(Fixtures::childProcesses().size());
    std::fputs(report.toUtf8().constData(), stdout);
    return 0;
}

// A load of the display level for a 1200 x 800 view whose first paint goes to delivered.
ImageDecode::Options displayLoad(QList<LoadResult> *delivered)
{
    ImageDecode::Options options;
    options.view = QSize(1200, 800);
    options.resolution = ImageDecode::Resolution::Display;
    options.firstPaint = true;
    options.deliver = [delivered](const LoadResult &result) { delivered->append(result); };
    return options;
}

} // namespace

class TestLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void staleResultsDropped();
    void burstDecodesAtMostTwo();
    void rawDevelopCancelled();
    void exifOrientation_data();
    void exifOrientation();
    void newPictureStartsUpright_data();
    void newPictureStartsUpright();
    void heldResolutionFollowsZoom();
    void unscaledFormatsPaintFirst();
    void webpDecodedForTheScreen_data();
    void webpDecodedForTheScreen();
    void burstNeverBlank();
    void rawPreviewFirst();
    void rawPreviewOrientation_data();
    void rawPreviewOrientation();
    void cancelledLoadsAreQuiet_data();
    void cancelledLoadsAreQuiet();
    void cacheHoldsDisplayLevels();
    void sameSizeRewriteNotServed();
    void neighbourCache();
    void cacheInvalidatedOnChange();
    void preloadBudget();
    void refusals_data();
    void refusals();
    void filteredBelowActualSize();
    void animationPlays_data();
    void animationPlays();
    void animationPlaysItsLoopCount();
    void largePicturesDecodeAsTheReaderDoes_data();
    void largePicturesDecodeAsTheReaderDoes();
    void pictureMemory_data();
    void pictureMemory();
    void fileBytes();
    void hostileAnimations_data();
    void hostileAnimations();
    void lyingDecoder_data();
    void lyingDecoder();

private:
    QTemporaryDir tmp;
};

void TestLoader::initTestCase()
{
    AppSetup::run();
    QVERIFY(tmp.isValid());
}

// A result for a picture that is no longer current never reaches the view.
void TestLoader::staleResultsDropped()
{
    const QString big = tmp.filePath(QStringLiteral("stale-big.jpg"));
    const QString small = tmp.filePath(QStringLiteral("stale-small.png"));
    QVERIFY(writeJpeg(big, QSize(3000, 2000)));
    QVERIFY(Fixtures::writeImage(small, QSize(30, 20)));

    ImageLoader loader;
    QSignalSpy loaded(&loader, &ImageLoader::loaded);
    QSignalSpy ended(&loader, &ImageLoader::decodeEnded);
    const quint64 first = loader.request(big, QSize(1200, 800));
    const quint64 second = loader.request(small, QSize(1200, 800));
    QVERIFY(second > first);
    QTRY_VERIFY_WITH_TIMEOUT(ended.count() == 2, 20000);
    QVERIFY(!loaded.isEmpty());
    for (const QList<QVariant> &args : qAsConst(loaded)) {
        const LoadResult result = args.at(0).value<LoadResult>();
        QCOMPARE(result.path, small);
        QCOMPARE(result.generation, second);
    }
    QCOMPARE(loaded.constLast().at(0).value<LoadResult>().stage, LoadStage::Full);
}

// Eleven quick steps decode the picture in flight and the last one, nothing between.
void TestLoader::burstDecodesAtMostTwo()
{
    const QString dirPath = tmp.filePath(QStringLiteral("burst"));
    QVERIFY(QDir().mkpath(dirPath));
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        paths << QDir(dirPath).filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY(writeJpeg(paths.constLast(), QSize(1600, 1200)));
    }

    ImageLoader loader;
    QSignalSpy started(&loader, &ImageLoader::decodeStarted);
    QSignalSpy ended(&loader, &ImageLoader::decodeEnded);
    QSignalSpy loaded(&loader, &ImageLoader::loaded);
    for (const QString &path : qAsConst(paths))
        loader.request(path, QSize(1200, 800));
    QTRY_VERIFY_WITH_TIMEOUT(ended.count() == 2, 20000);
    QVERIFY(!loaded.isEmpty());
    const LoadResult last = loaded.constLast().at(0).value<LoadResult>();
    QCOMPARE(last.path, paths.constLast());
    QCOMPARE(last.stage, LoadStage::Full);
    QCOMPARE(started.count(), 2);
    QCOMPARE(started.at(0).at(0).toString(), paths.constFirst());
    QCOMPARE(started.at(1).at(0).toString(), paths.constLast());
}

void TestLoader::rawDevelopCancelled()
{
    const QString raw = tmp.filePath(QStringLiteral("cancel.dng"));
    const QString png = tmp.filePath(QStringLiteral("after-raw.png"));
    QVERIFY(Fixtures::writeDng(raw, 2000, 1400));
    QVERIFY(Fixtures::writeImage(png, QSize(20, 20)));

    ImageLoader loader;
    QSignalSpy ended(&loader, &ImageLoader::decodeEnded);
    loader.request(raw, QSize(1200, 800));
    // The develop runs in a decoder process under a system-call filter.
    const auto confinedDecoder = [] {
        const QList<qint64> children = Fixtures::childProcesses();
        if (children.size() != 1)
            return false;
        QFile status(QStringLiteral("/proc/%1/status").arg(children.first()));
        return status.open(QIODevice::ReadOnly) && status.readAll().contains("\nSeccomp:\t2\n");
    };
    QTRY_VERIFY_WITH_TIMEOUT(confinedDecoder(), 10000);
    loader.request(png, QSize(1200, 800));
    QTRY_VERIFY_WITH_TIMEOUT(ended.count() == 2, 20000);
    QCOMPARE(ended.at(0).at(0).toString(), raw);
    QCOMPARE(ended.at(0).at(1).value<LoadFailure>(), LoadFailure::Cancelled);
    QCOMPARE(ended.at(1).at(1).value<LoadFailure>(), LoadFailure::None);
    QCOMPARE(Fixtures::childProcesses(), QList<qint64>()); // killed and reaped
}

void TestLoader::exifOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QString>("cornersClockwise"); // from the top left of the screen
    const QSize wide(80, 40), tall(40, 80);
    QTest::newRow("1 as stored") << 1 << wide << "red green white blue";
    QTest::newRow("2 mirrored") << 2 << wide << "green red blue white";
    QTest::newRow("3 half turn") << 3 << wide << "white blue red green";
    QTest::newRow("4 flipped") << 4 << wide << "blue white green red";
    QTest::newRow("5 transposed") << 5 << tall << "red blue white green";
    QTest::newRow("6 turned right") << 6 << tall << "blue red green white";
    QTest::newRow("7 transversed") << 7 << tall << "white green red blue";
    QTest::newRow("8 turned left") << 8 << tall << "green white blue red";
}

void TestLoader::exifOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, shown);
    QFETCH(QString, cornersClockwise);

    const QString path = tmp.filePath(QStringLiteral("exif%1.jpg").arg(orientation));
    QVERIFY(Fixtures::writeJpegWithOrientation(path, corners(QSize(80, 40)), orientation));
    ShownView view;
    QVERIFY(view.open(path));
    QCOMPARE(view.view.pictureSize(), QSizeF(shown));
    const QImage image = view.view.currentPixmap().toImage();
    QCOMPARE(image.size(), shown);
    QCOMPARE(cornersOf(image), cornersClockwise);
}

void TestLoader::newPictureStartsUpright_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("smaller than the view") << QSize(300, 200);
    QTest::newRow("larger than the view") << QSize(2400, 1600);
}

void TestLoader::newPictureStartsUpright()
{
    QFETCH(QSize, size);
    const QString first = tmp.filePath(QStringLiteral("turn-a.png"));
    const QString second = tmp.filePath(QStringLiteral("turn-b.png"));
    QVERIFY(Fixtures::writeImage(first, size));
    QVERIFY(Fixtures::writeImage(second, size, Qt::blue));

    ShownView shown;
    QVERIFY(shown.open(first));
    shown.view.rotateView(90);
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m12()) > 0);
    QVERIFY(shown.open(second));
    const QTransform t = shown.view.graphicsView()->transform();
    QCOMPARE(t.m12(), 0.0);
    QCOMPARE(t.m21(), 0.0);
    QVERIFY(t.m11() > 0 && t.m22() > 0);
}

// At fit the view holds the picture at its fitted size only (a JPEG decoded scaled);
// zoomed past it, the full resolution comes and takes its place at the same
// geometry; fitted again, the full resolution goes.
void TestLoader::heldResolutionFollowsZoom()
{
    const QString path = tmp.filePath(QStringLiteral("scaled.jpg"));
    QVERIFY(writeJpeg(path, QSize(4000, 3000)));

    ShownView shown;
    QVERIFY(shown.open(path));
    PictureItem *item = shown.view.pictureItem();
    QVERIFY(item);
    QCOMPARE(shown.view.pictureSize(), QSizeF(4000, 3000));
    QVERIFY(!item->hasFull());
    const QSize fitted = ZoomModel::fittedSize(QSize(4000, 3000), QSize(1200, 800));
    QCOMPARE(fitted, QSize(1067, 800));
    QCOMPARE(item->level().size(), fitted);
    const double scale = PictureItem::scaleOf(shown.view.graphicsView()->transform());
    QCOMPARE(&item->sourceFor(scale), &item->level());
    QCOMPARE(shown.view.zoomFactor(), 800.0 / 3000);
    const QRectF rect = item->sceneBoundingRect();
    QCOMPARE(rect, QRectF(0, 0, 4000, 3000));
    // Nothing more is decoded at fit: once the loader has settled (the neighbours
    // preloaded), no decode of this picture was started and no full resolution came.
    QSignalSpy decodes(shown.view.loader(), &ImageLoader::decodeStarted);
    QCoreApplication::processEvents();
    QTRY_VERIFY(!shown.view.loader()->isBusy());
    QCoreApplication::processEvents();
    for (const QList<QVariant> &decode : qAsConst(decodes))
        QVERIFY2(QFileInfo(decode.at(0).toString()) != QFileInfo(path), qPrintable(decode.at(0).toString()));
    QVERIFY(!item->hasFull());

    shown.view.zoomIn();
    const QTransform zoomed = shown.view.graphicsView()->transform();
    QTRY_VERIFY_WITH_TIMEOUT(item->hasFull(), 20000);
    QCOMPARE(shown.view.pictureItem(), item); // the same item
    QCOMPARE(item->full().size(), QSize(4000, 3000));
    QCOMPARE(item->sceneBoundingRect(), rect);
    QCOMPARE(shown.view.graphicsView()->transform(), zoomed);
    QCOMPARE(shown.view.zoomFactor(), 800.0 / 3000 * ZoomModel::kStep);

    shown.view.fitToScreen();
    QTRY_VERIFY_WITH_TIMEOUT(!item->hasFull(), 5000);
    QCOMPARE(shown.view.pictureItem(), item);
    const double fittedScale = PictureItem::scaleOf(shown.view.graphicsView()->transform());
    QCOMPARE(&item->sourceFor(fittedScale), &item->level());
    QVERIFY(item->level().width() >= fitted.width());
}

// A file without scaled decoding is decoded once: the whole picture is the first
// paint, the filtered level the final one.
void TestLoader::unscaledFormatsPaintFirst()
{
    const QString path = tmp.filePath(QStringLiteral("once.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(2400, 1600)));
    QList<LoadResult> delivered;
    const LoadResult result = ImageDecode::load(path, displayLoad(&delivered));
    QCOMPARE(delivered.size(), 1);
    QCOMPARE(delivered.at(0).stage, LoadStage::Preview);
    QVERIFY(delivered.at(0).isFullResolution());
    QCOMPARE(result.stage, LoadStage::Full);
    QCOMPARE(result.image.size(), QSize(1200, 800));
    QCOMPARE(result.fullSize, QSize(2400, 1600));
}

// Stepping quickly through a folder leaves a picture on screen after every step.
void TestLoader::burstNeverBlank()
{
    const QString dirPath = tmp.filePath(QStringLiteral("held-key"));
    QVERIFY(QDir().mkpath(dirPath));
    const QDir dir(dirPath);
    for (int i = 0; i < 10; ++i)
        QVERIFY(writeJpeg(dir.filePath(QStringLiteral("k%1.jpg").arg(i)), QSize(2400, 1600)));

    ShownView shown;
    QVERIFY(shown.open(dir.filePath(QStringLiteral("k0.jpg"))));
    // Looked at after every step and after whatever the loader hands the view
    // meanwhile (connected after the view, so seen once the view has taken it).
    QStringList blank;
    int step = 0;
    const auto look = [&] {
        if (!shown.view.pictureItem() || shown.view.pictureItem()->best().isNull())
            blank << QString::number(step);
    };
    ImageLoader *loader = shown.view.loader();
    QObject watching;
    connect(loader, &ImageLoader::loaded, &watching, look);
    connect(loader, &ImageLoader::levelReady, &watching, look);
    QSignalSpy ended(loader, &ImageLoader::decodeEnded);
    QSignalSpy delivered(loader, &ImageLoader::loaded);
    for (step = 1; step < 10; ++step) {
        const int before = ended.count() + delivered.count();
        QVERIFY(shown.view.nextImg());
        look();
        // The next step as soon as the loader has told anything of this one (or the
        // cache had it).
        QTRY_VERIFY(ended.count() + delivered.count() > before || !shown.view.isLoading());
        QVERIFY(shown.view.loadingLabel()->isHidden() || !shown.view.hasPicture());
    }
    QCOMPARE(blank, QStringList());
    QVERIFY(waitLoaded(shown.view));
    QCOMPARE(shown.view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("k9.jpg")));
    QVERIFY(shown.view.hasPicture());
    QVERIFY(shown.view.loadingLabel()->isHidden());
    // Nor does the hidden spinner keep turning.
    QCOMPARE(shown.view.loadingLabel()->movie()->state(), QMovie::NotRunning);
}

void TestLoader::webpDecodedForTheScreen_data()
{
    QTest::addColumn<bool>("alpha");
    QTest::newRow("opaque") << false;
    QTest::newRow("half transparent") << true;
}

// A still WebP is decoded at the display level itself, straight as the final picture,
// with its colours and its alpha (premultiplied) as Qt's own reader gives them.
void TestLoader::webpDecodedForTheScreen()
{
    QFETCH(bool, alpha);
    QImage source(2400, 1600, QImage::Format_ARGB32);
    source.fill(QColor(220, 30, 30, alpha ? 128 : 255));
    for (int y = 0; y < source.height(); ++y) {
        for (int x = source.width() / 2; x < source.width(); ++x)
            source.setPixel(x, y, qRgba(30, 30, 220, alpha ? 128 : 255));
    }
    const QString path = tmp.filePath(alpha ? QStringLiteral("screen-alpha.webp") : QStringLiteral("screen.webp"));
    QVERIFY(source.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32).save(path, "WEBP", 90));

    QList<LoadResult> delivered;
    const LoadResult shown = ImageDecode::load(path, displayLoad(&delivered));
    QCOMPARE(shown.stage, LoadStage::Full);
    QCOMPARE(shown.fullSize, QSize(2400, 1600));
    QCOMPARE(shown.image.size(), QSize(1200, 800));
    QVERIFY(delivered.isEmpty()); // no whole picture decoded first
    const QImage qtDecode = QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage mine = shown.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (const QPoint &at : {QPoint(300, 400), QPoint(900, 400)}) {
        const QRgb want = qtDecode.pixel(at * 2);
        const QRgb got = mine.pixel(at);
        for (const int shift : {0, 8, 16, 24})
            QVERIFY2(qAbs(int(want >> shift & 0xff) - int(got >> shift & 0xff)) <= 3,
                     qPrintable(QString::number(want, 16) + QLatin1String(" / ") + QString::number(got, 16)));
    }
}

void TestLoader::rawPreviewFirst()
{
    const QString jpeg = tmp.filePath(QStringLiteral("preview.jpg"));
    QImage preview(320, 240, QImage::Format_RGB32);
    preview.fill(QColor(250, 200, 0));
    QVERIFY(preview.save(jpeg, "JPEG", 90));
    const QString raw = tmp.filePath(QStringLiteral("with-preview.dng"));
    QVERIFY(Fixtures::writeDng(raw, 640, 480, {QStringLiteral("--preview"), jpeg}));

    ShownView shown;
    QList<LoadResult> results;
    connect(shown.view.loader(), &ImageLoader::loaded, this, [&](const LoadResult &r) { results.append(r); });
    QVERIFY(shown.open(raw));
    QCOMPARE(results.size(), 2);
    QCOMPARE(results.at(0).stage, LoadStage::Preview);
    QCOMPARE(results.at(0).image.size(), QSize(320, 240));
    QCOMPARE(results.at(0).fullSize, QSize(640, 480));
    QCOMPARE(results.at(1).stage, LoadStage::Full);
    QCOMPARE(shown.view.pictureSize(), QSizeF(640, 480));
    // The develop replaced the preview's yellow with the bands.
    const QImage full = shown.view.currentPixmap().toImage();
    QVERIFY(qRed(full.pixel(40, 400)) > 2 * qBlue(full.pixel(40, 400)));
}

// The embedded preview stands upright by the file's orientation, as the develop does.
void TestLoader::rawPreviewOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QString>("cornersClockwise");
    QTest::newRow("3 half turn") << 3 << QSize(320, 160) << "white blue red green";
    QTest::newRow("6 turned right") << 6 << QSize(160, 320) << "blue red green white";
    QTest::newRow("8 turned left") << 8 << QSize(160, 320) << "green white blue red";
    // Turned and mirrored: a transpose and a transverse.
    QTest::newRow("5 transposed") << 5 << QSize(160, 320) << "red blue white green";
    QTest::newRow("7 transversed") << 7 << QSize(160, 320) << "white green red blue";
}

void TestLoader::rawPreviewOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, shown);
    QFETCH(QString, cornersClockwise);
    const QString jpeg = tmp.filePath(QStringLiteral("corners-preview.jpg"));
    QVERIFY(corners(QSize(320, 160)).save(jpeg, "JPEG", 95));
    const QString raw = tmp.filePath(QStringLiteral("preview-turned-%1.dng").arg(orientation));
    QVERIFY(Fixtures::writeDng(raw, 640, 320,
                               {QStringLiteral("--preview"), jpeg, QStringLiteral("--orientation"),
                                QString::number(orientation)}));

    QList<LoadResult> delivered;
    const LoadResult full = ImageDecode::load(raw, displayLoad(&delivered));
    QCOMPARE(delivered.size(), 1);
    QCOMPARE(delivered.at(0).stage, LoadStage::Preview);
    QCOMPARE(delivered.at(0).image.size(), shown);
    QCOMPARE(cornersOf(delivered.at(0).image), cornersClockwise);
    QCOMPARE(full.fullSize, shown * 2);
}

void TestLoader::cancelledLoadsAreQuiet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("keepBytes"); // of the file; -1 all
    QTest::addColumn<int>("readsBeforeCancel"); // -1: never cancelled
    QTest::newRow("JPEG cancelled") << "quiet.jpg" << QByteArray("jpeg") << -1 << 30;
    QTest::newRow("PNG cancelled") << "quiet.png" << QByteArray("png") << -1 << 30;
    QTest::newRow("PNG with a palette cancelled (libpng)") << "quiet-palette.png" << QByteArray("png") << -1 << 30;
    QTest::newRow("TIFF cancelled") << "quiet.tif" << QByteArray("tiff") << -1 << 30;
    QTest::newRow("WebP cancelled") << "quiet.webp" << QByteArray("webp") << -1 << 30;
    QTest::newRow("truncated JPEG, shown") << "cut.jpg" << QByteArray("jpeg") << 20000 << -1;
}

// Nothing reaches the terminal from a load that is cancelled, whatever the decoder
// says about the reads that fail; a real warning is kept with the shown picture.
void TestLoader::cancelledLoadsAreQuiet()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(int, keepBytes);
    QFETCH(int, readsBeforeCancel);
    QImage image(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255));
    const QString path = tmp.filePath(name);
    if (name.contains(QLatin1String("palette")))
        image = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    QVERIFY(image.save(path, format));
    if (keepBytes >= 0)
        QVERIFY(QFile::resize(path, keepBytes));

    int reads = 0;
    ImageDecode::Options options;
    options.view = QSize(1200, 800);
    options.resolution = ImageDecode::Resolution::Display;
    options.cancelled = [&] { return readsBeforeCancel >= 0 && ++reads > readsBeforeCancel; };

    // Both standard streams into a file while the decode runs (libpng and libtiff
    // print there themselves).
    QTemporaryFile capture;
    QVERIFY(capture.open());
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = ::dup(1), savedErr = ::dup(2);
    ::dup2(capture.handle(), 1);
    ::dup2(capture.handle(), 2);
    const LoadResult result = ImageDecode::load(path, options);
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);

    QFile written(capture.fileName());
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(written.readAll()), QString());
    if (readsBeforeCancel >= 0) {
        QCOMPARE(result.failure, LoadFailure::Cancelled);
        QVERIFY(result.warnings.isEmpty());
    } else {
        QCOMPARE(result.stage, LoadStage::Full);
        QVERIFY2(!result.warnings.isEmpty(), "the decoder's warning is kept for the view");
    }
}

// Neighbours are held at the size their fit needs, within the byte budget.
void TestLoader::cacheHoldsDisplayLevels()
{
    const QString dirPath = tmp.filePath(QStringLiteral("levels"));
    QVERIFY(QDir().mkpath(dirPath));
    const QDir dir(dirPath);
    for (int i = 1; i <= 3; ++i)
        QVERIFY(writeJpeg(dir.filePath(QStringLiteral("l%1.jpg").arg(i)), QSize(3000 + i * 100, 2000)));

    ShownView shown;
    ImageLoader *loader = shown.view.loader();
    QVERIFY(shown.open(dir.filePath(QStringLiteral("l2.jpg"))));
    QTRY_COMPARE_WITH_TIMEOUT(loader->cachedCount(), 3, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!loader->isBusy(), 20000);
    qint64 bytes = 0;
    for (int i = 1; i <= 3; ++i) {
        const LoadResult *entry = loader->cached(dir.absoluteFilePath(QStringLiteral("l%1.jpg").arg(i)));
        QVERIFY(entry);
        QCOMPARE(entry->fullSize, QSize(3000 + i * 100, 2000));
        QCOMPARE(entry->image.size(), ZoomModel::fittedSize(entry->fullSize, QSize(1200, 800)));
        bytes += entry->bytes();
    }
    QCOMPARE(loader->cachedBytes(), bytes);
    QVERIFY(bytes <= 3 * 1200 * 800 * 4);
    QVERIFY(loader->cachedBytes() <= ImageLoader::kCacheBytes);
    // A step shows the neighbour's level at once; nothing is decoded at full resolution.
    QVERIFY(shown.view.nextImg());
    QVERIFY(shown.view.hasPicture());
    QVERIFY(!shown.view.isLoading());
    QVERIFY(!shown.view.pictureItem()->hasFull());
}

// A neighbour rewritten with the same byte size within the same second is read again.
void TestLoader::sameSizeRewriteNotServed()
{
    const QString dirPath = tmp.filePath(QStringLiteral("rewritten"));
    QVERIFY(QDir().mkpath(dirPath));
    const QDir dir(dirPath);
    const QString first = dir.filePath(QStringLiteral("r1.bmp"));
    const QString second = dir.filePath(QStringLiteral("r2.bmp"));
    QVERIFY(Fixtures::writeImage(first, QSize(100, 100)));
    QVERIFY(Fixtures::writeImage(second, QSize(120, 100), Qt::red));
    const auto setModified = [](const QString &path, long nanoseconds) {
        const timespec times[2] = {{1700000000, 0}, {1700000000, nanoseconds}};
        return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
    };
    QVERIFY(setModified(second, 100000000));
    const qint64 size = QFileInfo(second).size();

    ShownView shown;
    QVERIFY(shown.open(first));
    QTRY_VERIFY_WITH_TIMEOUT(shown.view.loader()->cached(dir.absoluteFilePath(QStringLiteral("r2.bmp"))), 20000);
    QVERIFY(Fixtures::writeImage(second, QSize(120, 100), Qt::blue));
    QCOMPARE(QFileInfo(second).size(), size);
    QVERIFY(setModified(second, 600000000)); // the same second
    QVERIFY(shown.view.nextImg());
    QVERIFY(waitLoaded(shown.view));
    const QColor shownColour = shown.view.currentPixmap().toImage().pixelColor(50, 50);
    QVERIFY2(shownColour.blue() > 200 && shownColour.red() < 50, qPrintable(shownColour.name()));
}

// After a picture is shown its neighbours are decoded; a step to one is on screen
// without a load.
void TestLoader::neighbourCache()
{
    const QString dirPath = tmp.filePath(QStringLiteral("neighbours"));
    QVERIFY(QDir().mkpath(dirPath));
    const QDir dir(dirPath);
    for (int i = 1; i <= 6; ++i)
        QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("n%1.png").arg(i)), QSize(200 + i, 100)));

    ShownView shown;
    ImageLoader *loader = shown.view.loader();
    QVERIFY(shown.open(dir.filePath(QStringLiteral("n2.png"))));
    QTRY_COMPARE_WITH_TIMEOUT(loader->cachedCount(), 3, 20000);
    for (int i = 3; i <= 6; ++i) {
        const QString next = dir.absoluteFilePath(QStringLiteral("n%1.png").arg(i));
        QTRY_VERIFY_WITH_TIMEOUT(loader->cached(next), 20000);
        QVERIFY(shown.view.nextImg());
        QVERIFY2(!shown.view.isLoading(), qPrintable(QString::number(i))); // shown in this very call
        QCOMPARE(shown.view.pictureSize(), QSizeF(200 + i, 100));
        QVERIFY(loader->cachedCount() <= ImageLoader::kCachedPictures);
    }
    // At the end of the folder: the last picture and the one before it.
    QTRY_COMPARE_WITH_TIMEOUT(loader->cachedCount(), 2, 20000);
    QVERIFY(loader->cached(dir.absoluteFilePath(QStringLiteral("n5.png"))));
    QVERIFY(loader->cachedBytes() <= ImageLoader::kCacheBytes);
}

void TestLoader::cacheInvalidatedOnChange()
{
    const QString dirPath = tmp.filePath(QStringLiteral("changing"));
    QVERIFY(QDir().mkpath(dirPath));
    const QDir dir(dirPath);
    QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("c1.png")), QSize(100, 100)));
    QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("c2.png")), QSize(120, 100)));

    ShownView shown;
    QVERIFY(shown.open(dir.filePath(QStringLiteral("c1.png"))));
    QTRY_COMPARE_WITH_TIMEOUT(shown.view.loader()->cachedCount(), 2, 20000);
    // Rewritten after it was preloaded: another size, another modification time.
    const QString changed = dir.filePath(QStringLiteral("c2.png"));
    const QDateTime preloaded = QFileInfo(changed).lastModified();
    QVERIFY(Fixtures::writeImage(changed, QSize(150, 90)));
    QFile rewritten(changed);
    QVERIFY(rewritten.open(QIODevice::ReadWrite));
    QVERIFY(rewritten.setFileTime(preloaded.addSecs(2), QFileDevice::FileModificationTime));
    rewritten.close();
    QVERIFY(shown.view.nextImg());
    QVERIFY(shown.view.isLoading());
    QVERIFY(waitLoaded(shown.view));
    QCOMPARE(shown.view.pictureSize(), QSizeF(150, 90));
}

// A preload that would not fit the cache's remaining budget is not decoded.
void TestLoader::preloadBudget()
{
    const QString path = tmp.filePath(QStringLiteral("budget.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(400, 300)));
    ImageDecode::Options options;
    options.maxBytes = 400 * 300 * 4 - 1;
    QCOMPARE(ImageDecode::load(path, options).failure, LoadFailure::TooLarge);
    options.maxBytes = 400 * 300 * 4;
    QCOMPARE(ImageDecode::load(path, options).stage, LoadStage::Full);
}

void TestLoader::refusals_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO named .png") << "fifo"
                                     << "不是图片文件";
    QTest::newRow("link to /dev/zero named .jpg") << "zero"
                                                  << "不是图片文件";
    QTest::newRow("header declaring 60000 x 60000") << "huge"
                                                    << "图片过大";
    QTest::newRow("EPS content named .png") << "eps"
                                            << "不是图片文件";
    QTest::newRow("FIFO named .nef (the RAW path)") << "raw-fifo"
                                                    << "不是图片文件";
}

// Each ends with the message, never hangs, and starts no other program.
void TestLoader::refusals()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QString path;
    if (kind == QLatin1String("fifo") || kind == QLatin1String("raw-fifo")) {
        path = dir.filePath(kind == QLatin1String("fifo") ? QStringLiteral("pipe.png") : QStringLiteral("pipe.nef"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("zero")) {
        path = dir.filePath(QStringLiteral("zero.jpg"));
        QCOMPARE(::symlink("/dev/zero", QFile::encodeName(path).constData()), 0);
    } else if (kind == QLatin1String("huge")) {
        path = dir.filePath(QStringLiteral("huge.png"));
        QVERIFY(Fixtures::writeBytes(path, Fixtures::pngDeclaring(QSize(60000, 60000))));
        QCOMPARE(Fixtures::imageSize(path), QSize(60000, 60000));
    } else {
        path = dir.filePath(QStringLiteral("drawing.png"));
        QVERIFY(Fixtures::writeBytes(path,
                                     "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 100\n"
                                     "newpath 10 10 moveto 90 90 lineto stroke\nshowpage\n%%EOF\n"));
    }

    ShownView shown;
    shown.view.showImg(path);
    QVERIFY(waitLoaded(shown.view));
    QVERIFY(!shown.view.hasPicture());
    QVERIFY(shown.view.messageLabel()->isVisible());
    QCOMPARE(shown.view.messageLabel()->text(), QStringLiteral("无法显示此图片\n") + reason);
    QVERIFY(shown.view.loadingLabel()->isHidden());
    QCOMPARE(shown.view.loadingLabel()->movie()->state(), QMovie::NotRunning);
    QCOMPARE(Fixtures::childProcesses(), QList<qint64>());
}

// Below 100% the view paints an area-averaged level, not samples of the picture: a
// one-pixel checkerboard at half size is an even grey.
void TestLoader::filteredBelowActualSize()
{
    QImage board(2400, 1600, QImage::Format_RGB32);
    for (int y = 0; y < board.height(); ++y)
        for (int x = 0; x < board.width(); ++x)
            board.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QString path = tmp.filePath(QStringLiteral("board.png"));
    QVERIFY(board.save(path));

    ShownView shown;
    QVERIFY(shown.open(path));
    PictureItem *item = shown.view.pictureItem();
    const double scale = PictureItem::scaleOf(shown.view.graphicsView()->transform());
    QVERIFY(scale < 0.6);
    QTRY_VERIFY_WITH_TIMEOUT(!item->level().isNull(), 20000);
    QCOMPARE(&item->sourceFor(scale), &item->level());
    const QImage level = item->level().toImage();
    QVERIFY(std::abs(level.width() - board.width() * scale) < 1.5);
    for (const QPoint &p : {QPoint(5, 5), QPoint(level.width() / 2, level.height() / 3), QPoint(200, 300)})
        QVERIFY2(std::abs(qGray(level.pixel(p)) - 128) < 20, qPrintable(QString::number(qGray(level.pixel(p)))));
    // At 100% the picture itself is painted.
    shown.view.toOrigin(false);
    QTRY_VERIFY_WITH_TIMEOUT(item->hasFull(), 20000);
    QCOMPARE(&item->sourceFor(1.0), &item->full());
}

void TestLoader::animationPlays_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("GIF") << "anim.gif";
    QTest::newRow("WebP") << "anim.webp";
    QTest::newRow("APNG") << "anim.png";
}

// Red, green and blue frames 30 ms apart, looping for ever.
void TestLoader::animationPlays()
{
    QFETCH(QString, name);
    const QString path = tmp.filePath(name);
    const QString still = tmp.filePath(QStringLiteral("still.png"));
    QVERIFY(Fixtures::writeImage(still, QSize(40, 30)));
    if (name.endsWith(QLatin1String(".png"))) {
        QList<QImage> frames;
        for (const QColor &colour : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) {
            frames << QImage(40, 30, QImage::Format_RGB32);
            frames.last().fill(colour);
        }
        QVERIFY(Fixtures::writeApng(path, frames, 30, 0));
    } else {
        QProcess convert;
        convert.start(QStringLiteral("convert"),
                      {"-delay", "3", "-size", "40x30", "xc:red", "xc:lime", "xc:blue", "-loop", "0", path});
        QVERIFY(convert.waitForFinished(30000) && convert.exitCode() == 0);
    }

    ShownView shown;
    QVERIFY(shown.open(path));
    QVERIFY(shown.view.isAnimating());
    QCOMPARE(shown.view.pictureSize(), QSizeF(40, 30));
    QCOMPARE(shown.view.currentFrame(), 0);
    QVERIFY(qRed(shown.view.currentPixmap().toImage().pixel(5, 5)) > 200);
    QTRY_COMPARE_WITH_TIMEOUT(shown.view.currentFrame(), 1, 5000);
    QVERIFY(qGreen(shown.view.currentPixmap().toImage().pixel(5, 5)) > 200);
    QTRY_COMPARE_WITH_TIMEOUT(shown.view.currentFrame(), 2, 5000);
    QVERIFY(qBlue(shown.view.currentPixmap().toImage().pixel(5, 5)) > 200);
    QTRY_COMPARE_WITH_TIMEOUT(shown.view.currentFrame(), 0, 5000); // loops for ever
    // Zoom and turns act on the moving picture.
    shown.view.zoomIn();
    shown.view.rotateView(90);
    QCOMPARE(shown.view.zoomFactor(), ZoomModel::kStep);
    QTRY_COMPARE_WITH_TIMEOUT(shown.view.currentFrame(), 1, 5000);
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m12()) > 0);
    // Stepping away stops it.
    QVERIFY(shown.open(still));
    QVERIFY(!shown.view.isAnimating());
}

// An animation made to play once stops on its last frame.
void TestLoader::animationPlaysItsLoopCount()
{
    QList<QImage> frames;
    for (const QColor &colour : {QColor(Qt::red), QColor(Qt::green)}) {
        frames << QImage(20, 20, QImage::Format_RGB32);
        frames.last().fill(colour);
    }
    const QString path = tmp.filePath(QStringLiteral("once.png"));
    QVERIFY(Fixtures::writeApng(path, frames, 20, 1));
    ShownView shown;
    QVERIFY(shown.open(path));
    QTRY_VERIFY_WITH_TIMEOUT(!shown.view.isAnimating(), 5000);
    QCOMPARE(shown.view.currentFrame(), 1);
    // Only the frame timer moves a frame on, and it is stopped: events that come
    // later leave the last frame.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(!shown.view.isAnimating());
    QCOMPARE(shown.view.currentFrame(), 1);
}

// Large JPEG and PNG pictures are decoded into memory of the loader's own; every
// pixel must still be what Qt's reader gives.
void TestLoader::largePicturesDecodeAsTheReaderDoes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("imageFormat");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QSize>("size");
    // Odd widths: rows of one byte a pixel that are not a multiple of 4 bytes. Every
    // picture is large enough for the loader's own memory.
    const QSize colour(2001, 1500), grey(4001, 1500);
    QTest::newRow("jpeg colour") << "big.jpg" << QByteArray("jpeg") << int(QImage::Format_RGB32) << 90 << colour;
    QTest::newRow("jpeg grey") << "big-grey.jpg" << QByteArray("jpeg") << int(QImage::Format_Grayscale8) << 90 << grey;
    QTest::newRow("png colour") << "big.png" << QByteArray("png") << int(QImage::Format_RGB32) << -1 << colour;
    QTest::newRow("png alpha") << "big-alpha.png" << QByteArray("png") << int(QImage::Format_ARGB32) << -1 << colour;
    QTest::newRow("png grey") << "big-grey.png" << QByteArray("png") << int(QImage::Format_Grayscale8) << -1 << grey;
    QTest::newRow("png 16 bit") << "big-16.png" << QByteArray("png") << int(QImage::Format_RGBA64) << -1 << colour;
    QTest::newRow("png palette") << "big-palette.png" << QByteArray("png") << int(QImage::Format_Indexed8) << -1
                                 << grey;
}

void TestLoader::largePicturesDecodeAsTheReaderDoes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(int, imageFormat);
    QFETCH(int, quality);
    QFETCH(QSize, size);
    QImage source(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(source.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = qRgba((x * 7) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255, (x + y) & 255);
    }
    if (imageFormat == QImage::Format_Indexed8)
        source = source.convertToFormat(QImage::Format_RGB32)
                     .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    else
        source = source.convertToFormat(QImage::Format(imageFormat));
    QVERIFY(qint64(size.width()) * size.height() * source.depth() / 8 >= PictureMemory::kMinHugeBytes);
    const QString path = tmp.filePath(name);
    QVERIFY(source.save(path, format, quality));

    const LoadResult result = ImageDecode::load(path, ImageDecode::Options());
    QCOMPARE(result.stage, LoadStage::Full);
    QImage expected = QImageReader(path).read();
    expected = expected.convertToFormat(expected.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                   : QImage::Format_RGB32);
    QCOMPARE(result.image.format(), expected.format());
    QCOMPARE(result.image.size(), expected.size());
    QVERIFY(result.image == expected);
}

void TestLoader::pictureMemory_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("format");
    QTest::newRow("small, ordinary heap") << QSize(100, 80) << int(QImage::Format_RGB32);
    QTest::newRow("large") << QSize(3000, 2000) << int(QImage::Format_RGB32);
    QTest::newRow("large grey, odd width") << QSize(4001, 1500) << int(QImage::Format_Grayscale8);
    QTest::newRow("large rgb888, odd width") << QSize(2001, 1500) << int(QImage::Format_RGB888);
    QTest::newRow("empty") << QSize(0, 10) << int(QImage::Format_RGB32);
    QTest::newRow("no format") << QSize(3000, 2000) << int(QImage::Format_Invalid);
}

// A picture in the loader's memory is laid out as Qt lays out its own, and writable
// to its last byte.
void TestLoader::pictureMemory()
{
    QFETCH(QSize, size);
    QFETCH(int, format);
    QImage image = PictureMemory::image(size, QImage::Format(format));
    const QImage ordinary(size, QImage::Format(format));
    QCOMPARE(image.isNull(), ordinary.isNull());
    if (image.isNull())
        return;
    QCOMPARE(image.size(), size);
    QCOMPARE(image.format(), QImage::Format(format));
    QCOMPARE(image.bytesPerLine(), ordinary.bytesPerLine());
    const uchar *before = image.constBits();
    image.fill(Qt::white);
    QCOMPARE(image.constBits(), before);
    const int lastByte = size.width() * image.depth() / 8 - 1;
    QCOMPARE(image.constScanLine(size.height() - 1)[lastByte], uchar(0xff));

    // Premultiplied where it lies.
    QImage alpha = PictureMemory::image(size, QImage::Format_ARGB32);
    alpha.fill(qRgba(200, 100, 50, 128));
    const uchar *bits = alpha.constBits();
    PictureMemory::premultiplyInPlace(alpha);
    QCOMPARE(alpha.format(), QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(alpha.constBits(), bits);
    const auto *last = reinterpret_cast<const QRgb *>(alpha.constScanLine(size.height() - 1));
    QCOMPARE(last[size.width() - 1], qPremultiply(qRgba(200, 100, 50, 128)));
}

void TestLoader::fileBytes()
{
    for (const qint64 size : {qint64(0), qint64(100), PictureMemory::kMinHugeBytes + 3}) {
        PictureMemory::Bytes bytes = PictureMemory::Bytes::allocate(size);
        QVERIFY(!bytes.isNull());
        QCOMPARE(bytes.size(), size);
        std::memset(bytes.data(), 'x', size_t(size));
        const PictureMemory::Bytes shared = bytes;
        bytes.truncate(size / 2);
        QCOMPARE(bytes.view().size(), int(size / 2));
        if (size > 1) // no copy
            QCOMPARE(static_cast<const void *>(bytes.view().constData()), static_cast<const void *>(shared.data()));
        QCOMPARE(shared.size(), size);
        bytes.truncate(size * 2); // never grows
        QCOMPARE(bytes.size(), size / 2);
    }
    QVERIFY(PictureMemory::Bytes::allocate(-1).isNull());
}

// Crafted animations: refused, shown as their still picture or cut short, within a
// memory bound (also under the sanitizers), and the view keeps running.
void TestLoader::hostileAnimations_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason"); // empty: shown
    QTest::addColumn<int>("frames"); // held; 0 for a still picture
    QTest::addColumn<bool>("cut");

    const QByteArray still = Fixtures::pngChunk("IDAT", rgbRows(8, 8));
    QTest::newRow("canvas 16000 x 16000 in 128 bytes")
        << apng(16000, 16000, 1, fcTL(0, 1, 1, 0, 0) + fdAT(1, rgbRows(1, 1))) << "图片过大" << 0 << false;
    QTest::newRow("frame offset past 2^31")
        << apng(64, 64, 1, fcTL(0, 32, 32, 0xfffffff0u, 0) + fdAT(1, rgbRows(32, 32))) << "文件已损坏" << 0 << false;
    QTest::newRow("fdAT before any fcTL")
        << apng(8, 8, 2,
                still + fdAT(0, rgbRows(8, 8)) + fcTL(1, 8, 8, 0, 0) + fdAT(2, rgbRows(8, 8)) + fcTL(3, 8, 8, 0, 0)
                    + fdAT(4, rgbRows(8, 8)))
        << QString() << 0 << false;
    QTest::newRow("sequence numbers skip")
        << apng(8, 8, 2, fcTL(0, 8, 8, 0, 0) + still + fcTL(2, 8, 8, 0, 0) + fdAT(3, rgbRows(8, 8))) << QString()
        << 0 << false;
    QByteArray many = fcTL(0, 1, 1, 0, 0) + Fixtures::pngChunk("IDAT", rgbRows(1, 1));
    const int count = ImageDecode::kMaxAnimationFrames * 4;
    for (quint32 i = 1; i < quint32(count); ++i)
        many += fcTL(2 * i - 1, 1, 1, 0, 0) + fdAT(2 * i, rgbRows(1, 1));
    QTest::newRow("many frames") << apng(1, 1, quint32(count), many) << QString() << ImageDecode::kMaxAnimationFrames
                                 << true;
}

void TestLoader::hostileAnimations()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QFETCH(int, frames);
    QFETCH(bool, cut);
    // A folder of its own: no neighbour is preloaded meanwhile.
    const QString dir = tmp.filePath(QStringLiteral("hostile-%1").arg(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(dir));
    const QString path = dir + QStringLiteral("/crafted.png");
    QVERIFY(Fixtures::writeBytes(path, bytes));

    const PeakMemory memory;
    const LoadResult result = ImageLoadTask::decode(path);
    QVERIFY2(memory.grownKb() < 96 * 1024, qPrintable(QStringLiteral("%1 KiB").arg(memory.grownKb())));
    QCOMPARE(failureReason(result.failure), reason);
    QCOMPARE(result.frames.size(), frames);
    QCOMPARE(result.framesCut, cut);

    ShownView shown;
    QSignalSpy cutSpy(&shown.view, &ImageView::animationCut);
    QVERIFY(shown.open(path));
    QCOMPARE(shown.view.hasPicture(), reason.isEmpty());
    if (!reason.isEmpty())
        QCOMPARE(shown.view.messageLabel()->text(), QStringLiteral("无法显示此图片\n") + reason);
    QCOMPARE(cutSpy.count(), cut ? 1 : 0);
}

void TestLoader::lyingDecoder_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<QString>("report");
    const QString failed = QStringLiteral("%1 %2 none 0").arg(int(LoadStage::Failed)).arg(int(LoadFailure::Corrupt));
    QTest::newRow("an honest one") << "good" << QStringLiteral("%1 0 64x48 0").arg(int(LoadStage::Full));
    QTest::newRow("a header of 2^31 - 1 pixels a row") << "impossible size" << failed;
    QTest::newRow("a row short") << "short buffer" << failed;
    QTest::newRow("a row too many") << "long buffer" << failed;
    QTest::newRow("rows of no bytes") << "zero stride" << failed;
    QTest::newRow("rows going backwards") << "negative stride" << failed;
    QTest::newRow("400 megapixels, memory and all") << "past the limit" << failed;
}

// A RAW decoder that lies about its picture's memory costs that picture and nothing
// else: the load fails, nothing is mapped that the rows do not cover, no decoder
// is left running. Played by a stand-in where the viewer looks for its decoder.
void TestLoader::lyingDecoder()
{
    QFETCH(QString, behaviour);
    QFETCH(QString, report);
    static StandInDecoder::AppFolder app;
    QVERIFY(app.isValid());
    const QString path = tmp.filePath(QString(behaviour).replace(QLatin1Char(' '), QLatin1Char('-')) + ".dng");
    QVERIFY(Fixtures::writeBytes(path, behaviour.toUtf8() + '\n'));
    QProcess child;
    QVERIFY(app.run(child, {QLatin1String(kLoadMode), path}));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), report);
}

QUORVANE_TEST_MAIN_WITH_CHILD(TestLoader, kLoadMode, loadChild)
#include "tst_loader.moc"
