#include "ImageDecode.h"
#include "PngDecode.h"
#include "viewer/EarlyDecode.h"

#include <QColorSpace>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <malloc.h>

#include "support/Fixtures.h"
#include "support/LibpngPicture.h"
#include "support/PeakMemory.h"

namespace {

struct Png
{
    int width = 1;
    int height = 1;
    int depth = 8;
    int colourType = 6;
    int interlace = 0;
    QByteArray before; // chunks between the header and the pixels
    QByteArray after;  // chunks after the pixels
    int dataParts = 1;
    int extraRows = 0; // more (or, negative, fewer) rows in the stream than declared
    quint32 seed = 1;
    int onlyFilter = -1; // every row this filter; -1: each row a random one of the five
};

int channelsOf(int colourType)
{
    return colourType == 0 ? 1 : colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
}

// A PNG of random bytes under random filter types: the file's rows, once
// unfiltered, are whatever the rules make of them, so every rule meets every byte
// value, and libpng says what the right pixels are.
QByteArray makePng(const Png &png)
{
    QRandomGenerator random(png.seed);
    const int rowBytes = (png.width * channelsOf(png.colourType) * png.depth + 7) / 8;
    QByteArray rows;
    for (int y = 0; y < png.height + png.extraRows; ++y) {
        rows += char(png.onlyFilter >= 0 ? png.onlyFilter : random.bounded(5));
        for (int i = 0; i < rowBytes; ++i)
            rows += char(random.bounded(256));
    }
    // qCompress puts the length before the zlib stream.
    const QByteArray stream = qCompress(rows, 6).mid(4);
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly) << quint32(png.width) << quint32(png.height) << quint8(png.depth)
                                               << quint8(png.colourType) << quint8(0) << quint8(0)
                                               << quint8(png.interlace);
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    out += Fixtures::pngChunk("IHDR", header) + png.before;
    const int part = (stream.size() + png.dataParts - 1) / png.dataParts;
    for (int at = 0; at < stream.size(); at += part)
        out += Fixtures::pngChunk("IDAT", stream.mid(at, part));
    return out + png.after + Fixtures::pngChunk("IEND", QByteArray());
}

QByteArray iccChunk(const QColorSpace &space)
{
    return Fixtures::pngChunk("iCCP", QByteArray("profile\0\0", 9) + qCompress(space.iccProfile()).mid(4));
}

// Every chunk's checksum made right again (after bytes were changed on purpose).
QByteArray withChecksums(QByteArray png)
{
    int at = 8;
    while (at + 12 <= png.size()) {
        QDataStream in(png.mid(at, 4));
        quint32 length = 0;
        in >> length;
        if (length > quint32(png.size() - at - 12))
            break;
        png.replace(at, int(length) + 12, Fixtures::pngChunk(png.mid(at + 4, 4), png.mid(at + 8, int(length))));
        at += int(length) + 12;
    }
    return png;
}

void compareImages(const QImage &mine, const QImage &libpng)
{
    QCOMPARE(mine.size(), libpng.size());
    QCOMPARE(mine.format(), libpng.format());
    for (int y = 0; y < mine.height(); ++y) {
        const auto *a = reinterpret_cast<const QRgb *>(mine.constScanLine(y));
        const auto *b = reinterpret_cast<const QRgb *>(libpng.constScanLine(y));
        for (int x = 0; x < mine.width(); ++x)
            QVERIFY2(a[x] == b[x], qPrintable(QStringLiteral("(%1, %2): %3, libpng %4")
                                                  .arg(x)
                                                  .arg(y)
                                                  .arg(a[x], 8, 16)
                                                  .arg(b[x], 8, 16)));
    }
}

} // namespace

Q_DECLARE_METATYPE(Png)

class TestPngDecode : public QObject
{
    Q_OBJECT

private slots:
    void samePixelsAsLibpng_data();
    void samePixelsAsLibpng();
    void leftToLibpng_data();
    void leftToLibpng();
    void damagedBytesNeverHarm();
    void headerBound_data();
    void headerBound();
    void widePictureRefusedEarly_data();
    void widePictureRefusedEarly();
    void manyDataChunksCostNoMemory();
    void earlyPictureOnlyForItsFile_data();
    void earlyPictureOnlyForItsFile();
    void earlyDecodeEndsWithFinish();
    void taggedAnimationShownAsSrgb();

private:
    QTemporaryDir tmp;
};

void TestPngDecode::samePixelsAsLibpng_data()
{
    QTest::addColumn<Png>("png");
    // Widths below and across the four pixels converted at once, filters at random
    // per row, the pixels in several IDAT chunks, the colour chunks Qt drops.
    const QByteArray gamma = Fixtures::pngChunk("gAMA", QByteArray("\x00\x00\xb1\x8f", 4));
    const QByteArray palette = Fixtures::pngChunk("PLTE", QByteArray(6, '\x40'));
    struct Kind
    {
        const char *name;
        int colourType;
    };
    for (const Kind &kind : {Kind{"grey", 0}, Kind{"grey alpha", 4}, Kind{"RGB", 2}, Kind{"RGBA", 6}}) {
        for (const int width : {1, 3, 4, 5, 37}) {
            Png png;
            png.colourType = kind.colourType;
            png.width = width;
            png.height = 23;
            png.dataParts = 3;
            png.seed = quint32(width * 10 + kind.colourType);
            png.before = gamma;
            QTest::addRow("%s, %d wide", kind.name, width) << png;
        }
        for (int filter = 0; filter <= 4; ++filter) {
            Png png;
            png.colourType = kind.colourType;
            png.width = 61;
            png.height = 9;
            png.onlyFilter = filter;
            png.seed = quint32(filter + 100);
            QTest::addRow("%s, filter %d on every row", kind.name, filter) << png;
        }
    }
    Png suggested;
    suggested.colourType = 2;
    suggested.width = 17;
    suggested.height = 5;
    suggested.before = palette;
    QTest::newRow("RGB with a suggested palette") << suggested;
    Png profiled;
    profiled.width = 12;
    profiled.height = 7;
    profiled.before = iccChunk(QColorSpace(QColorSpace::AdobeRgb));
    QTest::newRow("RGBA with an ICC profile") << profiled;
}

// The own decoder gives libpng's pixels exactly, in the paint format, and the
// colour space of an embedded profile as Qt's reader does.
void TestPngDecode::samePixelsAsLibpng()
{
    QFETCH(Png, png);
    const QByteArray bytes = makePng(png);
    const QImage libpng = libpngPicture(bytes);
    QVERIFY(!libpng.isNull());
    const QImage mine = PngDecode::decode(bytes, {});
    QVERIFY(!mine.isNull());
    compareImages(mine, libpng);
    if (png.before.contains("iCCP")) {
        QVERIFY(mine.colorSpace().isValid());
        QCOMPARE(mine.colorSpace(), QImage::fromData(bytes, "png").colorSpace());
    }
}

void TestPngDecode::leftToLibpng_data()
{
    QTest::addColumn<QByteArray>("bytes");
    Png plain;
    plain.width = 40;
    plain.height = 30;
    const auto with = [&plain](const std::function<void(Png &)> &change) {
        Png png = plain;
        change(png);
        return makePng(png);
    };
    QTest::newRow("palette") << with([](Png &p) {
        p.colourType = 3;
        p.onlyFilter = 0;
        p.before = Fixtures::pngChunk("PLTE", QByteArray(256 * 3, '\x7f'));
    });
    QTest::newRow("16 bits") << with([](Png &p) { p.depth = 16; });
    QTest::newRow("interlaced") << with([](Png &p) { p.interlace = 1; });
    QTest::newRow("transparent colour") << with([](Png &p) {
        p.colourType = 2;
        p.before = Fixtures::pngChunk("tRNS", QByteArray(6, '\0'));
    });
    QTest::newRow("profile and sRGB chunk") << with([](Png &p) {
        p.before = iccChunk(QColorSpace(QColorSpace::SRgb)) + Fixtures::pngChunk("sRGB", QByteArray(1, '\0'));
    });
    QTest::newRow("rows missing from the stream") << with([](Png &p) { p.extraRows = -3; });
    // Past PictureMemory::kMinHugeBytes the picture's block is freshly mapped, all
    // zeros: rows the stream lacks would read as rows of filter 0, a picture.
    QTest::newRow("rows missing from a stream in mapped memory") << with([](Png &p) {
        p.width = 1100;
        p.height = 1000;
        p.onlyFilter = 0;
        p.extraRows = -3;
    });
    QTest::newRow("rows beyond the picture") << with([](Png &p) { p.extraRows = 2; });
    QTest::newRow("an unknown filter") << with([](Png &p) { p.onlyFilter = 5; });
    QByteArray apart = with([](Png &p) { p.dataParts = 2; });
    apart.insert(apart.indexOf("IDAT", apart.indexOf("IDAT") + 4) - 4, Fixtures::pngChunk("tEXt", QByteArray("a\0b", 3)));
    QTest::newRow("pixels apart") << apart;
    QByteArray badChecksum = makePng(plain);
    badChecksum[badChecksum.indexOf("IDAT") + 10] = char(badChecksum.at(badChecksum.indexOf("IDAT") + 10) ^ 0x10);
    QTest::newRow("a wrong checksum") << badChecksum;
    const QByteArray whole = makePng(plain);
    QTest::newRow("no end chunk") << whole.left(whole.size() - 12);
    QTest::newRow("an unknown critical chunk") << with([](Png &p) { p.before = Fixtures::pngChunk("ZZZZ", "x"); });
}

// What the own decoder does not take, or finds damaged, Qt's reader decides: the
// load ends as a plain Qt read ends, with its pixels when it has some.
void TestPngDecode::leftToLibpng()
{
    QFETCH(QByteArray, bytes);
    // Heap blocks handed out zeroed (glibc's perturbation): what a decoder reads
    // where nothing was written is the same on every run, and looks like a row.
    mallopt(M_PERTURB, 0xff);
    const QImage mine = PngDecode::decode(bytes, {});
    mallopt(M_PERTURB, 0);
    QVERIFY(mine.isNull());
    const QString path = tmp.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-') + ".png");
    QVERIFY(Fixtures::writeBytes(path, bytes));
    ImageDecode::Options options;
    options.resolution = ImageDecode::Resolution::Full;
    const LoadResult loaded = ImageDecode::load(path, options);
    const QImage libpng = libpngPicture(bytes);
    QCOMPARE(loaded.stage == LoadStage::Failed, libpng.isNull());
    if (!libpng.isNull())
        compareImages(loaded.image, libpng);
}

// Bytes changed at random, the checksums made right so the changes reach the
// decoder: it returns nothing or libpng's own pixels, and never reads or writes out
// of bounds (the sanitized build watches).
void TestPngDecode::damagedBytesNeverHarm()
{
    Png png;
    png.width = 19;
    png.height = 11;
    png.dataParts = 2;
    png.before = iccChunk(QColorSpace(QColorSpace::SRgb));
    const QByteArray good = makePng(png);
    QRandomGenerator random(42);
    int decoded = 0;
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes = good;
        for (int flips = 1 + random.bounded(3); flips > 0; --flips) {
            const int at = 8 + random.bounded(bytes.size() - 8);
            bytes[at] = char(random.bounded(256));
        }
        if (random.bounded(2))
            bytes = withChecksums(bytes);
        const QImage mine = PngDecode::decode(bytes, {});
        if (mine.isNull())
            continue;
        ++decoded;
        compareImages(mine, libpngPicture(bytes));
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("round %1").arg(round)));
    }
    QVERIFY(decoded > 0);
}

void TestPngDecode::headerBound_data()
{
    QTest::addColumn<quint32>("width");
    QTest::addColumn<quint32>("height");
    QTest::addColumn<bool>("taken");
    QTest::newRow("16,000 x 16,000: the bound itself") << 16000u << 16000u << true;
    QTest::newRow("16,000 x 16,001") << 16000u << 16001u << false;
    QTest::newRow("1,048,576 x 400: past libpng's side limit") << 1048576u << 400u << false;
    QTest::newRow("65,536 x 65,536: 2^32 pixels, zero in 32 bits") << 65536u << 65536u << false;
    QTest::newRow("2^28 x 2^28") << (1u << 28) << (1u << 28) << false;
    QTest::newRow("1,073,741,825 x 4: a row of 2^32 + 4 bytes") << 1073741825u << 4u << false;
    QTest::newRow("4,294,967,295 x 1: a 32-bit width") << 4294967295u << 1u << false;
}

// The decoder takes only pictures within the viewer's bound, by the header alone,
// whatever the width of the size arithmetic.
void TestPngDecode::headerBound()
{
    QFETCH(quint32, width);
    QFETCH(quint32, height);
    QFETCH(bool, taken);
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly) << width << height << quint8(8) << quint8(6) << quint8(0) << quint8(0)
                                               << quint8(0);
    const QByteArray head = QByteArray("\x89PNG\r\n\x1a\n", 8) + Fixtures::pngChunk("IHDR", header);
    QCOMPARE(head.size(), PngDecode::kHeaderBytes);
    QCOMPARE(PngDecode::takes(head), taken);
    if (!taken) {
        const QByteArray file = head + Fixtures::pngChunk("IDAT", qCompress(QByteArray(64, '\0')).mid(4))
            + Fixtures::pngChunk("IEND", QByteArray());
        QVERIFY(PngDecode::decode(file, {}).isNull());
    }
}

void TestPngDecode::widePictureRefusedEarly_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the decoder itself") << "decoder";
    QTest::newRow("a load") << "load";
    QTest::newRow("a preloaded neighbour (a budget)") << "preload";
    QTest::newRow("the early decode") << "early";
}

// A 1.6 MB PNG of 1,048,576 x 400 pixels, whose stream does unpack to them: Qt's
// reader tells no size for it, and it is refused by its header before any memory
// is taken for its pixels.
void TestPngDecode::widePictureRefusedEarly()
{
    QFETCH(QString, how);
    const QString path = tmp.filePath(QStringLiteral("wide.png"));
    if (!QFileInfo::exists(path))
        QVERIFY(Fixtures::writeBytes(path, Fixtures::pngOfZeros(1u << 20, 400, 0)));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ImageDecode::Options options;
    options.resolution = ImageDecode::Resolution::Display;
    options.view = QSize(1200, 800);
    if (how == QLatin1String("preload"))
        options.maxBytes = 32 * 1024 * 1024;

    const PeakMemory memory;
    if (how == QLatin1String("decoder")) {
        QVERIFY(PngDecode::decode(bytes, {}).isNull());
    } else if (how == QLatin1String("early")) {
        QVERIFY(ImageDecode::decodeEarly(path).isNull());
    } else {
        const LoadResult result = ImageDecode::load(path, options);
        QCOMPARE(result.stage, LoadStage::Failed);
        QCOMPARE(result.failure, LoadFailure::TooLarge);
    }
    QVERIFY2(memory.grownKb() < 64 * 1024, qPrintable(QString::number(memory.grownKb())));
}

// Millions of empty IDAT chunks (12 bytes each) cost the walk, not a record each.
void TestPngDecode::manyDataChunksCostNoMemory()
{
    Png png;
    png.width = 8;
    png.height = 8;
    const QByteArray small = makePng(png);
    const int end = small.size() - 12;
    const QByteArray empty = Fixtures::pngChunk("IDAT", QByteArray());
    QByteArray bytes = small.left(end);
    bytes.reserve(end + 10000000 * empty.size() + 12);
    for (int i = 0; i < 10000000; ++i)
        bytes += empty;
    bytes += small.mid(end);

    const PeakMemory memory;
    const QImage mine = PngDecode::decode(bytes, {});
    const qint64 grown = memory.grownKb();
    QVERIFY(!mine.isNull());
    compareImages(mine, libpngPicture(small));
    QVERIFY2(grown < 64 * 1024, qPrintable(QString::number(grown)));
}

void TestPngDecode::earlyPictureOnlyForItsFile_data()
{
    QTest::addColumn<QString>("change"); // between the start-up and the first load
    QTest::addColumn<bool>("taken");
    QTest::newRow("unchanged") << "" << true;
    QTest::newRow("rewritten, same size") << "rewrite" << false;
    QTest::newRow("another file loaded first") << "other" << false;
}

// The picture decoded at start-up serves the first load of its file only while the
// file is unchanged, and only once; a load of another file ends it.
void TestPngDecode::earlyPictureOnlyForItsFile()
{
    QFETCH(QString, change);
    QFETCH(bool, taken);
    Png png;
    png.width = 64;
    png.height = 48;
    const QString path = tmp.filePath(QStringLiteral("early.png"));
    QVERIFY(Fixtures::writeBytes(path, makePng(png)));
    EarlyDecode::start(path);
    if (change == QLatin1String("rewrite")) {
        QTest::qWait(20); // a later modification time
        png.seed = 99;
        QVERIFY(Fixtures::writeBytes(path, makePng(png)));
    } else if (change == QLatin1String("other")) {
        QVERIFY(EarlyDecode::take(tmp.filePath(QStringLiteral("other.png")), FileStamp(), {}).isNull());
    }
    const QImage early = EarlyDecode::take(path, FileStamp::of(path), {});
    QCOMPARE(!early.isNull(), taken);
    if (taken)
        compareImages(early, libpngPicture(makePng(png)));
    QVERIFY(EarlyDecode::take(path, FileStamp::of(path), {}).isNull());
    // The load itself shows the file as it is now.
    ImageDecode::Options options;
    options.resolution = ImageDecode::Resolution::Full;
    EarlyDecode::start(path);
    compareImages(ImageDecode::load(path, options).image, libpngPicture(makePng(png)));
}

// The early decode's thread belongs to the program: finish stops and joins it, so
// no thread is left decoding while the process ends (and its statics go).
void TestPngDecode::earlyDecodeEndsWithFinish()
{
    const auto threads = [] { return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); };
    const QString path = tmp.filePath(QStringLiteral("early-large.png"));
    QVERIFY(Fixtures::writeBytes(path, Fixtures::pngOfZeros(4000, 4000, 6)));
    EarlyDecode::finish();
    const int before = threads();
    EarlyDecode::start(path);
    EarlyDecode::finish();
    QCOMPARE(threads(), before);
    QVERIFY(EarlyDecode::take(path, FileStamp::of(path), {}).isNull());
}

// An animated PNG with a profile is converted to sRGB as the same picture is when
// still: each frame, not the first alone.
void TestPngDecode::taggedAnimationShownAsSrgb()
{
    QImage red(8, 6, QImage::Format_ARGB32);
    red.fill(QColor(200, 40, 30));
    QImage green(8, 6, QImage::Format_ARGB32);
    green.fill(QColor(40, 180, 60));
    const QByteArray profile = iccChunk(QColorSpace(QColorSpace::AdobeRgb));
    // The profile goes right after the header chunk (8 + 25 bytes).
    const auto tagged = [&profile](const QString &path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        QVERIFY(Fixtures::writeBytes(path, bytes.left(33) + profile + bytes.mid(33)));
    };
    const QString moving = tmp.filePath(QStringLiteral("tagged-anim.png"));
    QVERIFY(Fixtures::writeApng(moving, {red, green}, 100, 0));
    tagged(moving);
    ImageDecode::Options options;
    options.resolution = ImageDecode::Resolution::Full;
    const LoadResult animation = ImageDecode::load(moving, options);
    QCOMPARE(animation.frames.size(), 2);

    for (int i = 0; i < 2; ++i) {
        const QString still = tmp.filePath(QStringLiteral("tagged-%1.png").arg(i));
        QVERIFY((i ? green : red).save(still, "PNG"));
        tagged(still);
        const QRgb want = ImageDecode::load(still, options).image.pixel(4, 3);
        const QRgb got = animation.frames.at(i).image.pixel(4, 3);
        QVERIFY(want != (i ? green : red).pixel(4, 3)); // converted indeed
        for (const int shift : {0, 8, 16})
            QVERIFY2(qAbs(int(want >> shift & 0xff) - int(got >> shift & 0xff)) <= 2,
                     qPrintable(QString::number(want, 16) + QLatin1String(" / ") + QString::number(got, 16)));
    }
}

QTEST_GUILESS_MAIN(TestPngDecode)
#include "tst_pngdecode.moc"
