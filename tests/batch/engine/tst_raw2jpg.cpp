#include "rawdecode/RawDecode.h"
#include "support/EngineHarness.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

// ConvertToJpg, our RAW-to-JPEG program, run as the batch engine runs it.
class TestRaw2Jpg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void orientation_data();
    void orientation();
    void coverDevelopsAtHalfSize_data();
    void coverDevelopsAtHalfSize();
    void localEncodingPaths();
    void failures_data();
    void failures();
    void greyRaw();
    void acceptance_data();
    void acceptance();
    void developCancelled();

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray stdErr;
    };
    Run decode(const QStringList &args) const;
    QString dng(int orientation = 1);
    // Decodes the DNG of that orientation, options first, to out.jpg in out.
    Run develop(int orientation, const QStringList &options, const QTemporaryDir &out);

    QTemporaryDir workDir;
    QByteArray dngBytes;
};

namespace {

// Sets the TIFF orientation tag (274) of the first IFD of a little-endian DNG.
bool setOrientation(QByteArray &bytes, int orientation)
{
    auto *data = reinterpret_cast<uchar *>(bytes.data());
    const quint32 ifd = qFromLittleEndian<quint32>(data + 4);
    const quint16 count = qFromLittleEndian<quint16>(data + ifd);
    for (quint16 i = 0; i < count; ++i) {
        uchar *entry = data + ifd + 2 + 12 * i;
        if (qFromLittleEndian<quint16>(entry) == 274) {
            qToLittleEndian<quint16>(quint16(orientation), entry + 8);
            return true;
        }
    }
    return false;
}

} // namespace

void TestRaw2Jpg::initTestCase()
{
    QVERIFY(workDir.isValid());
    const QString path = workDir.filePath("source.dng");
    QVERIFY(Fixtures::writeDng(path, 64, 48));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    dngBytes = file.readAll();
}

TestRaw2Jpg::Run TestRaw2Jpg::decode(const QStringList &args) const
{
    QProcess process;
    process.start(Fixtures::binDir() + "/decoder/ConverterToJpg/ConvertToJpg", args);
    Run run;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.stdErr = process.readAllStandardError();
    return run;
}

QString TestRaw2Jpg::dng(int orientation)
{
    QByteArray bytes = dngBytes;
    if (!setOrientation(bytes, orientation))
        return QString();
    const QString path = workDir.filePath(QStringLiteral("o%1.dng").arg(orientation));
    return Fixtures::writeBytes(path, bytes) ? path : QString();
}

TestRaw2Jpg::Run TestRaw2Jpg::develop(int orientation, const QStringList &options, const QTemporaryDir &out)
{
    const QString source = dng(orientation);
    return source.isEmpty() ? Run() : decode(options + QStringList{source, out.filePath("out.jpg")});
}

void TestRaw2Jpg::orientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("bandsAcross"); // bands run left to right (else top to bottom)
    QTest::addColumn<int>("across"); // the other coordinate of the samples, on the bright side
    QTest::addColumn<QString>("bands");
    QTest::newRow("upright") << 1 << QSize(64, 48) << true << 40 << "RGBK";
    QTest::newRow("upside down") << 3 << QSize(64, 48) << true << 8 << "KBGR";
    QTest::newRow("turned right") << 6 << QSize(48, 64) << false << 8 << "RGBK";
    QTest::newRow("turned left") << 8 << QSize(48, 64) << false << 40 << "KBGR";
}

void TestRaw2Jpg::orientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(bool, bandsAcross);
    QFETCH(int, across);
    QFETCH(QString, bands);

    QTemporaryDir out;
    const QString jpeg = out.filePath("out.jpg");
    const Run run = develop(orientation, {}, out);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.stdErr.isEmpty(), run.stdErr.constData());
    QCOMPARE(Fixtures::imageFormat(jpeg), QByteArray("jpeg"));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.jpg"});

    const QImage image(jpeg);
    QCOMPARE(image.size(), size); // turned once, not twice
    QString seen;
    for (int i = 0; i < 4; ++i) {
        const int along = 8 + 16 * i;
        seen += EngineHarness::dngBand(bandsAcross ? image.pixel(along, across) : image.pixel(across, along));
    }
    QCOMPARE(seen, bands);
}

void TestRaw2Jpg::coverDevelopsAtHalfSize_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("cover");
    QTest::addColumn<QSize>("size");
    // The source is 64x48 as shown.
    QTest::newRow("half the width") << 1 << "32x0" << QSize(32, 24);
    QTest::newRow("half the height") << 1 << "0x24" << QSize(32, 24);
    QTest::newRow("exact, half each way") << 1 << "32x24" << QSize(32, 24);
    QTest::newRow("a pixel more than half wide: whole") << 1 << "33x0" << QSize(64, 48);
    QTest::newRow("exact, one side over half: whole") << 1 << "20x25" << QSize(64, 48);
    QTest::newRow("larger than the picture: whole") << 1 << "100x0" << QSize(64, 48);
    // Shown 48x64: the size asked is the shown one.
    QTest::newRow("turned, half the shown width") << 6 << "24x0" << QSize(24, 32);
    QTest::newRow("turned, the stored half width is over the shown half") << 6 << "32x0" << QSize(48, 64);
}

void TestRaw2Jpg::coverDevelopsAtHalfSize()
{
    QFETCH(int, orientation);
    QFETCH(QString, cover);
    QFETCH(QSize, size);
    QTemporaryDir out;
    const Run run = develop(orientation, {"--cover", cover}, out);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.stdErr.isEmpty(), run.stdErr.constData());
    const QImage image(out.filePath("out.jpg"));
    QCOMPARE(image.size(), size);
    // Half size is the same picture: the bands in their places.
    if (orientation == 1) {
        QString seen;
        for (int i = 0; i < 4; ++i)
            seen += EngineHarness::dngBand(image.pixel((8 + 16 * i) * size.width() / 64, size.height() * 5 / 6));
        QCOMPARE(seen, QStringLiteral("RGBK"));
    }
}

void TestRaw2Jpg::localEncodingPaths()
{
    const QString source = workDir.filePath("相机 照片.dng");
    QVERIFY(Fixtures::writeBytes(source, dngBytes));
    const QString jpeg = workDir.filePath("输出 图片.jpg");
    QCOMPARE(decode({source, jpeg}).exitCode, 0);
    QCOMPARE(Fixtures::imageSize(jpeg), QSize(64, 48));
}

void TestRaw2Jpg::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("content"); // written to "in" unless null
    QTest::addColumn<QString>("says");

    const QByteArray none;
    QTest::newRow("no arguments") << QStringList() << none << "two arguments";
    QTest::newRow("one argument") << QStringList{"@in"} << dngBytes << "two arguments";
    QTest::newRow("three arguments") << QStringList{"@in", "@out", "@out"} << dngBytes << "two arguments";
    QTest::newRow("--cover without a size") << QStringList{"--cover", "@in", "@out"} << dngBytes << "two arguments";
    QTest::newRow("--cover with a bad size") << QStringList{"--cover", "12", "@in", "@out"} << dngBytes
                                             << "--cover takes WIDTHxHEIGHT";
    QTest::newRow("--cover with a negative side") << QStringList{"--cover", "-2x5", "@in", "@out"} << dngBytes
                                                  << "--cover takes WIDTHxHEIGHT";
    QTest::newRow("missing file") << QStringList{"@dir/absent.dng", "@out"} << none << "does not exist";
    QTest::newRow("zero bytes") << QStringList{"@in", "@out"} << QByteArray("") << "empty";
    QTest::newRow("truncated data") << QStringList{"@in", "@out"} << dngBytes.left(dngBytes.size() - 100)
                                    << "truncated";
    QTest::newRow("truncated header") << QStringList{"@in", "@out"} << dngBytes.left(400) << "";
    // Headers whole, the pixel data all zeros: LibRaw develops it without a word.
    QByteArray noPixels = dngBytes;
    const int pixelBytes = 64 * 48 * 2;
    noPixels.replace(noPixels.size() - pixelBytes, pixelBytes, QByteArray(pixelBytes, 0));
    QTest::newRow("headers without pixel data") << QStringList{"@in", "@out"} << noPixels << "no image data";
    QTest::newRow("a folder") << QStringList{"@dir", "@out"} << none << "folder";

    QTemporaryDir jpegDir;
    const QString jpegPath = jpegDir.filePath("photo.jpg");
    Fixtures::writeImage(jpegPath, QSize(16, 16));
    QFile jpeg(jpegPath);
    jpeg.open(QIODevice::ReadOnly);
    QTest::newRow("a JPEG, not RAW") << QStringList{"@in", "@out"} << jpeg.readAll() << "not a RAW file";
    QTest::newRow("output folder missing")
        << QStringList{"@in", "@dir/no/such/out.jpg"} << dngBytes << "cannot create the JPEG file";
    QTest::newRow("warning in the name is not echoed")
        << QStringList{"@dir/Warning.dng", "@out"} << none << "does not exist";
}

void TestRaw2Jpg::failures()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, content);
    QFETCH(QString, says);

    QTemporaryDir work;
    const QString in = work.filePath("in.dng");
    const QString out = work.filePath("out.jpg");
    if (!content.isNull())
        QVERIFY(Fixtures::writeBytes(in, content));
    for (QString &arg : args)
        arg = arg == "@in" ? in : arg == "@out" ? out : arg.replace("@dir", work.path());

    const Run run = decode(args);
    QVERIFY2(run.exitCode > 0, run.stdErr.constData());
    QCOMPARE(run.stdErr.count('\n'), 1);
    QVERIFY2(run.stdErr.startsWith("ConvertToJpg: "), run.stdErr.constData());
    QVERIFY2(run.stdErr.contains(says.toUtf8()), run.stdErr.constData());
    QVERIFY2(!run.stdErr.toLower().contains("warning"), run.stdErr.constData());
    // Nothing written: no JPEG and no temporary file beside it.
    QStringList left = QDir(work.path()).entryList(QDir::Files | QDir::Hidden);
    left.removeAll("in.dng");
    QCOMPARE(left, QStringList());
}

// A monochrome DNG develops to one grey channel; the JPEG is grey, brighter downwards.
void TestRaw2Jpg::greyRaw()
{
    const QString source = workDir.filePath("grey.dng");
    QVERIFY(Fixtures::writeDng(source, 64, 48, {"--grey"}));
    QTemporaryDir out;
    const QString jpeg = out.filePath("grey.jpg");
    const Run run = decode({source, jpeg});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.stdErr.isEmpty(), run.stdErr.constData());
    const QImage image(jpeg);
    QCOMPARE(image.size(), QSize(64, 48));
    QVERIFY(image.isGrayscale());
    QVERIFY(qGray(image.pixel(60, 44)) > qGray(image.pixel(60, 2)) + 40);
}

// The one rule for what LibRaw hands back, shared by the viewer and ConvertToJpg.
void TestRaw2Jpg::acceptance_data()
{
    QTest::addColumn<int>("type"); // 2: bitmap (LIBRAW_IMAGE_BITMAP), 1: JPEG
    QTest::addColumn<int>("colours");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<qulonglong>("dataSize");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("rgb") << 2 << 3 << 8 << 64 << 48 << 64ull * 48 * 3 << true;
    QTest::newRow("grey") << 2 << 1 << 8 << 64 << 48 << 64ull * 48 << true;
    QTest::newRow("buffer one byte short") << 2 << 3 << 8 << 64 << 48 << 64ull * 48 * 3 - 1 << false;
    QTest::newRow("zero by zero") << 2 << 3 << 8 << 0 << 0 << 0ull << false;
    QTest::newRow("16 bits") << 2 << 3 << 16 << 64 << 48 << 64ull * 48 * 6 << false;
    QTest::newRow("four colours") << 2 << 4 << 8 << 64 << 48 << 64ull * 48 * 4 << false;
    QTest::newRow("a JPEG record") << 1 << 3 << 8 << 64 << 48 << 64ull * 48 * 3 << false;
    QTest::newRow("at the bound") << 2 << 1 << 8 << 16000 << 16000 << 256000000ull << true;
    QTest::newRow("past the bound") << 2 << 1 << 8 << 16001 << 16000 << 256016000ull << false;
}

void TestRaw2Jpg::acceptance()
{
    QFETCH(int, type);
    QFETCH(int, colours);
    QFETCH(int, bits);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(qulonglong, dataSize);
    QFETCH(bool, accepted);
    QCOMPARE(RawDecode::acceptable(type, colours, bits, width, height, dataSize), accepted);
}

// The develop asks at every stage whether it is still wanted and stops when not.
void TestRaw2Jpg::developCancelled()
{
    const QString source = workDir.filePath("source.dng");
    int asked = 0;
    RawDecode::MappedFile file;
    QCOMPARE(file.open(QFile::encodeName(source).constData()), RawDecode::Failure::None);
    RawDecode::RawFile raw;
    QCOMPARE(raw.open(file), RawDecode::Failure::None);
    RawDecode::Picture picture;
    QCOMPARE(raw.develop(picture, [&] { return ++asked >= 3; }), RawDecode::Failure::Cancelled);
    QCOMPARE(asked, 3);
    QVERIFY(picture.isNull());
    QCOMPARE(raw.error(), std::string("decoding was cancelled"));

    RawDecode::RawFile whole;
    QCOMPARE(whole.open(file), RawDecode::Failure::None);
    asked = 0;
    QCOMPARE(whole.develop(picture, [&] { return ++asked < 0; }), RawDecode::Failure::None);
    QVERIFY(asked > 3);
    QCOMPARE(picture.width(), 64);
    QCOMPARE(picture.colours(), 3);
}

QTEST_GUILESS_MAIN(TestRaw2Jpg)
#include "tst_raw2jpg.moc"
