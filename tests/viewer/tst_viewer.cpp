#include "app/AppSetup.h"
#include "ImageDecode.h"
#include "viewer/ImageView.h"
#include "viewer/PictureFacts.h"
#include "PictureInfo.h"
#include "ZoomModel.h"

#include <QApplication>
#include <QGraphicsView>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "support/Fixtures.h"
#include "support/ShownView.h"

namespace {

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

} // namespace

class TestViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void zoomSteps_data();
    void zoomSteps();
    void shotTexts_data();
    void shotTexts();
    void zoomButtonsScaleTheView();
    void fitBelowMinimum();
    void keptSize_data();
    void keptSize();
    void fitOrActual_data();
    void fitOrActual();
    void fitWithoutPicture();
    void fitCoversTransparentEdges();
    void rotateThenOrigin();
    void wheelKeepsPointAndReports_data();
    void wheelKeepsPointAndReports();
    void arrowsInOuterTenths();

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

    const double step = ZoomModel::kStep;
    const double at27 = std::pow(step, 27);
    const double at29 = std::pow(step, -29);
    QTest::newRow("27 up") << 1.0 << 27 << at27 << step;
    QTest::newRow("28th up stops at 8") << 1.0 << 28 << 8.0 << 8.0 / at27;
    QTest::newRow("past 8 nothing") << 1.0 << 40 << 8.0 << 1.0;
    QTest::newRow("29 down") << 1.0 << -29 << at29 << 1.0 / step;
    QTest::newRow("30th down stops at 0.1") << 1.0 << -30 << 0.1 << 0.1 / at29;
    QTest::newRow("past 0.1 nothing") << 1.0 << -45 << 0.1 << 1.0;
    // A fit may leave the factor outside the bounds; steps start from there.
    QTest::newRow("fitted below min, up") << 0.05 << 1 << 0.05 * step << step;
    QTest::newRow("fitted below min, down") << 0.05 << -1 << 0.05 << 1.0;
    QTest::newRow("fitted above max, up") << 9.0 << 1 << 9.0 << 1.0;
    QTest::newRow("fitted above max, down") << 9.0 << -1 << 9.0 / step << 1.0 / step;
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

void TestViewer::keptSize_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("display");
    QTest::addColumn<QSize>("kept");
    QTest::addColumn<bool>("halfSizeCovers");
    // A 1200 x 800 view.
    QTest::newRow("smaller: all of it") << QSize(800, 600) << true << QSize(800, 600) << false;
    QTest::newRow("6000x4000: fitted by height") << QSize(6000, 4000) << true << QSize(1200, 800) << true;
    QTest::newRow("4000x3000: sides rounded up") << QSize(4000, 3000) << true << QSize(1067, 800) << true;
    QTest::newRow("2000x1000: half is too small") << QSize(2000, 1000) << true << QSize(1200, 600) << false;
    QTest::newRow("2400x1600: half is just enough") << QSize(2400, 1600) << true << QSize(1200, 800) << true;
    QTest::newRow("equal to the view: fitted") << QSize(1200, 800) << true << QSize(1200, 800) << false;
    QTest::newRow("full resolution asked") << QSize(6000, 4000) << false << QSize(6000, 4000) << false;
}

// How many pixels a load keeps, and when LibRaw's half-size develop is enough.
void TestViewer::keptSize()
{
    QFETCH(QSize, picture);
    QFETCH(bool, display);
    QFETCH(QSize, kept);
    QFETCH(bool, halfSizeCovers);
    const auto resolution = display ? ImageDecode::Resolution::Display : ImageDecode::Resolution::Full;
    QCOMPARE(ImageDecode::keptSize(picture, QSize(1200, 800), resolution), kept);
    QCOMPARE(ImageDecode::halfSizeCovers(picture, kept), halfSizeCovers);
}

// The zoom is the real scale of the view's transform: a fitted picture reports its
// fitted scale, and the bounds are 10 % and 800 % of the picture's own size.
void TestViewer::zoomButtonsScaleTheView()
{
    ShownView shown;
    const QString path = tmp.filePath(QStringLiteral("zoom.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(2400, 1600)));
    QVERIFY(shown.open(path));
    QCOMPARE(shown.view.zoomFactor(), 0.5);
    QCOMPARE(shown.view.graphicsView()->transform().m11(), 0.5);

    shown.view.zoomIn();
    QCOMPARE(shown.view.zoomFactor(), 0.5 * ZoomModel::kStep);
    QCOMPARE(ZoomModel::percentText(shown.view.zoomFactor()), QStringLiteral("54%"));
    for (int i = 0; i < 60; ++i)
        shown.view.zoomIn();
    QCOMPARE(shown.view.zoomFactor(), ZoomModel::kMax);
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m11() - ZoomModel::kMax) < 1e-9);
    for (int i = 0; i < 80; ++i)
        shown.view.zoomOut();
    QCOMPARE(shown.view.zoomFactor(), ZoomModel::kMin);
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m11() - ZoomModel::kMin) < 1e-9);
}

// A picture whose fit lies below 10 % is fitted there; a step down does nothing.
void TestViewer::fitBelowMinimum()
{
    ShownView shown;
    const QString path = tmp.filePath(QStringLiteral("wide.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(24000, 100)));
    QVERIFY(shown.open(path));
    QCOMPARE(shown.view.zoomFactor(), 0.05);
    shown.view.zoomOut();
    QCOMPARE(shown.view.zoomFactor(), 0.05);
    shown.view.zoomIn();
    QCOMPARE(shown.view.zoomFactor(), 0.05 * ZoomModel::kStep);
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
    QVERIFY(shown.open(path));
    QCOMPARE(shown.view.graphicsView()->size(), QSize(1200, 800));
    QCOMPARE(shown.view.pictureSize(), QSizeF(picture));
    const double fit = ZoomModel::fitFactor(QSizeF(picture), QSize(1200, 800));
    QCOMPARE(shown.view.zoomFactor(), actual ? 1.0 : fit);
    const QTransform t = shown.view.graphicsView()->transform();
    if (actual) {
        QVERIFY(t.isIdentity());
    } else {
        QVERIFY(t.m11() <= 1.0);
        QCOMPARE(t.m11(), fit); // the exact quotient: the zoom reports the real scale
    }

    // fitToScreen reports the fitted factor and sets it as the zoom.
    QSignalSpy scale(&shown.view, &ImageView::notifyScale);
    shown.view.fitToScreen();
    QCOMPARE(scale.count(), 1);
    QCOMPARE(scale.at(0).at(0).toDouble(), std::min(1200.0 / picture.width(), 800.0 / picture.height()));
    QCOMPARE(shown.view.zoomFactor(), scale.at(0).at(0).toDouble());
}

// The whole picture is fitted, not just its opaque part.
void TestViewer::fitCoversTransparentEdges()
{
    QImage image(2400, 1600, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 750; y < 850; ++y)
        std::fill_n(reinterpret_cast<QRgb *>(image.scanLine(y)) + 1100, 200, qRgba(200, 60, 40, 255));
    const QString path = tmp.filePath(QStringLiteral("margins.png"));
    QVERIFY(image.save(path));

    ShownView shown;
    QVERIFY(shown.open(path));
    QCOMPARE(shown.view.pictureSize(), QSizeF(2400, 1600));
    const double scale = shown.view.graphicsView()->transform().m11();
    QCOMPARE(scale, 0.5);
}

void TestViewer::fitWithoutPicture()
{
    ShownView shown;
    const QString path = tmp.filePath(QStringLiteral("nothing.jpg"));
    QVERIFY(Fixtures::writeBytes(path, QByteArray()));
    QVERIFY(shown.open(path));
    shown.view.rotateView(90);
    shown.view.zoomIn();
    const QTransform before = shown.view.graphicsView()->transform();

    QSignalSpy scale(&shown.view, &ImageView::notifyScale);
    shown.view.fitToScreen();
    QCOMPARE(scale.count(), 1);
    QCOMPARE(scale.at(0).at(0).toDouble(), 1.0);
    QVERIFY(std::isfinite(shown.view.zoomFactor()));
    QCOMPARE(shown.view.zoomFactor(), ZoomModel::kStep);
    QCOMPARE(shown.view.graphicsView()->transform(), before);
}

void TestViewer::rotateThenOrigin()
{
    ShownView shown;
    const QString path = tmp.filePath(QStringLiteral("rotate.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(3000, 1000)));
    QVERIFY(shown.open(path));
    shown.view.zoomIn();
    shown.view.rotateView(90);
    QCOMPARE(shown.view.zoomFactor(), 0.4 * ZoomModel::kStep); // quarter turns keep the zoom
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m11()) < 1e-9);

    // A fit keeps the turn; only toOrigin clears it.
    shown.view.fitToScreen();
    QVERIFY(std::abs(shown.view.graphicsView()->transform().m11()) < 1e-9);

    QSignalSpy scale(&shown.view, &ImageView::notifyScale);
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
    // The picture is fitted at two thirds.
    const double fitted = 800.0 / 1200;
    QTest::newRow("forward") << 10 << 120 << fitted * std::pow(ZoomModel::kStep, 11);
    QTest::newRow("back") << 10 << -120 << fitted * std::pow(ZoomModel::kStep, 9);
    QTest::newRow("horizontal only zooms down") << 10 << 0 << fitted * std::pow(ZoomModel::kStep, 9);
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
    QVERIFY(shown.open(path));
    for (int i = 0; i < buttonSteps; ++i)
        shown.view.zoomIn();

    QWidget *viewport = shown.view.graphicsView()->viewport();
    const QPoint cursor(300, 250);
    const QPointF before = shown.view.graphicsView()->mapToScene(cursor);
    QSignalSpy scale(&shown.view, &ImageView::notifyScale);
    sendWheel(viewport, cursor, delta);

    QCOMPARE(scale.count(), 1);
    QVERIFY(std::abs(scale.at(0).at(0).toDouble() - reported) < 1e-9);
    const QPointF after = shown.view.graphicsView()->mapToScene(cursor);
    // mapToScene works on whole view pixels: allow one pixel at the current zoom.
    const double tolerance = 1.5 / shown.view.graphicsView()->transform().m11();
    QVERIFY2(
        QLineF(before, after).length() < tolerance,
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
    QVERIFY(shown.open(path));
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

void TestViewer::shotTexts_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fast exposure") << PictureInfo::exposureText(1.0 / 250) << "1/250 s";
    QTest::newRow("1/3 s") << PictureInfo::exposureText(0.3333) << "1/3 s";
    QTest::newRow("long exposure") << PictureInfo::exposureText(2.5) << "2.5 s";
    QTest::newRow("no exposure") << PictureInfo::exposureText(0) << "";
    QTest::newRow("aperture") << PictureInfo::apertureText(2.8) << "f/2.8";
    QTest::newRow("whole aperture") << PictureInfo::apertureText(8) << "f/8";
    QTest::newRow("focal length") << PictureInfo::focalLengthText(4.23) << "4.2 mm";
    QTest::newRow("south-west") << PictureInfo::gpsText(-33.8688, -151.2093) << "-33.868800, -151.209300";
    QTest::newRow("EXIF date") << PictureInfo::exifDateText("2024:05:01 10:20:30") << "2024-05-01 10:20:30";
    QTest::newRow("blank EXIF date") << PictureInfo::exifDateText("    :  :     :  :  ") << "";
    QTest::newRow("window title") << PictureFacts::windowTitle("a.jpg") << "a.jpg – Quorvane";
    QTest::newRow("window title without a file") << PictureFacts::windowTitle(QString()) << "Quorvane";
}

void TestViewer::shotTexts()
{
    QFETCH(QString, shown);
    QFETCH(QString, expected);
    QCOMPARE(shown, expected);
}

QTEST_MAIN(TestViewer)
#include "tst_viewer.moc"
