#include "support/Fixtures.h"
#include "thumbnails/ThumbnailCache.h"
#include "thumbnails/Thumbnailer.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

Q_DECLARE_METATYPE(ThumbnailSize)

// The shared cache and the thumbnailer, against a private XDG_CACHE_HOME.
class TestThumbnails : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sizeForPixels_data();
    void sizeForPixels();
    void uriAndName_data();
    void uriAndName();
    void writtenThumbnailIsValid_data();
    void writtenThumbnailIsValid();
    void cachedThumbnail_data();
    void cachedThumbnail();
    void failureRecordedOnce();
    void upright_data();
    void upright();
    void exifThumbnailChoice_data();
    void exifThumbnailChoice();
    void urgentFirst();
    void nothingStoredOfTheCache();

private:
    std::unique_ptr<Thumbnailer> thumbnailer();
    Thumbnail thumbnailOf(const QString &path, ThumbnailSize size);
    QString root() const { return cacheHome->path() + QStringLiteral("/thumbnails"); }

    std::unique_ptr<QTemporaryDir> cacheHome;
    std::unique_ptr<QTemporaryDir> files;
    std::shared_ptr<std::atomic<int>> decodes;
};

namespace {

// A picture whose left half is red and right half blue: where the red ends up
// says how it was turned.
QImage halves(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    return image;
}

// The side ("left", "right", "top", "bottom") where image is red and the other
// side is not.
QString redSide(const QImage &image)
{
    const int w = image.width();
    const int h = image.height();
    const auto red = [&](int x, int y) {
        const QColor c(image.pixel(x, y));
        return c.red() > 200 && c.blue() < 60;
    };
    const bool left = red(w / 8, h / 2);
    const bool right = red(w - 1 - w / 8, h / 2);
    const bool top = red(w / 2, h / 8);
    const bool bottom = red(w / 2, h - 1 - h / 8);
    if (left != right)
        return left ? QStringLiteral("left") : QStringLiteral("right");
    if (top != bottom)
        return top ? QStringLiteral("top") : QStringLiteral("bottom");
    return QString();
}

bool isGreen(const QImage &image)
{
    const QColor c(image.pixel(image.width() / 2, image.height() / 2));
    return c.green() > 100 && c.red() < 60 && c.blue() < 60;
}

// What another program writes into the cache: ImageMagick setting the keys itself.
bool magickThumbnail(const QString &out, const QSize &size, const QString &uri, const QString &mtime,
                     const QString &fileSize)
{
    QDir().mkpath(QFileInfo(out).absolutePath());
    QStringList args{QStringLiteral("-size"), QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
                     QStringLiteral("xc:green"), QStringLiteral("-set"), QStringLiteral("Thumb::URI"), uri,
                     QStringLiteral("-set"), QStringLiteral("Thumb::MTime"), mtime};
    if (!fileSize.isEmpty())
        args << QStringLiteral("-set") << QStringLiteral("Thumb::Size") << fileSize;
    args << QStringLiteral("PNG32:") + out;
    return QProcess::execute(QStringLiteral("convert"), args) == 0;
}

} // namespace

void TestThumbnails::init()
{
    cacheHome = std::make_unique<QTemporaryDir>();
    files = std::make_unique<QTemporaryDir>();
    QVERIFY(cacheHome->isValid() && files->isValid());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome->path()));
    decodes = std::make_shared<std::atomic<int>>(0);
}

std::unique_ptr<Thumbnailer> TestThumbnails::thumbnailer()
{
    auto count = decodes;
    return std::make_unique<Thumbnailer>(
        ThumbnailCache(), [count](const QString &path, int longSide, const std::function<bool()> &) {
            ++*count;
            QImageReader reader(path);
            reader.setAutoTransform(true);
            const QSize size = reader.size();
            if (size.isValid() && qMax(size.width(), size.height()) > longSide)
                reader.setScaledSize(size.scaled(longSide, longSide, Qt::KeepAspectRatio));
            return reader.read();
        });
}

Thumbnail TestThumbnails::thumbnailOf(const QString &path, ThumbnailSize size)
{
    auto maker = thumbnailer();
    QSignalSpy ready(maker.get(), &Thumbnailer::ready);
    maker->want({path}, size);
    if (!ready.wait(30000) || ready.size() != 1)
        return {};
    return ready.at(0).at(0).value<Thumbnail>();
}

void TestThumbnails::sizeForPixels_data()
{
    QTest::addColumn<int>("devicePixels");
    QTest::addColumn<ThumbnailSize>("size");
    QTest::newRow("small cell") << 48 << ThumbnailSize::Normal;
    QTest::newRow("128 exactly") << 128 << ThumbnailSize::Normal;
    QTest::newRow("just over 128") << 129 << ThumbnailSize::Large;
    QTest::newRow("128 at 2x") << 256 << ThumbnailSize::Large;
    QTest::newRow("300") << 300 << ThumbnailSize::XLarge;
    QTest::newRow("1024") << 1024 << ThumbnailSize::XXLarge;
    QTest::newRow("beyond every size") << 4000 << ThumbnailSize::XXLarge;
}

void TestThumbnails::sizeForPixels()
{
    QFETCH(int, devicePixels);
    QFETCH(ThumbnailSize, size);
    QCOMPARE(Thumbnails::sizeFor(devicePixels), size);
}

void TestThumbnails::uriAndName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("uri");
    QTest::newRow("plain") << QStringLiteral("/home/jens/photos/me.png")
                           << QByteArray("file:///home/jens/photos/me.png");
    QTest::newRow("space") << QStringLiteral("/tmp/a b.jpg") << QByteArray("file:///tmp/a%20b.jpg");
    QTest::newRow("Chinese as UTF-8") << QStringLiteral("/tmp/照片.jpg")
                                      << QByteArray("file:///tmp/%E7%85%A7%E7%89%87.jpg");
    QTest::newRow("reserved marks escaped") << QStringLiteral("/tmp/a#b;c?[1]%.jpg")
                                            << QByteArray("file:///tmp/a%23b%3Bc%3F%5B1%5D%25.jpg");
    QTest::newRow("path-safe marks kept") << QStringLiteral("/tmp/x!$&'()*+,=@~-_.jpg")
                                          << QByteArray("file:///tmp/x!$&'()*+,=@~-_.jpg");
    QTest::newRow("cleaned") << QStringLiteral("/tmp//a/../b.jpg") << QByteArray("file:///tmp/b.jpg");
}

void TestThumbnails::uriAndName()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, uri);
    QCOMPARE(Thumbnails::fileUri(path), uri);
    if (QTest::currentDataTag() == QLatin1String("plain")) // the example every implementation shares
        QCOMPARE(Thumbnails::fileName(uri), QStringLiteral("c6ee772d9e49320e97ec29a7eb5b1697.png"));
}

void TestThumbnails::writtenThumbnailIsValid_data()
{
    QTest::addColumn<ThumbnailSize>("size");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("normal") << ThumbnailSize::Normal << QStringLiteral("normal") << QSize(128, 96);
    QTest::newRow("large") << ThumbnailSize::Large << QStringLiteral("large") << QSize(256, 192);
    QTest::newRow("x-large, never enlarged") << ThumbnailSize::XLarge << QStringLiteral("x-large") << QSize(400, 300);
}

void TestThumbnails::writtenThumbnailIsValid()
{
    QFETCH(ThumbnailSize, size);
    QFETCH(QString, folder);
    QFETCH(QSize, expected);
    const QString photo = files->filePath(QStringLiteral("photo one.jpg"));
    QVERIFY(Fixtures::writeImage(photo, QSize(400, 300)));

    const Thumbnail made = thumbnailOf(photo, size);
    QVERIFY(!made.failed);
    QCOMPARE(made.image.size(), expected);

    const QString folderPath = root() + QLatin1Char('/') + folder;
    const QString name = Thumbnails::fileName(QByteArray("file://") + QUrl::toPercentEncoding(photo, "/"));
    const QStringList entries = QDir(folderPath).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(entries, QStringList{name}); // no temporary file left beside it
    QImageReader reader(folderPath + QLatin1Char('/') + name);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage stored = reader.read();
    QCOMPARE(stored.size(), expected);
    QCOMPARE(stored.text(QStringLiteral("Thumb::URI")), QUrl::fromLocalFile(photo).toString(QUrl::FullyEncoded));
    const QFileInfo info(photo);
    QCOMPARE(stored.text(QStringLiteral("Thumb::MTime")), QString::number(info.lastModified().toSecsSinceEpoch()));
    QCOMPARE(stored.text(QStringLiteral("Thumb::Size")), QString::number(info.size()));
    QCOMPARE(stored.text(QStringLiteral("Thumb::Mimetype")), QStringLiteral("image/jpeg"));

    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    QCOMPARE(QFile::permissions(folderPath + QLatin1Char('/') + name), ownerOnly);
    const auto ownerDir = ownerOnly | QFile::ExeOwner | QFile::ExeUser;
    QCOMPARE(QFile::permissions(root()), ownerDir);
    QCOMPARE(QFile::permissions(folderPath), ownerDir);
}

void TestThumbnails::cachedThumbnail_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<qint64>("mtimeOffset");
    QTest::addColumn<QString>("sizeKey"); // "right", "wrong" or "" (left out)
    QTest::addColumn<bool>("used");
    QTest::newRow("valid") << QStringLiteral("normal") << qint64(0) << QString() << true;
    QTest::newRow("valid with its size") << QStringLiteral("normal") << qint64(0) << QStringLiteral("right") << true;
    QTest::newRow("a larger one scaled") << QStringLiteral("large") << qint64(0) << QString() << true;
    QTest::newRow("stale: other MTime") << QStringLiteral("normal") << qint64(-60) << QString() << false;
    QTest::newRow("stale: other size") << QStringLiteral("normal") << qint64(0) << QStringLiteral("wrong") << false;
}

void TestThumbnails::cachedThumbnail()
{
    QFETCH(QString, folder);
    QFETCH(qint64, mtimeOffset);
    QFETCH(QString, sizeKey);
    QFETCH(bool, used);
    const QString photo = files->filePath(QStringLiteral("photo.png"));
    QVERIFY(Fixtures::writeImage(photo, QSize(400, 300), Qt::red));
    const QFileInfo info(photo);
    const QString uri = QString::fromLatin1(Thumbnails::fileUri(photo));
    const QString fileSize =
        sizeKey.isEmpty() ? QString() : QString::number(info.size() + (sizeKey == QLatin1String("wrong") ? 1 : 0));
    const QSize written = folder == QLatin1String("large") ? QSize(256, 192) : QSize(128, 96);
    const QString thumbPath = root() + QLatin1Char('/') + folder + QLatin1Char('/') + Thumbnails::fileName(uri.toLatin1());
    QVERIFY(magickThumbnail(thumbPath, written, uri,
                            QString::number(info.lastModified().toSecsSinceEpoch() + mtimeOffset), fileSize));

    const Thumbnail got = thumbnailOf(photo, ThumbnailSize::Normal);
    QVERIFY(!got.failed);
    QCOMPARE(got.image.size(), QSize(128, 96));
    QCOMPARE(isGreen(got.image), used);
    QCOMPARE(decodes->load(), used ? 0 : 1);
    if (!used) { // remade in its place, with the file's keys
        const QImage stored(thumbPath);
        QVERIFY(!isGreen(stored));
        QCOMPARE(stored.text(QStringLiteral("Thumb::MTime")), QString::number(info.lastModified().toSecsSinceEpoch()));
    }
}

void TestThumbnails::failureRecordedOnce()
{
    const QString broken = files->filePath(QStringLiteral("broken.jpg"));
    QVERIFY(Fixtures::writeBytes(broken, QByteArray("\xff\xd8 not a picture at all", 24)));

    QVERIFY(thumbnailOf(broken, ThumbnailSize::Normal).failed);
    QCOMPARE(decodes->load(), 1);
    const QString mark = root() + QStringLiteral("/fail/quorvane-" QUORVANE_VERSION "/")
        + Thumbnails::fileName(Thumbnails::fileUri(broken));
    const QImage recorded(mark);
    QCOMPARE(recorded.text(QStringLiteral("Thumb::URI")), QString::fromLatin1(Thumbnails::fileUri(broken)));
    QCOMPARE(recorded.text(QStringLiteral("Thumb::MTime")),
             QString::number(QFileInfo(broken).lastModified().toSecsSinceEpoch()));
    QVERIFY(!QDir(root() + QStringLiteral("/normal")).exists()
            || QDir(root() + QStringLiteral("/normal")).isEmpty());

    // Another visit (a new thumbnailer, nothing in memory) does not try again...
    QVERIFY(thumbnailOf(broken, ThumbnailSize::Normal).failed);
    QCOMPARE(decodes->load(), 1);

    // ...until the file changes.
    QFile touched(broken);
    QVERIFY(touched.open(QIODevice::ReadWrite));
    QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    touched.close();
    QVERIFY(thumbnailOf(broken, ThumbnailSize::Normal).failed);
    QCOMPARE(decodes->load(), 2);
}

void TestThumbnails::upright_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("withExifThumbnail");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("red");
    const QSize wide(128, 96);
    const QSize tall(96, 128);
    for (const bool exif : {true, false}) {
        const char *source = exif ? "EXIF thumbnail" : "decoded";
        QTest::addRow("%s, 1", source) << 1 << exif << wide << QStringLiteral("left");
        QTest::addRow("%s, 2 mirrored", source) << 2 << exif << wide << QStringLiteral("right");
        QTest::addRow("%s, 3 half turn", source) << 3 << exif << wide << QStringLiteral("right");
        QTest::addRow("%s, 4 flipped", source) << 4 << exif << wide << QStringLiteral("left");
        QTest::addRow("%s, 5 transposed", source) << 5 << exif << tall << QStringLiteral("top");
        QTest::addRow("%s, 6 right turn", source) << 6 << exif << tall << QStringLiteral("top");
        QTest::addRow("%s, 7 transversed", source) << 7 << exif << tall << QStringLiteral("bottom");
        QTest::addRow("%s, 8 left turn", source) << 8 << exif << tall << QStringLiteral("bottom");
    }
}

void TestThumbnails::upright()
{
    QFETCH(int, orientation);
    QFETCH(bool, withExifThumbnail);
    QFETCH(QSize, size);
    QFETCH(QString, red);
    const QString photo = files->filePath(QStringLiteral("turned.jpg"));
    if (withExifThumbnail)
        QVERIFY(Fixtures::writeJpegWithExifThumbnail(photo, halves({640, 480}), halves({160, 120}), orientation));
    else
        QVERIFY(Fixtures::writeJpegWithOrientation(photo, halves({640, 480}), orientation));

    const Thumbnail got = thumbnailOf(photo, ThumbnailSize::Normal);
    QCOMPARE(got.image.size(), size);
    QCOMPARE(redSide(got.image), red);
    QCOMPARE(redSide(QImage(ThumbnailCache().pathFor(photo, ThumbnailSize::Normal))), red);
    QCOMPARE(decodes->load(), withExifThumbnail ? 0 : 1);
}

void TestThumbnails::exifThumbnailChoice_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("embedded");
    QTest::addColumn<ThumbnailSize>("size");
    QTest::addColumn<bool>("used");
    QTest::newRow("covers normal") << QSize(640, 480) << QSize(160, 120) << ThumbnailSize::Normal << true;
    QTest::newRow("too small for large") << QSize(640, 480) << QSize(160, 120) << ThumbnailSize::Large << false;
    QTest::newRow("padded to another shape") << QSize(640, 360) << QSize(160, 120) << ThumbnailSize::Normal << false;
}

void TestThumbnails::exifThumbnailChoice()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, embedded);
    QFETCH(ThumbnailSize, size);
    QFETCH(bool, used);
    const QString photo = files->filePath(QStringLiteral("phone.jpg"));
    QImage small(embedded, QImage::Format_RGB32);
    small.fill(Qt::green);
    QVERIFY(Fixtures::writeJpegWithExifThumbnail(photo, halves(picture), small, 1));

    const Thumbnail got = thumbnailOf(photo, size);
    QVERIFY(!got.failed);
    QCOMPARE(isGreen(got.image), used);
    QCOMPARE(decodes->load(), used ? 0 : 1);
}

void TestThumbnails::urgentFirst()
{
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        paths << files->filePath(QStringLiteral("p%1.png").arg(i));
        QVERIFY(Fixtures::writeImage(paths.last(), QSize(300, 200)));
    }
    auto maker = thumbnailer();
    maker->setThreads(1);
    QSignalSpy ready(maker.get(), &Thumbnailer::ready);
    maker->want(paths, ThumbnailSize::Normal);
    // The caller scrolled: the last ones are what it now shows.
    QStringList reordered = paths.mid(8);
    reordered += paths.mid(0, 8);
    maker->want(reordered, ThumbnailSize::Normal);
    QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 12, 30000);
    QStringList order;
    for (const auto &args : ready)
        order << args.at(0).value<Thumbnail>().path;
    // At most the one already taken runs before them.
    const int firstUrgent = order.indexOf(paths.at(8));
    QVERIFY2(firstUrgent <= 1, qPrintable(order.join(QLatin1Char(' '))));
    for (int i = 9; i < 12; ++i)
        QCOMPARE(order.indexOf(paths.at(i)), firstUrgent + i - 8);
    for (const QString &path : paths)
        QVERIFY(!maker->thumbnail(path, ThumbnailSize::Normal).isNull());
}

void TestThumbnails::nothingStoredOfTheCache()
{
    // A view of a cache folder: its files get thumbnails, the folder no new files.
    const QString folder = root() + QStringLiteral("/normal");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Fixtures::writeImage(folder + QStringLiteral("/picture.png"), QSize(300, 200)));
    QVERIFY(Fixtures::writeBytes(folder + QStringLiteral("/broken.png"), QByteArray("not a picture")));
    QVERIFY(!thumbnailOf(folder + QStringLiteral("/picture.png"), ThumbnailSize::Normal).failed);
    QVERIFY(thumbnailOf(folder + QStringLiteral("/broken.png"), ThumbnailSize::Normal).failed);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
    QVERIFY(!QDir(root() + QStringLiteral("/fail")).exists());
}

QTEST_MAIN(TestThumbnails)
#include "tst_thumbnails.moc"
