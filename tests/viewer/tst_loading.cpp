#include "app/AppSetup.h"
#include "FolderBrowser.h"
#include "ImageLoadTask.h"
#include "ImageLoader.h"
#include "viewer/ImageView.h"
#include "widgets/DropArea.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "support/Fixtures.h"
#include "support/ShownView.h"

class TestLoading : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void undecodableFiles_data();
    void undecodableFiles();
    void browsing();
    void listingFilter();
    void orderFollowsRenames();
    void dropShowsFirstUrlOnly();
    void dropFolder_data();
    void dropFolder();

    void rawDecodes();
    void greyRaw();
    void rawOrientation_data();
    void rawOrientation();
    void brokenRaw_data();
    void brokenRaw();
    void lateRawResultDropped();

private:
    QTemporaryDir tmp;
};

void TestLoading::initTestCase()
{
    AppSetup::run();
    QVERIFY(tmp.isValid());
}

// --- loading ------------------------------------------------------------

void TestLoading::undecodableFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // "<missing>": no file
    QTest::addColumn<QString>("reason");

    QTemporaryDir scratch;
    const QString jpeg = scratch.filePath(QStringLiteral("whole.jpg"));
    QVERIFY(Fixtures::writeImage(jpeg, QSize(64, 64)));
    QFile file(jpeg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();

    QByteArray noise(4096, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);

    QTest::newRow("zero bytes") << "empty.jpg" << QByteArray() << QStringLiteral("文件为空");
    QTest::newRow("jpeg header only") << "cut.jpg" << whole.left(120) << QStringLiteral("文件已损坏");
    QTest::newRow("random bytes as png") << "noise.png" << noise << QStringLiteral("不是图片文件");
    QTest::newRow("random bytes as gif") << "noise.gif" << noise << QStringLiteral("不是图片文件");
    QTest::newRow("no dot at all") << "README" << QByteArray("plain text") << QStringLiteral("不是图片文件");
    QTest::newRow("missing") << "gone.png" << QByteArray("<missing>") << QStringLiteral("文件不存在");

    // Overflows a buffer in LibRaw's own parser: the decoder process dies, not the view.
    QFile crafted(Fixtures::testsDir() + QStringLiteral("/fixtures/raw-parser-overflow.dng"));
    QVERIFY(crafted.open(QIODevice::ReadOnly));
    QTest::newRow("dng crashing the parser") << "overflow.dng" << crafted.readAll() << QStringLiteral("文件已损坏");
    // Sizes only the decoder learns: refused before a pixel is decoded.
    QByteArray tga(18, '\0');
    tga[2] = 2; // uncompressed true colour
    tga[12] = char(20000 & 0xff), tga[13] = char(20000 >> 8), tga[14] = tga[12], tga[15] = tga[13];
    tga[16] = 24;
    QTest::newRow("tga declaring 20000 x 20000") << "huge.tga" << tga + QByteArray(256, '\x7f')
                                                 << QStringLiteral("图片过大");
    QTest::newRow("empty svg") << "empty.svg" << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"/>")
                               << QStringLiteral("文件已损坏");
    QTest::newRow("svg drawing nothing")
        << "nothing.svg"
        << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\"><blob r=\"9\"/></svg>")
        << QStringLiteral("文件已损坏");
}

void TestLoading::undecodableFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);

    const QString path = tmp.filePath(QStringLiteral("bad/") + name);
    QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("bad"))));
    if (bytes != "<missing>")
        QVERIFY(Fixtures::writeBytes(path, bytes));

    ShownView shown;
    QSignalSpy announced(&shown.view, &ImageView::shownPathChanged);
    QVERIFY(shown.open(path));
    QCOMPARE(announced.count(), 1);
    QCOMPARE(announced.at(0).at(0).toString(), path);
    QCOMPARE(shown.view.imgFilePath(), path);
    QVERIFY(shown.view.messageLabel()->isVisible());
    QCOMPARE(shown.view.messageLabel()->text(), QStringLiteral("无法显示此图片\n") + reason);
    QVERIFY(!shown.view.hasPicture());
    QCOMPARE(shown.view.pictureSize(), QSizeF(0, 0));
    QVERIFY(shown.view.currentPixmap().isNull());
    QVERIFY(shown.view.graphicsView()->scene()->items().isEmpty());
    QVERIFY(shown.view.loadingLabel()->isHidden());
    QVERIFY(!shown.view.graphicsView()->isHidden());
}

// --- browsing -----------------------------------------------------------

void TestLoading::browsing()
{
    const QString dirPath = tmp.filePath(QStringLiteral("browse"));
    QVERIFY(QDir().mkpath(dirPath));
    QDir dir(dirPath);
    for (const char *name : {"img10.jpg", "img2.jpg", "img1.png", "IMG.JPG"})
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(40, 30)));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("notes.txt")), "x"));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("shot.psd")), "x"));
    QVERIFY(dir.mkdir(QStringLiteral("folder.jpg")));

    const QStringList expected{"IMG.JPG", "img1.png", "img2.jpg", "img10.jpg"};
    QCOMPARE(FolderBrowser::imageNames(dirPath), expected);

    ShownView shown;
    ImageView &view = shown.view;
    QVERIFY(shown.open(dir.filePath(QStringLiteral("img1.png"))));
    QVERIFY(view.nextImg());
    QVERIFY(waitLoaded(view));
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("img2.jpg")));
    QCOMPARE(view.pictureSize(), QSizeF(40, 30));
    QVERIFY(view.nextImg());
    QVERIFY(waitLoaded(view));
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("img10.jpg")));
    QVERIFY(!view.nextImg()); // no wrap-around
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("img10.jpg")));
    QVERIFY(view.prevImg());
    QVERIFY(waitLoaded(view));
    QVERIFY(view.prevImg());
    QVERIFY(waitLoaded(view));
    QVERIFY(view.prevImg());
    QVERIFY(waitLoaded(view));
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("IMG.JPG")));
    QVERIFY(!view.prevImg());

    // A file outside the list stands before the first entry.
    QVERIFY(shown.open(dir.filePath(QStringLiteral("shot.psd"))));
    QVERIFY(!view.prevImg());
    QVERIFY(view.nextImg());
    QVERIFY(waitLoaded(view));
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("IMG.JPG")));

    // The folder is watched: the shown file removed by another program gives way to
    // the one now in its place, and one added meanwhile is stepped to.
    QVERIFY(shown.open(dir.filePath(QStringLiteral("img2.jpg"))));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("img2.jpg"))));
    QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("img3.png")), QSize(10, 10)));
    QTRY_COMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("img3.png")));
    QVERIFY(waitLoaded(view));
    QVERIFY(view.prevImg());
    QVERIFY(waitLoaded(view));
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("img1.png")));

    // The search is exact: a name differing only in case is another file.
    QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("img.jpg")), QSize(10, 10)));
    QVERIFY(shown.open(dir.filePath(QStringLiteral("IMG.JPG"))));
    const QStringList names = FolderBrowser::imageNames(dirPath);
    const int upper = names.indexOf(QStringLiteral("IMG.JPG"));
    QVERIFY(upper >= 0 && names.contains(QStringLiteral("img.jpg")));
    if (upper + 1 < names.size()) {
        QVERIFY(view.nextImg());
        QVERIFY(waitLoaded(view));
        QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(names.at(upper + 1)));
    }
}

// The fast listing reads the entry types itself; it has to keep exactly the entries
// QDir::Files keeps.
void TestLoading::listingFilter()
{
    const QString dirPath = tmp.filePath(QStringLiteral("kinds"));
    QVERIFY(QDir().mkpath(dirPath));
    const QDir dir(dirPath);
    for (const char *name :
         {"plain.jpg", "UPPER.PNG", "Mixed.TiFf", ".hidden.jpg", "no-suffix", "name.", "photo.jpg.txt", "截图 1.webp"})
        QVERIFY(Fixtures::writeBytes(dir.filePath(QString::fromUtf8(name)), "x"));
    QVERIFY(dir.mkpath(QStringLiteral("folder.jpg")));
    const auto path = [&](const char *name) { return QFile::encodeName(dir.filePath(QLatin1String(name))); };
    QCOMPARE(::symlink("plain.jpg", path("link-to-file.jpg")), 0);
    QCOMPARE(::symlink("folder.jpg", path("link-to-folder.jpg")), 0);
    QCOMPARE(::symlink("missing.jpg", path("broken-link.jpg")), 0);
    QCOMPARE(::mkfifo(path("pipe.jpg"), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path("socket.png").constData(), sizeof address.sun_path);
    QCOMPARE(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);

    QStringList fast = FolderBrowser::listImageNames(dirPath);
    QStringList portable = FolderBrowser::listImageNamesPortable(dirPath);
    ::close(sock);
    fast.sort();
    portable.sort();
    QCOMPARE(fast, portable);
    QCOMPARE(fast, (QStringList{"Mixed.TiFf", "UPPER.PNG", "link-to-file.jpg", "plain.jpg", "截图 1.webp"}));
}

// The order of the same folder listed again follows a rename that keeps the number
// of files.
void TestLoading::orderFollowsRenames()
{
    const QString dirPath = tmp.filePath(QStringLiteral("renames"));
    QVERIFY(QDir().mkpath(dirPath));
    QDir dir(dirPath);
    for (const char *name : {"a1.jpg", "a2.jpg", "a3.jpg"})
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), "x"));
    QCOMPARE(FolderBrowser::imageNames(dirPath), (QStringList{"a1.jpg", "a2.jpg", "a3.jpg"}));
    QCOMPARE(FolderBrowser::imageNames(dirPath), (QStringList{"a1.jpg", "a2.jpg", "a3.jpg"}));
    QVERIFY(dir.rename(QStringLiteral("a2.jpg"), QStringLiteral("a20.jpg")));
    QCOMPARE(FolderBrowser::imageNames(dirPath), (QStringList{"a1.jpg", "a3.jpg", "a20.jpg"}));
    // The same names in another folder are that folder's, not a cached answer.
    QCOMPARE(FolderBrowser::imageNames(tmp.filePath(QStringLiteral("nowhere"))), QStringList());
}

void TestLoading::dropShowsFirstUrlOnly()
{
    const QString first = tmp.filePath(QStringLiteral("drop1.png"));
    const QString second = tmp.filePath(QStringLiteral("drop2.png"));
    QVERIFY(Fixtures::writeImage(first, QSize(70, 50)));
    QVERIFY(Fixtures::writeImage(second, QSize(20, 20)));

    ShownView shown;
    // A real drop on the empty-state area, through its signal.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(shown.view.dropArea(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(shown.view.dropArea(), &drop);
    QVERIFY(waitLoaded(shown.view));

    QCOMPARE(shown.view.imgFilePath(), first);
    QCOMPARE(shown.view.pictureSize(), QSizeF(70, 50));
    QVERIFY(shown.view.dropArea()->isHidden());
    QVERIFY(!shown.view.graphicsView()->isHidden());

    shown.view.onDragAndDrop({});
    QCOMPARE(shown.view.imgFilePath(), first);
}

void TestLoading::dropFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("picture"); // what opens: the first picture, or nothing
    QTest::newRow("a folder of pictures") << "dropped folder" << "inside.png";
    QTest::newRow("a folder without pictures") << "notes only" << "";
    QTest::newRow("a folder named like a picture") << "photos.jpg" << "";
}

// A dropped folder opens as a folder does: its first picture, or the empty view.
// The folder itself never becomes the current file (on which Delete would act).
void TestLoading::dropFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, picture);
    const QString dir = tmp.filePath(folder);
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(Fixtures::writeBytes(dir + QStringLiteral("/notes.txt"), "no picture"));
    if (!picture.isEmpty())
        QVERIFY(Fixtures::writeImage(dir + QLatin1Char('/') + picture, QSize(30, 30)));

    const QString before = tmp.filePath(QStringLiteral("shown before the drop.png"));
    QVERIFY(Fixtures::writeImage(before, QSize(20, 10)));
    ShownView shown;
    QVERIFY(shown.open(before));
    shown.view.onDragAndDrop({QUrl::fromLocalFile(dir)});
    if (picture.isEmpty()) {
        QVERIFY(shown.view.imgFilePath().isEmpty());
        QVERIFY(!shown.view.hasPicture());
        QVERIFY(shown.view.dropArea()->isVisible());
        return;
    }
    QCOMPARE(shown.view.imgFilePath(), dir + QLatin1Char('/') + picture);
    QVERIFY(waitLoaded(shown.view));
    QCOMPARE(shown.view.pictureSize(), QSizeF(30, 30));
}

// --- RAW ----------------------------------------------------------------

void TestLoading::rawDecodes()
{
    // A Chinese name: the path reaches LibRaw in the local 8-bit encoding.
    const QString path = tmp.filePath(QStringLiteral("相机 原片.DNG"));
    QVERIFY(Fixtures::writeDng(path, 96, 64));

    ShownView shown;
    shown.view.showImg(path);
    // The spinner waits: a quick load never shows it.
    QVERIFY(shown.view.isLoading());
    QVERIFY(shown.view.loadingLabel()->isHidden());
    const QLabel *label = shown.view.loadingLabel();
    QCOMPARE(label->pos(), QPoint((1200 - label->width()) / 2, (800 - label->height()) / 2));
    QVERIFY(waitLoaded(shown.view));

    const QSizeF size = shown.view.pictureSize();
    QVERIFY2(size.width() >= 90 && size.width() <= 96 && size.height() >= 58 && size.height() <= 64,
             qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
    // Bands red, green, blue, grey from the left; brighter downwards.
    const QImage image = shown.view.currentPixmap().toImage();
    const QColor red = image.pixelColor(image.width() / 8, image.height() * 3 / 4);
    const QColor blue = image.pixelColor(image.width() * 5 / 8, image.height() * 3 / 4);
    QVERIFY2(red.red() > 2 * red.green() && red.red() > 2 * red.blue(), qPrintable(red.name()));
    QVERIFY2(blue.blue() > 2 * blue.red() && blue.blue() > 2 * blue.green(), qPrintable(blue.name()));
    QVERIFY(qGray(image.pixel(image.width() * 7 / 8, image.height() - 2))
            > qGray(image.pixel(image.width() * 7 / 8, 1)));
}

// A monochrome RAW is shown like any other, grey.
void TestLoading::greyRaw()
{
    const QString path = tmp.filePath(QStringLiteral("mono.dng"));
    QVERIFY(Fixtures::writeDng(path, 96, 64, {QStringLiteral("--grey")}));
    ShownView shown;
    QVERIFY(shown.open(path));
    QCOMPARE(shown.view.pictureSize(), QSizeF(96, 64));
    const QImage image = shown.view.currentPixmap().toImage();
    const QRgb low = image.pixel(80, 60);
    QCOMPARE(qRed(low), qBlue(low));
    QVERIFY(qGray(low) > qGray(image.pixel(80, 2)) + 40);
}

// The camera's orientation stands the developed picture upright: the bands (red,
// green, blue, grey from the stored left) end up where the turn puts them.
void TestLoading::rawOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("red");
    QTest::addColumn<QPoint>("blue");
    QTest::newRow("1 as stored") << 1 << QSize(96, 64) << QPoint(12, 32) << QPoint(60, 32);
    QTest::newRow("3 half turn") << 3 << QSize(96, 64) << QPoint(84, 32) << QPoint(36, 32);
    QTest::newRow("6 quarter clockwise") << 6 << QSize(64, 96) << QPoint(32, 12) << QPoint(32, 60);
    QTest::newRow("8 quarter anticlockwise") << 8 << QSize(64, 96) << QPoint(32, 84) << QPoint(32, 36);
}

void TestLoading::rawOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QFETCH(QPoint, red);
    QFETCH(QPoint, blue);
    const QString path = tmp.filePath(QStringLiteral("turned-%1.dng").arg(orientation));
    QVERIFY(Fixtures::writeDng(path, 96, 64, {QStringLiteral("--orientation"), QString::number(orientation)}));
    ShownView shown;
    QVERIFY(shown.open(path));
    const QImage image = shown.view.currentPixmap().toImage();
    QVERIFY2(qAbs(image.width() - size.width()) <= 6 && qAbs(image.height() - size.height()) <= 6,
             qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
    const QColor r = image.pixelColor(red), b = image.pixelColor(blue);
    QVERIFY2(r.red() > 2 * r.green() && r.red() > 2 * r.blue(), qPrintable(r.name()));
    QVERIFY2(b.blue() > 2 * b.red() && b.blue() > 2 * b.green(), qPrintable(b.name()));
}

void TestLoading::brokenRaw_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("keepBytes"); // of a valid DNG; -1: random bytes

    QTest::newRow("zero bytes") << "empty.cr2" << 0;
    QTest::newRow("random bytes") << "noise.nef" << -1;
    QTest::newRow("header only") << "header.dng" << 400;
    QTest::newRow("cut in the pixels") << "cut.dng" << 5000;
}

void TestLoading::brokenRaw()
{
    QFETCH(QString, name);
    QFETCH(int, keepBytes);

    const QString whole = tmp.filePath(QStringLiteral("whole.dng"));
    QVERIFY(QFile::exists(whole) || Fixtures::writeDng(whole, 96, 64));
    QFile file(whole);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    if (keepBytes >= 0) {
        bytes.truncate(keepBytes);
    } else {
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 31 + 7) % 253);
    }
    const QString path = tmp.filePath(name);
    QVERIFY(Fixtures::writeBytes(path, bytes));

    // LibRaw hands back a 0 x 0 memory image for all of these; it must not be read.
    QVERIFY(ImageLoadTask::decode(path).image.isNull());
    ShownView shown;
    shown.view.showImg(path);
    QVERIFY(shown.view.isLoading());
    QVERIFY(waitLoaded(shown.view));
    QCOMPARE(shown.view.pictureSize(), QSizeF(0, 0));
    QVERIFY(shown.view.graphicsView()->scene()->items().isEmpty());
}

void TestLoading::lateRawResultDropped()
{
    const QString raw = tmp.filePath(QStringLiteral("late.dng"));
    const QString png = tmp.filePath(QStringLiteral("now.png"));
    QVERIFY(Fixtures::writeDng(raw, 96, 64));
    QVERIFY(Fixtures::writeImage(png, QSize(33, 22)));

    ShownView shown;
    QVERIFY(shown.open(png));
    QSignalSpy ended(shown.view.loader(), &ImageLoader::decodeEnded);
    shown.view.showImg(raw);
    // While the decode runs the previous picture stays on screen, but it is not the
    // current file's.
    QVERIFY(shown.view.currentPixmap().isNull());
    QCOMPARE(shown.view.pictureSize(), QSizeF(0, 0));
    QVERIFY(!shown.view.hasPicture());
    QCOMPARE(shown.view.graphicsView()->scene()->items().size(), 1);
    shown.view.showImg(png); // before the decode can have come back
    QVERIFY(waitLoaded(shown.view));
    QVERIFY(shown.view.loadingLabel()->isHidden());
    // The RAW decode has ended, and so whatever it delivered has reached the view
    // (a task's results are posted before its end).
    const auto rawEnded = [&] {
        for (const QList<QVariant> &arguments : qAsConst(ended)) {
            if (arguments.at(0).toString() == raw)
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(rawEnded(), 20000);
    QCOMPARE(shown.view.pictureSize(), QSizeF(33, 22));
    QCOMPARE(shown.view.graphicsView()->scene()->items().size(), 1);

    // Results are matched by path; the image-only form still shows what it gets.
    QImage other(12, 8, QImage::Format_RGB32);
    other.fill(Qt::green);
    shown.view.showDecodedPicture(other, tmp.filePath(QStringLiteral("elsewhere.dng")));
    QCOMPARE(shown.view.pictureSize(), QSizeF(33, 22));
    shown.view.showDecodedPicture(other);
    QCOMPARE(shown.view.pictureSize(), QSizeF(12, 8));
    QCOMPARE(shown.view.graphicsView()->scene()->items().size(), 1);
}

QTEST_MAIN(TestLoading)
#include "tst_loading.moc"
