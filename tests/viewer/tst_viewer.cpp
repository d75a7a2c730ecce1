#include "app/AppSetup.h"
#include "batch/shell/CenterShowWT.h"
#include "viewer/FolderBrowser.h"
#include "viewer/ImageLoadTask.h"
#include "viewer/NaturalOrder.h"
#include "viewer/SeeImgMainWT.h"
#include "viewer/ZoomModel.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QWheelEvent>
#include <QSpontaneKeyEvent>

#include <cmath>

#include "support/Fixtures.h"

namespace {

// The view as the main window has it, at a known size.
struct ShownView
{
    SeeImgMainWT view;

    explicit ShownView(const QSize &size = QSize(1200, 800))
    {
        view.resize(size);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
};

void sendMouseMove(QWidget *target, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, target->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

// Delivered as a spontaneous event, so Qt propagates it as it does a real wheel
// turn when the first receiver does not accept it.
void sendWheel(QWidget *target, const QPoint &pos, int deltaY)
{
    QWheelEvent wheel(QPointF(pos), QPointF(target->mapToGlobal(pos)), QPoint(), QPoint(0, deltaY), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::instance()->notify(target, &wheel);
}

bool waitForLoad(SeeImgMainWT &view)
{
    return QTest::qWaitFor([&] { return view.loadingLabel()->isHidden(); }, 20000);
}

} // namespace

class TestViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void zoomSteps_data();
    void zoomSteps();
    void zoomButtonsScaleTheView();
    void fitOrActual_data();
    void fitOrActual();
    void fitWithoutPicture();
    void rotateThenOrigin();
    void wheelKeepsPointAndReports_data();
    void wheelKeepsPointAndReports();
    void arrowsInOuterTenths();

    void undecodableFiles_data();
    void undecodableFiles();
    void naturalOrder_data();
    void naturalOrder();
    void browsing();
    void dropShowsFirstUrlOnly();
    void dropFolder();

    void rawDecodes();
    void brokenRaw_data();
    void brokenRaw();
    void lateRawResultDropped();

private:
    QTemporaryDir tmp;
};

void TestViewer::initTestCase()
{
    AppSetup::run();
    QVERIFY(tmp.isValid());
}

// --- zoom model ---------------------------------------------------------

void TestViewer::zoomSteps_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<int>("steps"); // positive: up, negative: down
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("lastScaleBy");

    const double at27 = std::pow(1.08, 27);
    const double at29 = std::pow(1.08, -29);
    QTest::newRow("27 up") << 1.0 << 27 << at27 << 1.08;
    QTest::newRow("28th up stops at 8") << 1.0 << 28 << 8.0 << 8.0 / at27;
    QTest::newRow("past 8 nothing") << 1.0 << 40 << 8.0 << 1.0;
    QTest::newRow("29 down") << 1.0 << -29 << at29 << 1.0 / 1.08;
    QTest::newRow("30th down stops at 0.1") << 1.0 << -30 << 0.1 << 0.1 / at29;
    QTest::newRow("past 0.1 nothing") << 1.0 << -45 << 0.1 << 1.0;
    // A fit may leave the factor outside the bounds; steps start from there.
    QTest::newRow("fitted below min, up") << 0.05 << 1 << 0.054 << 1.08;
    QTest::newRow("fitted below min, down") << 0.05 << -1 << 0.05 << 1.0;
    QTest::newRow("fitted above max, up") << 9.0 << 1 << 9.0 << 1.0;
    QTest::newRow("fitted above max, down") << 9.0 << -1 << 9.0 / 1.08 << 1.0 / 1.08;
}

void TestViewer::zoomSteps()
{
    QFETCH(double, start);
    QFETCH(int, steps);
    QFETCH(double, expected);
    QFETCH(double, lastScaleBy);

    double factor = start;
    ZoomModel::Step step{1.0, factor};
    for (int i = 0; i < std::abs(steps); ++i) {
        step = steps > 0 ? ZoomModel::stepUp(factor) : ZoomModel::stepDown(factor);
        factor = step.factor;
    }
    if (expected == 8.0 || expected == 0.1)
        QCOMPARE(factor, expected); // the bounds are reached exactly
    else
        QVERIFY2(std::abs(factor - expected) < 1e-9, qPrintable(QString::number(factor, 'g', 17)));
    QVERIFY2(std::abs(step.scaleBy - lastScaleBy) < 1e-9, qPrintable(QString::number(step.scaleBy, 'g', 17)));
    if (steps == 27)
        QCOMPARE(ZoomModel::percentText(factor), QStringLiteral("798%"));
}

// The transform follows the bookkeeping: a fitted picture at zoomFactor 1.0 ends at
// exactly 8 times its fitted scale.
void TestViewer::zoomButtonsScaleTheView()
{
    ShownView shown;
    const QString path = tmp.filePath(QStringLiteral("zoom.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(2400, 1600)));
    shown.view.showImg(path);
    QCOMPARE(shown.view.zoomFactor(), 1.0);
    const double fitted = shown.view.graphicsView()->transform().m11();
    QVERIFY(fitted < 0.6);

    shown.view.zoomIn();
    QCOMPARE(shown.view.zoomFactor(), 1.08);
    QCOMPARE(ZoomModel::percentText(shown.view.zoomFactor()), QStringLiteral("108%"));
    for (int i = 0; i < 40; ++i)
        shown.view.zoomIn();
    QCOMPARE(shown.view.zoomFactor(), 8.0);
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m11() - 8.0 * fitted) < 1e-9);
    for (int i = 0; i < 80; ++i)
        shown.view.zoomOut();
    QCOMPARE(shown.view.zoomFactor(), 0.1);
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m11() - 0.1 * fitted) < 1e-9);
}

void TestViewer::fitOrActual_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("actual");
    QTest::newRow("800x600 actual") << QSize(800, 600) << true;
    QTest::newRow("1199x799 actual") << QSize(1199, 799) << true;
    QTest::newRow("1600x600 fitted") << QSize(1600, 600) << false;
    QTest::newRow("equal width fitted") << QSize(1200, 600) << false;
    QTest::newRow("equal height fitted") << QSize(600, 800) << false;
}

void TestViewer::fitOrActual()
{
    QFETCH(QSize, picture);
    QFETCH(bool, actual);

    ShownView shown;
    const QString path = tmp.filePath(QStringLiteral("fit.png"));
    QVERIFY(Fixtures::writeImage(path, picture));
    shown.view.showImg(path);
    QCOMPARE(shown.view.graphicsView()->size(), QSize(1200, 800));
    QCOMPARE(shown.view.pictureSize(), QSizeF(picture));
    QCOMPARE(shown.view.zoomFactor(), 1.0);
    const QTransform t = shown.view.graphicsView()->transform();
    if (actual) {
        QVERIFY(t.isIdentity());
    } else {
        QVERIFY(t.m11() < 1.0);
        const double fit = ZoomModel::fitFactor(QSizeF(picture), QSize(1200, 800));
        // fitInView keeps a small margin, so the scale is at most the quotient.
        QVERIFY(t.m11() <= fit && t.m11() > fit * 0.99);
    }

    // fitToScreen reports the fitted factor and sets it as the zoom.
    QSignalSpy scale(&shown.view, SIGNAL(notifyScale(double)));
    shown.view.fitToScreen();
    QCOMPARE(scale.count(), 1);
    QCOMPARE(scale.at(0).at(0).toDouble(), std::min(1200.0 / picture.width(), 800.0 / picture.height()));
    QCOMPARE(shown.view.zoomFactor(), scale.at(0).at(0).toDouble());
}

void TestViewer::fitWithoutPicture()
{
    ShownView shown;
    const QString path = tmp.filePath(QStringLiteral("nothing.jpg"));
    QVERIFY(Fixtures::writeBytes(path, QByteArray()));
    shown.view.showImg(path);
    shown.view.rotateView(90);
    shown.view.zoomIn();
    const QTransform before = shown.view.graphicsView()->transform();

    QSignalSpy scale(&shown.view, SIGNAL(notifyScale(double)));
    shown.view.fitToScreen();
    QCOMPARE(scale.count(), 1);
    QCOMPARE(scale.at(0).at(0).toDouble(), 1.0);
    QVERIFY(std::isfinite(shown.view.zoomFactor()));
    QCOMPARE(shown.view.zoomFactor(), 1.08);
    QCOMPARE(shown.view.graphicsView()->transform(), before);
}

void TestViewer::rotateThenOrigin()
{
    ShownView shown;
    const QString path = tmp.filePath(QStringLiteral("rotate.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(3000, 1000)));
    shown.view.showImg(path);
    shown.view.zoomIn();
    shown.view.rotateView(90);
    QCOMPARE(shown.view.zoomFactor(), 1.08); // quarter turns keep the zoom
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m11()) < 1e-9);

    // A fit keeps the turn; only toOrigin clears it.
    shown.view.fitToScreen();
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m11()) < 1e-9);

    QSignalSpy scale(&shown.view, SIGNAL(notifyScale(double)));
    shown.view.toOrigin(true);
    QVERIFY(shown.view.graphicsView()->transform().isIdentity());
    QCOMPARE(shown.view.zoomFactor(), 1.0);
    QCOMPARE(scale.count(), 1);
    QCOMPARE(scale.at(0).at(0).toDouble(), 1.0);
    shown.view.toOrigin(false);
    QCOMPARE(scale.count(), 1);
}

void TestViewer::wheelKeepsPointAndReports_data()
{
    QTest::addColumn<int>("buttonSteps"); // zoom before the wheel turn
    QTest::addColumn<int>("delta");
    QTest::addColumn<double>("reported");
    QTest::newRow("forward") << 10 << 120 << std::pow(1.08, 11);
    QTest::newRow("back") << 10 << -120 << std::pow(1.08, 9);
    QTest::newRow("horizontal only zooms down") << 10 << 0 << std::pow(1.08, 9);
    QTest::newRow("at 8.0 still reports") << 40 << 120 << 8.0;
}

void TestViewer::wheelKeepsPointAndReports()
{
    QFETCH(int, buttonSteps);
    QFETCH(int, delta);
    QFETCH(double, reported);

    ShownView shown;
    const QString path = tmp.filePath(QStringLiteral("wheel.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(1800, 1200)));
    shown.view.showImg(path);
    for (int i = 0; i < buttonSteps; ++i)
        shown.view.zoomIn();

    QWidget *viewport = shown.view.graphicsView()->viewport();
    const QPoint cursor(300, 250);
    const QPointF before = shown.view.graphicsView()->mapToScene(cursor);
    QSignalSpy scale(&shown.view, SIGNAL(notifyScale(double)));
    sendWheel(viewport, cursor, delta);

    QCOMPARE(scale.count(), 1);
    QVERIFY(std::abs(scale.at(0).at(0).toDouble() - reported) < 1e-9);
    const QPointF after = shown.view.graphicsView()->mapToScene(cursor);
    // mapToScene works on whole view pixels: allow one pixel at the current zoom.
    const double tolerance = 1.5 / shown.view.graphicsView()->transform().m11();
    QVERIFY2(QLineF(before, after).length() < tolerance,
             qPrintable(QStringLiteral("%1,%2 -> %3,%4").arg(before.x()).arg(before.y()).arg(after.x()).arg(after.y())));

    // A later button zoom scales around the view centre, not an old one.
    const QPoint centre = viewport->rect().center();
    const QPointF centreBefore = shown.view.graphicsView()->mapToScene(centre);
    shown.view.zoomOut();
    QVERIFY(QLineF(centreBefore, shown.view.graphicsView()->mapToScene(centre)).length()
            < 2.0 / shown.view.graphicsView()->transform().m11());
}

void TestViewer::arrowsInOuterTenths()
{
    ShownView shown(QSize(1000, 600));
    const QString path = tmp.filePath(QStringLiteral("arrows.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(300, 200)));
    shown.view.showImg(path);
    QWidget *viewport = shown.view.graphicsView()->viewport();
    QPushButton *left = shown.view.leftArrowBtn();
    QPushButton *right = shown.view.rightArrowBtn();

    sendMouseMove(viewport, QPoint(500, 300));
    QVERIFY(left->isHidden() && right->isHidden());
    sendMouseMove(viewport, QPoint(99, 300));
    QVERIFY(!left->isHidden() && right->isHidden());
    QCOMPARE(left->pos(), QPoint(30, (600 - left->height()) / 2));
    sendMouseMove(viewport, QPoint(100, 300)); // exactly a tenth is the middle
    QVERIFY(left->isHidden() && right->isHidden());
    sendMouseMove(viewport, QPoint(901, 300));
    QVERIFY(left->isHidden() && !right->isHidden());
    QCOMPARE(right->pos(), QPoint(1000 - right->width() - 30, (600 - right->height()) / 2));
    sendMouseMove(viewport, QPoint(500, 300));
    QVERIFY(left->isHidden() && right->isHidden());
}

// --- loading ------------------------------------------------------------

void TestViewer::undecodableFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // empty name: a folder

    QTemporaryDir scratch;
    const QString jpeg = scratch.filePath(QStringLiteral("whole.jpg"));
    QVERIFY(Fixtures::writeImage(jpeg, QSize(64, 64)));
    QFile file(jpeg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();

    QByteArray noise(4096, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);

    QTest::newRow("zero bytes") << "empty.jpg" << QByteArray();
    QTest::newRow("jpeg header only") << "cut.jpg" << whole.left(120);
    QTest::newRow("random bytes as png") << "noise.png" << noise;
    QTest::newRow("random bytes as gif") << "noise.gif" << noise;
    QTest::newRow("no dot at all") << "README" << QByteArray("plain text");
    QTest::newRow("folder") << "photos.jpg" << QByteArray("<dir>");
    QTest::newRow("missing") << "gone.png" << QByteArray("<missing>");
}

void TestViewer::undecodableFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);

    const QString path = tmp.filePath(QStringLiteral("bad/") + name);
    QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("bad"))));
    if (bytes == "<dir>")
        QVERIFY(QDir().mkpath(path));
    else if (bytes != "<missing>")
        QVERIFY(Fixtures::writeBytes(path, bytes));

    ShownView shown;
    QSignalSpy announced(&shown.view, SIGNAL(setImgFilePath(QString)));
    shown.view.showImg(path);
    QCOMPARE(announced.count(), 1);
    QCOMPARE(announced.at(0).at(0).toString(), path);
    QCOMPARE(shown.view.imgFilePath(), path);
    QCOMPARE(shown.view.pictureSize(), QSizeF(0, 0));
    QVERIFY(shown.view.currentPixmap().isNull());
    QVERIFY(shown.view.graphicsView()->scene()->items().isEmpty());
    QVERIFY(shown.view.loadingLabel()->isHidden());
    QVERIFY(!shown.view.graphicsView()->isHidden());
}

// --- browsing -----------------------------------------------------------

void TestViewer::naturalOrder_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("digits by value")
        << QStringList{"img10.jpg", "img2.jpg", "img1.png"} << QStringList{"img1.png", "img2.jpg", "img10.jpg"};
    QTest::newRow("long runs") << QStringList{"p100.png", "p99.png", "p1000.png", "p9.png"}
                               << QStringList{"p9.png", "p99.png", "p100.png", "p1000.png"};
    // The collator finds these equal; code point order decides, whatever the input.
    QTest::newRow("leading zeros, one order") << QStringList{"a1.png", "a01.png", "a001.png"}
                                              << QStringList{"a001.png", "a01.png", "a1.png"};
    QTest::newRow("leading zeros, other order") << QStringList{"a01.png", "a001.png", "a1.png"}
                                                << QStringList{"a001.png", "a01.png", "a1.png"};
}

// Runs with LANG and LC_ALL empty under CTest: the C locale's collator would put
// img10 before img2.
void TestViewer::naturalOrder()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    QVERIFY(NaturalOrder::collationLocale().language() != QLocale::C);
    NaturalOrder::sort(names);
    QCOMPARE(names, expected);
}

void TestViewer::browsing()
{
    const QString dirPath = tmp.filePath(QStringLiteral("browse"));
    QVERIFY(QDir().mkpath(dirPath));
    QDir dir(dirPath);
    for (const char *name : {"img10.jpg", "img2.jpg", "img1.png", "IMG.JPG"})
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(40, 30)));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("notes.txt")), "x"));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("shot.heic")), "x"));
    QVERIFY(dir.mkdir(QStringLiteral("folder.jpg")));

    const QStringList expected{"IMG.JPG", "img1.png", "img2.jpg", "img10.jpg"};
    QCOMPARE(FolderBrowser::imageNames(dirPath), expected);

    ShownView shown;
    SeeImgMainWT &view = shown.view;
    view.showImg(dir.filePath(QStringLiteral("img1.png")));
    QVERIFY(view.nextImg());
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("img2.jpg")));
    QCOMPARE(view.pictureSize(), QSizeF(40, 30));
    QVERIFY(view.nextImg());
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("img10.jpg")));
    QVERIFY(!view.nextImg()); // no wrap-around
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("img10.jpg")));
    QVERIFY(view.prevImg());
    QVERIFY(view.prevImg());
    QVERIFY(view.prevImg());
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("IMG.JPG")));
    QVERIFY(!view.prevImg());

    // A file outside the list stands before the first entry.
    view.showImg(dir.filePath(QStringLiteral("shot.heic")));
    QVERIFY(!view.prevImg());
    QVERIFY(view.nextImg());
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("IMG.JPG")));

    // The listing is read on every step: a file removed meanwhile counts as outside,
    // one added meanwhile is found.
    view.showImg(dir.filePath(QStringLiteral("img2.jpg")));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("img2.jpg"))));
    QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("img3.png")), QSize(10, 10)));
    QVERIFY(!view.prevImg());
    QVERIFY(view.nextImg());
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("IMG.JPG")));
    QVERIFY(view.nextImg());
    QVERIFY(view.nextImg());
    QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(QStringLiteral("img3.png")));

    // The search is exact: a name differing only in case is another file.
    QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("img.jpg")), QSize(10, 10)));
    view.showImg(dir.filePath(QStringLiteral("IMG.JPG")));
    const QStringList names = FolderBrowser::imageNames(dirPath);
    const int upper = names.indexOf(QStringLiteral("IMG.JPG"));
    QVERIFY(upper >= 0 && names.contains(QStringLiteral("img.jpg")));
    if (upper + 1 < names.size()) {
        QVERIFY(view.nextImg());
        QCOMPARE(view.imgFilePath(), dir.absoluteFilePath(names.at(upper + 1)));
    }
}

void TestViewer::dropShowsFirstUrlOnly()
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

    QCOMPARE(shown.view.imgFilePath(), first);
    QCOMPARE(shown.view.pictureSize(), QSizeF(70, 50));
    QVERIFY(shown.view.dropArea()->isHidden());
    QVERIFY(!shown.view.graphicsView()->isHidden());

    shown.view.onDragAndDrop({});
    QCOMPARE(shown.view.imgFilePath(), first);
}

void TestViewer::dropFolder()
{
    const QString folder = tmp.filePath(QStringLiteral("dropped folder"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Fixtures::writeImage(folder + QStringLiteral("/inside.png"), QSize(30, 30)));

    ShownView shown;
    shown.view.onDragAndDrop({QUrl::fromLocalFile(folder)});
    QCOMPARE(shown.view.imgFilePath(), folder);
    QCOMPARE(shown.view.pictureSize(), QSizeF(0, 0));
    QVERIFY(shown.view.dropArea()->isHidden());
}

// --- RAW ----------------------------------------------------------------

void TestViewer::rawDecodes()
{
    // A Chinese name: the path reaches LibRaw in the local 8-bit encoding.
    const QString path = tmp.filePath(QStringLiteral("相机 原片.DNG"));
    QVERIFY(Fixtures::writeDng(path, 96, 64));

    ShownView shown;
    shown.view.showImg(path);
    QVERIFY(!shown.view.loadingLabel()->isHidden());
    const QLabel *label = shown.view.loadingLabel();
    QCOMPARE(label->pos(), QPoint((1200 - label->width()) / 2, (800 - label->height()) / 2));
    QVERIFY(waitForLoad(shown.view));

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

void TestViewer::brokenRaw_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("keepBytes"); // of a valid DNG; -1: random bytes

    QTest::newRow("zero bytes") << "empty.cr2" << 0;
    QTest::newRow("random bytes") << "noise.nef" << -1;
    QTest::newRow("header only") << "header.dng" << 400;
    QTest::newRow("cut in the pixels") << "cut.dng" << 5000;
}

void TestViewer::brokenRaw()
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
    QVERIFY(ImageLoadTask::decode(path).isNull());
    ShownView shown;
    shown.view.showImg(path);
    QVERIFY(!shown.view.loadingLabel()->isHidden());
    QVERIFY(waitForLoad(shown.view));
    QCOMPARE(shown.view.pictureSize(), QSizeF(0, 0));
    QVERIFY(shown.view.graphicsView()->scene()->items().isEmpty());
}

void TestViewer::lateRawResultDropped()
{
    const QString raw = tmp.filePath(QStringLiteral("late.dng"));
    const QString png = tmp.filePath(QStringLiteral("now.png"));
    QVERIFY(Fixtures::writeDng(raw, 96, 64));
    QVERIFY(Fixtures::writeImage(png, QSize(33, 22)));

    ShownView shown;
    shown.view.showImg(png);
    shown.view.showImg(raw);
    // Nothing is shown while the decode runs.
    QVERIFY(shown.view.currentPixmap().isNull());
    QCOMPARE(shown.view.pictureSize(), QSizeF(0, 0));
    QVERIFY(shown.view.graphicsView()->scene()->items().isEmpty());
    shown.view.showImg(png); // before the decode can have come back
    QVERIFY(shown.view.loadingLabel()->isHidden());
    QVERIFY(QThreadPool::globalInstance()->waitForDone(20000));
    QTest::qWait(50);
    QCoreApplication::processEvents();
    QCOMPARE(shown.view.pictureSize(), QSizeF(33, 22));
    QCOMPARE(shown.view.graphicsView()->scene()->items().size(), 1);

    // Results are matched by path; the image-only form still shows what it gets.
    QImage other(12, 8, QImage::Format_RGB32);
    other.fill(Qt::green);
    shown.view.showRawImgAsync(other, tmp.filePath(QStringLiteral("elsewhere.dng")));
    QCOMPARE(shown.view.pictureSize(), QSizeF(33, 22));
    shown.view.showRawImgAsync(other);
    QCOMPARE(shown.view.pictureSize(), QSizeF(12, 8));
    QCOMPARE(shown.view.graphicsView()->scene()->items().size(), 1);
}

QTEST_MAIN(TestViewer)
#include "tst_viewer.moc"
