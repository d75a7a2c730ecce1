#include "batch/engine/BatchTypes.h"
#include "CommandLists.h"
#include "ToolLocator.h"

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
    void pngArgs_data();
    void pngArgs();
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
    QCOMPARE(CommandLists::convertArgs(settings, input, QStringLiteral("/o/out"), fmt).documented(), expected);
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

void TestCommandLists::rawArgs()
{
    QCOMPARE(CommandLists::rawArgs(QStringLiteral("/s/a b.CR2"), QStringLiteral("/t/081530124.jpg")),
             QStringList({QStringLiteral("/s/a b.CR2"), QStringLiteral("/t/081530124.jpg")}));
}

void TestCommandLists::debugLines()
{
    const QStringList args = CommandLists::convertArgs(job(Operation::Convert), QStringLiteral("/s/a.jpg"),
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
    QTest::addColumn<QStringList>("inAppDir");
    QTest::addColumn<QStringList>("onPath");
    QTest::addColumn<QString>("expected");
    const int magick = int(ToolLocator::Tool::ImageMagick);
    const int pngquant = int(ToolLocator::Tool::Pngquant);
    const int raw = int(ToolLocator::Tool::RawDecoder);
    QTest::newRow("magick beside the program wins")
        << magick << QStringList{"magick"} << QStringList{"magick", "convert"} << "/app/magick";
    QTest::newRow("magick on PATH") << magick << QStringList() << QStringList{"magick", "convert"} << "/bin/magick";
    QTest::newRow("ImageMagick 6: convert on PATH")
        << magick << QStringList() << QStringList{"convert"} << "/bin/convert";
    QTest::newRow("no ImageMagick: a path that fails to start")
        << magick << QStringList() << QStringList() << "/app/magick";
    QTest::newRow("versioned pngquant first")
        << pngquant << QStringList{"pngquant", "pngquant.2.12.3"} << QStringList{"pngquant"} << "/app/pngquant.2.12.3";
    QTest::newRow("plain pngquant beside")
        << pngquant << QStringList{"pngquant"} << QStringList{"pngquant"} << "/app/pngquant";
    QTest::newRow("pngquant on PATH") << pngquant << QStringList() << QStringList{"pngquant"} << "/bin/pngquant";
    QTest::newRow("decoder never from PATH")
        << raw << QStringList() << QStringList{"ConvertToJpg"} << "/app/decoder/ConverterToJpg/ConvertToJpg";
    QTest::newRow("installed decoder beside bin/")
        << raw << QStringList{"../lib/quorvane/ConvertToJpg"} << QStringList() << "/lib/quorvane/ConvertToJpg";
    QTest::newRow("the application folder's decoder wins")
        << raw << QStringList{"../lib/quorvane/ConvertToJpg", "decoder/ConverterToJpg/ConvertToJpg"} << QStringList()
        << "/app/decoder/ConverterToJpg/ConvertToJpg";
}

void TestCommandLists::locate()
{
    QFETCH(int, tool);
    QFETCH(QStringList, inAppDir);
    QFETCH(QStringList, onPath);
    QFETCH(QString, expected);
    const QString found = ToolLocator::locate(
        ToolLocator::Tool(tool), QStringLiteral("/app"),
        [&](const QString &path) { return inAppDir.contains(QDir(QStringLiteral("/app")).relativeFilePath(path)); },
        [&](const QString &name) { return onPath.contains(name) ? QStringLiteral("/bin/") + name : QString(); });
    QCOMPARE(found, expected);
}

QTEST_APPLESS_MAIN(TestCommandLists)
#include "tst_commandlists.moc"
