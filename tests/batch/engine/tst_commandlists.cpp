#include "batch/engine/BatchTypes.h"
#include "CommandLists.h"
#include "DecodeSize.h"
#include "process/ToolLocator.h"

#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(JobSettings)

// The argument lists the external programs get, row by row.
class TestCommandLists : public QObject
{
    Q_OBJECT

private slots:
    void sizeArgs_data();
    void sizeArgs();
    void convertArgs_data();
    void convertArgs();
    void framesMadeWholeByContent_data();
    void framesMadeWholeByContent();
    void jpegHint_data();
    void jpegHint();
    void hintPrecedesTheInput();
    void metadataArgs_data();
    void metadataArgs();
    void pngArgs_data();
    void pngArgs();
    void rawArgs_data();
    void rawArgs();
    void debugLines();
    void locate_data();
    void locate();
};

namespace {

std::optional<int> given(int value)
{
    return value == -1 ? std::nullopt : std::optional<int>(value);
}

JobSettings job(Operation operation, int quality = -1, int width = -1, int height = -1,
                std::optional<int> degrees = std::nullopt, bool flop = false, bool flip = false)
{
    JobSettings s;
    s.operation = operation;
    s.quality = given(quality);
    s.width = given(width);
    s.height = given(height);
    s.degrees = degrees;
    s.flop = flop;
    s.flip = flip;
    return s;
}

QStringList words(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

void TestCommandLists::sizeArgs_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("none") << -1 << -1 << QStringList();
    QTest::newRow("width only") << 800 << -1 << words("-resize 800");
    QTest::newRow("height only") << -1 << 600 << words("-resize x600");
    QTest::newRow("both, exact") << 1024 << 768 << words("-resize 1024x768!");
    QTest::newRow("zero is not given") << 0 << 0 << QStringList();
    QTest::newRow("zero width, height given") << 0 << 600 << words("-resize x600");
}

void TestCommandLists::sizeArgs()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QStringList, expected);
    QCOMPARE(CommandLists::sizeArgs(given(width), given(height)), expected);
    QCOMPARE(CommandLists::hasSize(job(Operation::Resize, -1, width, height)), !expected.isEmpty());
}

void TestCommandLists::convertArgs_data()
{
    QTest::addColumn<JobSettings>("settings");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("fmt");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("plain conversion") << job(Operation::Convert) << "/s/a.jpg"
                                      << "png" << words("/s/a.jpg -coalesce -auto-orient /o/out");
    QTest::newRow("resize: the picture as shown, upright, then sized")
        << job(Operation::Resize, -1, 600) << "/s/phone.jpg"
        << "jpg" << words("/s/phone.jpg -coalesce -auto-orient -resize 600 /o/out");
    QTest::newRow("png to jpg, width only: background group last")
        << job(Operation::Convert, -1, 800) << "/s/a.png"
        << "jpg" << words("/s/a.png -coalesce -auto-orient -resize 800 -background white -alpha "
                 "remove /o/out");
    QTest::newRow("bmp to jpeg gets the background group")
        << job(Operation::Convert) << "/s/a.BMP"
        << "jpeg" << words("/s/a.BMP -coalesce -auto-orient -background white -alpha remove /o/out");
    QTest::newRow("png to png has no background group") << job(Operation::Convert) << "/s/a.png"
                                                        << "png" << words("/s/a.png -coalesce -auto-orient /o/out");
    QTest::newRow("tiff to jpg, exact size: flatten, no background")
        << job(Operation::Convert, -1, 1024, 768) << "/s/a.tiff"
        << "jpg" << words("/s/a.tiff -layers flatten -auto-orient -resize 1024x768! /o/out");
    QTest::newRow("psd flattened, height only") << job(Operation::Convert, -1, -1, 300) << "/s/a.PSD"
                                                << "png" << words("/s/a.PSD -layers flatten -auto-orient -resize x300 /o/out");
    QTest::newRow("tif") << job(Operation::Convert) << "/s/a.tif"
                         << "png" << words("/s/a.tif -layers flatten -auto-orient /o/out");
    QTest::newRow("path ending in tif without a dot") << job(Operation::Convert) << "/s/motif"
                                                      << "png" << words("/s/motif -layers flatten -auto-orient /o/out");
    QTest::newRow("rotate 90 with flop") << job(Operation::Rotate, -1, -1, -1, 90, true) << "/s/a.jpg"
                                         << "jpg" << words("/s/a.jpg -coalesce -auto-orient -rotate 90 -flop /o/out");
    QTest::newRow("anticlockwise, both mirrors")
        << job(Operation::Rotate, -1, -1, -1, -12, true, true) << "/s/a.png"
        << "png" << words("/s/a.png -coalesce -auto-orient -rotate -12 -flop -flip /o/out");
    QTest::newRow("a turn of 0 is still passed") << job(Operation::Rotate, -1, -1, -1, 0) << "/s/a.png"
                                                << "png" << words("/s/a.png -coalesce -auto-orient -rotate 0 /o/out");
    QTest::newRow("flip only") << job(Operation::Rotate, -1, -1, -1, std::nullopt, false, true) << "/s/a.bmp"
                               << "bmp" << words("/s/a.bmp -coalesce -auto-orient -flip /o/out");
    QTest::newRow("compress jpeg, quality 80") << job(Operation::Compress, 80) << "/s/a.jpg"
                                               << "jpg" << words("/s/a.jpg -quality 80% /o/out");
    QTest::newRow("compress png with width: quality then size")
        << job(Operation::Compress, 60, 300) << "/s/a.png"
        << "png" << words("/s/a.png -quality 60% -resize 300 /o/out");
    QTest::newRow("every row") << job(Operation::Convert, 70, 10, 20, 180, true, true) << "/s/x.png.tiff"
                               << "jpg"
                               << words("/s/x.png.tiff -quality 70% -layers flatten -auto-orient -resize "
                                        "10x20! -rotate 180 -flop -flip /o/out");
    QTest::newRow("png source by path, to jpg, everything")
        << job(Operation::Convert, 70, 10, -1, 45, false, true) << "/s/x.png"
        << "jpg" << words("/s/x.png -quality 70% -coalesce -auto-orient -resize 10 -rotate 45 "
                 "-flip -background white -alpha remove /o/out");
}

void TestCommandLists::convertArgs()
{
    QFETCH(JobSettings, settings);
    QFETCH(QString, input);
    QFETCH(QString, fmt);
    QFETCH(QStringList, expected);
    QCOMPARE(CommandLists::convertArgs(settings, {input}, QStringLiteral("/o/out"), fmt).documented(), expected);
}

void TestCommandLists::framesMadeWholeByContent_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("coder");
    QTest::addColumn<bool>("coalesced");
    // What the content is decides, not the name.
    QTest::newRow("jpeg") << "/s/a.jpg" << "jpeg" << false;
    QTest::newRow("jpeg named .gif") << "/s/a.gif" << "jpeg" << false;
    QTest::newRow("bmp") << "/s/a.bmp" << "bmp" << false;
    QTest::newRow("decoded camera raw") << "/t/0815301234.jpg" << "jpeg" << false;
    QTest::newRow("heic") << "/s/a.heic" << "heic" << false;
    QTest::newRow("avif") << "/s/a.avif" << "avif" << false;
    QTest::newRow("ico") << "/s/a.ico" << "ico" << false;
    QTest::newRow("tga") << "/s/a.tga" << "tga" << false;
    QTest::newRow("single-frame gif") << "/s/still.gif" << "gif" << true;
    QTest::newRow("animated webp") << "/s/anim.webp" << "webp" << true;
    QTest::newRow("png, perhaps animated") << "/s/a.png" << "png" << true;
    QTest::newRow("gif named .jpg") << "/s/a.jpg" << "gif" << true;
    QTest::newRow("pages of a tiff not named so") << "/s/scan.jpg" << "tiff" << true;
    QTest::newRow("tiff by name: flattened instead") << "/s/scan.tif" << "tiff" << false;
    QTest::newRow("content not known") << "/s/a.jpg" << "" << true;
}

void TestCommandLists::framesMadeWholeByContent()
{
    QFETCH(QString, path);
    QFETCH(QString, coder);
    QFETCH(bool, coalesced);
    for (const Operation operation : {Operation::Convert, Operation::Resize, Operation::Rotate}) {
        const QStringList args = CommandLists::convertArgs(job(operation, -1, 300), {path, coder}, "/o/out", "png")
                                     .documented();
        QCOMPARE(args.contains("-coalesce"), coalesced);
        QVERIFY(args.contains("-auto-orient"));
    }
    QVERIFY(!CommandLists::convertArgs(job(Operation::Compress, 60), {path, coder}, "/o/out", "jpg")
                 .documented()
                 .contains("-coalesce"));
}

void TestCommandLists::jpegHint_data()
{
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("hint"); // invalid: none

    const QSize camera(6000, 4000);
    QTest::newRow("24 MP to 1920 wide") << camera << 1 << 1920 << -1 << QSize(1920, 1280);
    QTest::newRow("height only") << camera << 1 << -1 << 1000 << QSize(1500, 1000);
    QTest::newRow("the other side rounds as ImageMagick does") << QSize(3001, 2001) << 1 << 1000 << -1 << QSize(1000, 667);
    QTest::newRow("half rounds up") << QSize(60, 50) << 1 << 15 << -1 << QSize(15, 13);
    QTest::newRow("exact WxH!") << camera << 1 << 800 << 800 << QSize(800, 800);
    QTest::newRow("exact, one side over half") << camera << 1 << 1000 << 3000 << QSize();
    // Shown 4000x6000: 1920 wide is 2880 high, which is the stored width.
    QTest::newRow("turned 90 degrees (orientation 6)") << camera << 6 << 1920 << -1 << QSize(2880, 1920);
    QTest::newRow("turned, exact") << camera << 8 << 1000 << 400 << QSize(400, 1000);
    QTest::newRow("mirrored (orientation 2) keeps its sides") << camera << 2 << 1920 << -1 << QSize(1920, 1280);
    QTest::newRow("turned makes it over half") << camera << 5 << 2500 << -1 << QSize();
    QTest::newRow("exactly half") << camera << 1 << 3000 << -1 << QSize(3000, 2000);
    QTest::newRow("just over half") << camera << 1 << 3001 << -1 << QSize();
    QTest::newRow("output larger than the source") << QSize(800, 600) << 1 << 1600 << -1 << QSize();
    QTest::newRow("same size") << QSize(800, 600) << 1 << 800 << 600 << QSize();
    QTest::newRow("no size") << camera << 1 << -1 << -1 << QSize();
    QTest::newRow("size not known") << QSize() << 1 << 100 << -1 << QSize();
}

void TestCommandLists::jpegHint()
{
    QFETCH(QSize, stored);
    QFETCH(int, orientation);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSize, hint);
    QCOMPARE(DecodeSize::jpegHint(stored, orientation, given(width), given(height)), hint);
}

void TestCommandLists::hintPrecedesTheInput()
{
    // Read the header's way: the hint is in the stored picture's terms.
    const CommandLists::Input phone{"/s/p.jpg", "jpeg", QSize(4000, 3000), 6};
    QCOMPARE(CommandLists::convertArgs(job(Operation::Resize, 80, 600), phone, "/o/out", "jpg").documented(),
             words("-define jpeg:size=800x600 /s/p.jpg -quality 80% -auto-orient -filter Triangle -resize 600x800! /o/out"));
    // Compression keeps the stored picture: its sizes are the stored sides.
    QCOMPARE(CommandLists::convertArgs(job(Operation::Compress, 80, 600), phone, "/o/out", "jpg").documented(),
             words("-define jpeg:size=600x450 /s/p.jpg -quality 80% -filter Triangle -resize 600x450! /o/out"));
    // Only a JPEG is read smaller.
    const CommandLists::Input png{"/s/p.png", "png", QSize(4000, 3000), 1};
    QCOMPARE(CommandLists::convertArgs(job(Operation::Resize, -1, 600), png, "/o/out", "png").documented(),
             words("/s/p.png -coalesce -auto-orient -resize 600 /o/out"));
}

void TestCommandLists::metadataArgs_data()
{
    QTest::addColumn<int>("metadata");
    QTest::addColumn<QString>("fmt");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("keep") << int(Metadata::Keep) << "jpg" << QStringList();
    QTest::newRow("no location: the engine edits") << int(Metadata::NoLocation) << "png" << QStringList();
    QTest::newRow("none, jpg") << int(Metadata::None) << "jpg" << words("+profile !icc,* +set comment");
    QTest::newRow("none, png: no text chunks")
        << int(Metadata::None) << "png"
        << words("+profile !icc,* +set comment -define png:exclude-chunk=date,tIME");
}

void TestCommandLists::metadataArgs()
{
    QFETCH(int, metadata);
    QFETCH(QString, fmt);
    QFETCH(QStringList, expected);
    QCOMPARE(CommandLists::metadataArgs(Metadata(metadata), fmt), expected);
    JobSettings settings = job(Operation::Convert);
    settings.metadata = Metadata(metadata);
    QCOMPARE(CommandLists::convertArgs(settings, {"/s/a.jpg", "jpeg"}, "/o/out", fmt).documented(),
             words("/s/a.jpg -auto-orient") + expected + QStringList{"/o/out"});
}

void TestCommandLists::pngArgs_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("quality 60") << 60 << words("/s/a.png --quality 60 --output /o/a.png");
    QTest::newRow("no quality") << -1 << words("/s/a.png --output /o/a.png");
}

void TestCommandLists::pngArgs()
{
    QFETCH(int, quality);
    QFETCH(QStringList, expected);
    QCOMPARE(CommandLists::pngArgs(given(quality), QStringLiteral("/s/a.png"), QStringLiteral("/o/a.png")).documented(), expected);
}

void TestCommandLists::rawArgs_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no size: the two paths") << -1 << -1 << QStringList{"/s/a b.CR2", "/t/081530124.jpg"};
    QTest::newRow("width") << 1920 << -1 << QStringList{"--cover", "1920x0", "/s/a b.CR2", "/t/081530124.jpg"};
    QTest::newRow("height") << -1 << 600 << QStringList{"--cover", "0x600", "/s/a b.CR2", "/t/081530124.jpg"};
    QTest::newRow("exact") << 295 << 413 << QStringList{"--cover", "295x413", "/s/a b.CR2", "/t/081530124.jpg"};
}

void TestCommandLists::rawArgs()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QStringList, expected);
    QCOMPARE(CommandLists::rawArgs(job(Operation::Resize, -1, width, height), QStringLiteral("/s/a b.CR2"),
                                   QStringLiteral("/t/081530124.jpg")),
             expected);
}

void TestCommandLists::debugLines()
{
    const QStringList args = CommandLists::convertArgs(job(Operation::Convert), {QStringLiteral("/s/a.jpg")},
                                                       QStringLiteral("/o/a.png"), QStringLiteral("png"))
                                 .documented();
    QCOMPARE(
        CommandLists::debugLines(QStringLiteral("/s/a.jpg"), QStringLiteral("/o/a.png"), QStringLiteral("png"), args),
        QStringList({QStringLiteral("===========图片路径为：/s/a.jpg转换后的路径为：/o/a.png,转换的格式为：png"),
                     QStringLiteral("===========================/s/a.jpg"),
                     QStringLiteral("===========================-coalesce"),
                     QStringLiteral("===========================-auto-orient"),
                     QStringLiteral("===========================/o/a.png")}));
}

void TestCommandLists::locate_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QStringList>("inAppDir");
    QTest::addColumn<QStringList>("onPath");
    QTest::addColumn<QString>("expected");
    const int magick = int(ToolLocator::Tool::ImageMagick);
    const int pngquant = int(ToolLocator::Tool::Pngquant);
    const int raw = int(ToolLocator::Tool::RawToJpeg);
    QTest::newRow("magick beside the program wins")
        << magick << false << QStringList{"magick"} << QStringList{"magick", "convert"} << "/app/magick";
    QTest::newRow("magick on PATH") << magick << false << QStringList() << QStringList{"magick", "convert"}
                                    << "/bin/magick";
    QTest::newRow("ImageMagick 6: convert on PATH")
        << magick << false << QStringList() << QStringList{"convert"} << "/bin/convert";
    QTest::newRow("no ImageMagick: a path that fails to start")
        << magick << false << QStringList() << QStringList() << "/app/magick";
    QTest::newRow("versioned pngquant first") << pngquant << false << QStringList{"pngquant", "pngquant.2.12.3"}
                                              << QStringList{"pngquant"} << "/app/pngquant.2.12.3";
    QTest::newRow("plain pngquant beside")
        << pngquant << false << QStringList{"pngquant"} << QStringList{"pngquant"} << "/app/pngquant";
    QTest::newRow("pngquant on PATH") << pngquant << false << QStringList() << QStringList{"pngquant"}
                                      << "/bin/pngquant";
    QTest::newRow("decoder never from PATH") << raw << false << QStringList() << QStringList{"ConvertToJpg"}
                                             << "/app/decoder/ConverterToJpg/ConvertToJpg";
    QTest::newRow("installed decoder beside bin/")
        << raw << false << QStringList{"../lib/quorvane/ConvertToJpg"} << QStringList() << "/lib/quorvane/ConvertToJpg";
    QTest::newRow("the application folder's decoder wins")
        << raw << false << QStringList{"../lib/quorvane/ConvertToJpg", "decoder/ConverterToJpg/ConvertToJpg"}
        << QStringList() << "/app/decoder/ConverterToJpg/ConvertToJpg";
    // Windows: files beside the program carry .exe; the PATH lookup adds it itself.
    QTest::newRow("windows: magick.exe beside")
        << magick << true << QStringList{"magick.exe"} << QStringList{"magick", "convert"} << "/app/magick.exe";
    QTest::newRow("windows: a magick without .exe is not the program")
        << magick << true << QStringList{"magick"} << QStringList() << "/app/magick.exe";
    QTest::newRow("windows: magick on PATH")
        << magick << true << QStringList() << QStringList{"magick", "convert"} << "/bin/magick";
    QTest::newRow("windows: System32's convert is never ImageMagick")
        << magick << true << QStringList() << QStringList{"convert"} << "/app/magick.exe";
    QTest::newRow("windows: versioned pngquant") << pngquant << true
                                                 << QStringList{"pngquant.exe", "pngquant.2.12.3.exe"}
                                                 << QStringList() << "/app/pngquant.2.12.3.exe";
    QTest::newRow("windows: the decoder in its folder")
        << raw << true << QStringList{"decoder/ConverterToJpg/ConvertToJpg.exe"} << QStringList{"ConvertToJpg"}
        << "/app/decoder/ConverterToJpg/ConvertToJpg.exe";
    QTest::newRow("windows: no decoder") << raw << true << QStringList() << QStringList{"ConvertToJpg"}
                                         << "/app/decoder/ConverterToJpg/ConvertToJpg.exe";
}

void TestCommandLists::locate()
{
    QFETCH(int, tool);
    QFETCH(bool, windows);
    QFETCH(QStringList, inAppDir);
    QFETCH(QStringList, onPath);
    QFETCH(QString, expected);
    const QString found = ToolLocator::locate(
        ToolLocator::Tool(tool), QStringLiteral("/app"),
        [&](const QString &path) { return inAppDir.contains(QDir(QStringLiteral("/app")).relativeFilePath(path)); },
        [&](const QString &name) { return onPath.contains(name) ? QStringLiteral("/bin/") + name : QString(); },
        windows ? ToolLocator::Platform::Windows : ToolLocator::Platform::Unix);
    QCOMPARE(found, expected);
}

QTEST_APPLESS_MAIN(TestCommandLists)
#include "tst_commandlists.moc"
