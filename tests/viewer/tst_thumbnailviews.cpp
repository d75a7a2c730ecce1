#include "support/Fixtures.h"
#include "ThumbnailDecode.h"
#include "ThumbnailGrid.h"
#include "ThumbnailStrip.h"
#include "FolderThumbnails.h"
#include "viewer/CurrentPicture.h"
#include "viewer/ImageView.h"
#include "viewer/ViewerWindow.h"
#include "thumbnails/Thumbnailer.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

// The strip and the grid over a stand-in for the folder model (the name as
// Qt::DisplayRole, the path as Qt::UserRole), with thumbnails made for real.
class TestThumbnailViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void placeholderThenThumbnail();
    void gridKeys_data();
    void gridKeys();
    void gridOpensAndGoesBack();
    void steppedSide_data();
    void steppedSide();
    void ctrlWheelSizes();
    void stripKeepsShownInView();
    void followsTheModel();
    void windowFolderOnGrid();
    void windowStrip();
    void viewerDecodeUpright_data();
    void viewerDecodeUpright();
    void rawFromItsPreview();

private:
    void makeFolder(int count);
    Thumbnailer *makeThumbnailer(bool gated);
    // A grid over a folder of count pictures, shown at size.
    std::unique_ptr<ThumbnailGrid> shownGrid(int count, const QSize &size = QSize(640, 400));

    QTemporaryDir home; // the remembered choices go here
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QTemporaryDir> cacheHome;
    std::unique_ptr<QStandardItemModel> model;
    std::unique_ptr<Thumbnailer> thumbnailer;
    std::shared_ptr<std::atomic<bool>> gate;
};

namespace {

const QColor kPicture(20, 160, 40);

QColor centreOfCell(QAbstractItemView *view, int row)
{
    const QRect cell = view->visualRect(view->model()->index(row, 0));
    // The thumbnail box sits at the top of the cell, centred.
    const QPoint centre(cell.center().x(), cell.top() + 6 + cell.width() / 2 - 6);
    return view->viewport()->grab().toImage().pixelColor(centre * view->devicePixelRatioF());
}

// A key as the user presses it: to the focus widget, the window's shortcuts after.
void press(QWidget *window, Qt::Key key)
{
    QWidget *focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : window, key);
}

bool isPicture(const QColor &c)
{
    return qAbs(c.red() - kPicture.red()) < 30 && qAbs(c.green() - kPicture.green()) < 30
        && qAbs(c.blue() - kPicture.blue()) < 30;
}

} // namespace

void TestThumbnailViews::initTestCase()
{
    QVERIFY(home.isValid());
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
}

void TestThumbnailViews::init()
{
    dir = std::make_unique<QTemporaryDir>();
    cacheHome = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid() && cacheHome->isValid());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome->path()));
    model = std::make_unique<QStandardItemModel>();
    thumbnailer.reset();
    gate = std::make_shared<std::atomic<bool>>(true);
}

void TestThumbnailViews::cleanup()
{
    // The thumbnailer first: its threads write into the folders below.
    thumbnailer.reset();
    model.reset();
    cacheHome.reset();
    dir.reset();
}

void TestThumbnailViews::makeFolder(int count)
{
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("p%1.png").arg(i, 3, 10, QLatin1Char('0'));
        const QString path = dir->filePath(name);
        QVERIFY(Fixtures::writeImage(path, QSize(60, 60), kPicture));
        auto *item = new QStandardItem(name);
        item->setData(path, Qt::UserRole);
        model->appendRow(item);
    }
}

Thumbnailer *TestThumbnailViews::makeThumbnailer(bool gated)
{
    gate->store(!gated);
    auto open = gate;
    thumbnailer = std::make_unique<Thumbnailer>(
        ThumbnailCache(), [open](const QString &path, int longSide, const std::function<bool()> &cancelled) {
            // Held until the test opens the gate (or the thumbnailer closes).
            while (!open->load() && !cancelled())
                QThread::msleep(2);
            return ThumbnailDecode::decode(path, longSide, cancelled);
        });
    return thumbnailer.get();
}

std::unique_ptr<ThumbnailGrid> TestThumbnailViews::shownGrid(int count, const QSize &size)
{
    makeFolder(count);
    auto grid = std::make_unique<ThumbnailGrid>(makeThumbnailer(false));
    grid->setModel(model.get());
    grid->resize(size);
    grid->show();
    return QTest::qWaitForWindowExposed(grid.get()) ? std::move(grid) : nullptr;
}

void TestThumbnailViews::placeholderThenThumbnail()
{
    makeFolder(6);
    for (const bool strip : {false, true}) {
        QTemporaryDir freshCache;
        qputenv("XDG_CACHE_HOME", QFile::encodeName(freshCache.path()));
        Thumbnailer *maker = makeThumbnailer(true);
        std::unique_ptr<ThumbnailList> view;
        if (strip)
            view = std::make_unique<ThumbnailStrip>(maker);
        else
            view = std::make_unique<ThumbnailGrid>(maker);
        view->setModel(model.get());
        view->resize(600, 400);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        // Shown at once, drawn without waiting: a placeholder where the picture will be.
        QTRY_VERIFY(view->visibleRows().first == 0);
        QVERIFY(!isPicture(centreOfCell(view.get(), 0)));
        gate->store(true);
        QTRY_VERIFY_WITH_TIMEOUT(isPicture(centreOfCell(view.get(), 0)), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(isPicture(centreOfCell(view.get(), 5)), 20000);
        view.reset();
        thumbnailer.reset();
    }
}

void TestThumbnailViews::gridKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expected"); // a row, or a line or page ("+columns", "-page") from row 9
    QTest::newRow("right") << int(Qt::Key_Right) << QStringLiteral("10");
    QTest::newRow("left") << int(Qt::Key_Left) << QStringLiteral("8");
    QTest::newRow("down") << int(Qt::Key_Down) << QStringLiteral("+columns");
    QTest::newRow("up") << int(Qt::Key_Up) << QStringLiteral("-columns");
    QTest::newRow("home") << int(Qt::Key_Home) << QStringLiteral("0");
    QTest::newRow("end") << int(Qt::Key_End) << QStringLiteral("59");
    QTest::newRow("page down") << int(Qt::Key_PageDown) << QStringLiteral("+page");
    QTest::newRow("page up") << int(Qt::Key_PageUp) << QStringLiteral("-page");
}

void TestThumbnailViews::gridKeys()
{
    QFETCH(int, key);
    QFETCH(QString, expected);
    const auto shown = shownGrid(60, QSize(640, 360));
    QVERIFY(shown);
    ThumbnailGrid &grid = *shown;
    const int columns = grid.viewport()->width() / grid.gridSize().width();
    QVERIFY(columns >= 2);
    grid.setCurrentRow(9);
    QTest::keyClick(&grid, Qt::Key(key));
    const int row = grid.currentRow();
    if (expected == QLatin1String("+columns"))
        QCOMPARE(row, 9 + columns);
    else if (expected == QLatin1String("-columns"))
        QCOMPARE(row, 9 - columns);
    else if (expected.endsWith(QLatin1String("page"))) {
        const int page = columns * qMax(1, grid.viewport()->height() / grid.gridSize().height());
        QCOMPARE(row, qBound(0, expected.startsWith(QLatin1Char('+')) ? 9 + page : 9 - page, 59));
    }
    else
        QCOMPARE(row, expected.toInt());
    // The current cell is always in view.
    QVERIFY(grid.viewport()->rect().intersects(grid.visualRect(grid.currentIndex())));
}

void TestThumbnailViews::gridOpensAndGoesBack()
{
    const auto shown = shownGrid(12);
    QVERIFY(shown);
    ThumbnailGrid &grid = *shown;
    QSignalSpy opened(&grid, &ThumbnailGrid::openRow);
    QSignalSpy back(&grid, &ThumbnailGrid::back);

    grid.setCurrentRow(3);
    QTest::keyClick(&grid, Qt::Key_Return);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.takeFirst().at(0).toInt(), 3);

    const QPoint cell = grid.visualRect(model->index(7, 0)).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    QVERIFY(opened.isEmpty()); // a click only chooses
    QCOMPARE(grid.currentRow(), 7);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    QVERIFY(!opened.isEmpty());
    QCOMPARE(opened.last().at(0).toInt(), 7);

    QTest::keyClick(&grid, Qt::Key_Escape);
    QCOMPARE(back.size(), 1);
}

void TestThumbnailViews::steppedSide_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("expected");
    QTest::newRow("a step larger") << 128 << 1 << 154;
    QTest::newRow("a step smaller") << 128 << -1 << 107;
    QTest::newRow("two steps") << 128 << 2 << 184;
    QTest::newRow("capped at the largest") << 500 << 1 << ThumbnailGrid::kLargest;
    QTest::newRow("held at the smallest") << 64 << -3 << ThumbnailGrid::kSmallest;
}

void TestThumbnailViews::steppedSide()
{
    QFETCH(int, side);
    QFETCH(int, steps);
    QFETCH(int, expected);
    QCOMPARE(ThumbnailGrid::steppedSide(side, steps), expected);
}

void TestThumbnailViews::ctrlWheelSizes()
{
    const auto shown = shownGrid(30);
    QVERIFY(shown);
    ThumbnailGrid &grid = *shown;
    QSignalSpy sized(&grid, &ThumbnailGrid::thumbnailSideChanged);
    const int before = grid.thumbnailSide();
    const QSize cellBefore = grid.gridSize();
    const QPoint at = grid.viewport()->rect().center();
    QWheelEvent wheel(at, grid.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(grid.viewport(), &wheel);
    QCOMPARE(sized.size(), 1);
    QCOMPARE(grid.thumbnailSide(), ThumbnailGrid::steppedSide(before, 1));
    QVERIFY(grid.gridSize().width() > cellBefore.width());
    QCOMPARE(grid.verticalScrollBar()->value(), 0); // sized, not scrolled

    // A plain wheel scrolls.
    QWheelEvent plain(at, grid.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(grid.viewport(), &plain);
    QVERIFY(grid.verticalScrollBar()->value() > 0);
    QCOMPARE(sized.size(), 1);
}

void TestThumbnailViews::stripKeepsShownInView()
{
    makeFolder(40);
    ThumbnailStrip strip(makeThumbnailer(false));
    strip.setModel(model.get());
    strip.resize(500, strip.height());
    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    QSignalSpy opened(&strip, &ThumbnailStrip::openRow);
    for (const int row : {30, 2, 39}) {
        strip.setCurrentRow(row);
        const QRect cell = strip.visualRect(model->index(row, 0));
        QVERIFY2(strip.viewport()->rect().contains(cell), qPrintable(QString::number(row)));
        QVERIFY(strip.selectionModel()->isSelected(model->index(row, 0)));
        QCOMPARE(strip.selectionModel()->selectedIndexes().size(), 1);
    }
    const QPair<int, int> shown = strip.visibleRows();
    QVERIFY(shown.first <= 39 && shown.second == 39);
    QTest::mouseClick(strip.viewport(), Qt::LeftButton, Qt::NoModifier,
                      strip.visualRect(model->index(shown.first + 1, 0)).center());
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0).at(0).toInt(), shown.first + 1);
}

void TestThumbnailViews::followsTheModel()
{
    const auto shown = shownGrid(5);
    QVERIFY(shown);
    ThumbnailGrid &grid = *shown;
    QTRY_VERIFY_WITH_TIMEOUT(isPicture(centreOfCell(&grid, 4)), 20000);
    // A picture added by another program shows, first a placeholder, then its thumbnail.
    const QString path = dir->filePath(QStringLiteral("new.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(60, 60), kPicture));
    auto *item = new QStandardItem(QStringLiteral("new.png"));
    item->setData(path, Qt::UserRole);
    model->insertRow(0, item);
    QTRY_VERIFY_WITH_TIMEOUT(isPicture(centreOfCell(&grid, 0)), 20000);
    model->removeRows(0, 3);
    QCOMPARE(grid.visibleRows(), qMakePair(0, 2));
}

void TestThumbnailViews::windowFolderOnGrid()
{
    makeFolder(6);
    ViewerWindow window;
    window.view()->setImgPath(dir->path());
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.showDefaultImg();
    CurrentPicture *current = window.view()->currentPicture();
    // A folder opens on its grid, on its first picture.
    QVERIFY(window.gridShown());
    QVERIFY(!window.view()->isVisible());
    QTRY_COMPARE(current->row(), 0);
    ThumbnailGrid *grid = window.thumbnails()->grid();
    QTRY_VERIFY(grid->hasFocus());

    // The arrows move through the grid, not the pictures; Enter shows the chosen one.
    press(&window, Qt::Key_Right);
    press(&window, Qt::Key_Right);
    QCOMPARE(current->row(), 0);
    press(&window, Qt::Key_Return);
    QTRY_COMPARE(current->row(), 2);
    QVERIFY(!window.gridShown());
    QVERIFY(window.view()->isVisible());

    // G opens the grid on the shown picture; Esc goes back, showing the same one.
    press(&window, Qt::Key_G);
    QVERIFY(window.gridShown());
    QCOMPARE(grid->currentRow(), 2);
    press(&window, Qt::Key_Escape);
    QVERIFY(!window.gridShown());
    QCOMPARE(current->row(), 2);
    QVERIFY(!window.isFullScreen());

    // G again, and G goes back too.
    press(&window, Qt::Key_G);
    QVERIFY(window.gridShown());
    press(&window, Qt::Key_G);
    QVERIFY(!window.gridShown());

    // A command on the picture shows it; the grid's own keys leave the picture be.
    press(&window, Qt::Key_G);
    press(&window, Qt::Key_Space); // the next picture
    QVERIFY(!window.gridShown());
    QTRY_COMPARE(current->row(), 3);

    // The thumbnail size set with Ctrl+wheel is what the next window starts with.
    press(&window, Qt::Key_G);
    const QPoint at = grid->viewport()->rect().center();
    QWheelEvent wheel(at, grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(grid->viewport(), &wheel);
    const int sized = ThumbnailGrid::steppedSide(128, 2);
    QCOMPARE(grid->thumbnailSide(), sized);
    ViewerWindow next;
    QCOMPARE(next.thumbnails()->grid()->thumbnailSide(), sized);
}

void TestThumbnailViews::windowStrip()
{
    makeFolder(8);
    ViewerWindow window;
    window.view()->setImgPath(model->item(3)->data(Qt::UserRole).toString());
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.showDefaultImg();
    CurrentPicture *current = window.view()->currentPicture();
    QTRY_COMPARE(current->row(), 3);
    QVERIFY(!window.gridShown());
    QVERIFY(!window.stripShown());

    press(&window, Qt::Key_T);
    QVERIFY(window.stripShown());
    ThumbnailStrip *strip = window.thumbnails()->strip();
    const auto marked = [strip] {
        const QModelIndexList rows = strip->selectionModel()->selectedIndexes();
        return rows.size() == 1 ? rows.first().row() : -1;
    };
    QCOMPARE(marked(), 3);
    // Stepping moves the mark; the strip leaves the keys to the window.
    press(&window, Qt::Key_Right);
    QTRY_COMPARE(current->row(), 4);
    QCOMPARE(marked(), 4);
    QTRY_VERIFY_WITH_TIMEOUT(isPicture(centreOfCell(strip, 4)), 20000);
    // A click on a cell shows its picture.
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, Qt::NoModifier,
                      strip->visualRect(strip->model()->index(6, 0)).center());
    QTRY_COMPARE(current->row(), 6);
    QCOMPARE(marked(), 6);

    // Full screen shows the picture alone; leaving it brings the strip back.
    press(&window, Qt::Key_F11);
    QTRY_VERIFY(window.isFullScreen());
    QVERIFY(!window.stripShown());
    press(&window, Qt::Key_Escape);
    QTRY_VERIFY(!window.isFullScreen());
    QVERIFY(window.stripShown());

    press(&window, Qt::Key_T);
    QVERIFY(!window.stripShown());
}

void TestThumbnailViews::viewerDecodeUpright_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("size");
    QTest::newRow("as stored") << 1 << QSize(128, 64);
    QTest::newRow("right turn") << 6 << QSize(64, 128);
    QTest::newRow("left turn") << 8 << QSize(64, 128);
}

void TestThumbnailViews::viewerDecodeUpright()
{
    QFETCH(int, orientation);
    QFETCH(QSize, size);
    QImage stored(800, 400, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    const QString photo = dir->filePath(QStringLiteral("turned.jpg"));
    QVERIFY(Fixtures::writeJpegWithOrientation(photo, stored, orientation));
    QCOMPARE(ThumbnailDecode::decode(photo, 128, [] { return false; }).size(), size);
}

void TestThumbnailViews::rawFromItsPreview()
{
    // A camera's embedded preview serves (through the decoder process), not a develop.
    const QString jpeg = dir->filePath(QStringLiteral("preview.jpg"));
    QVERIFY(Fixtures::writeImage(jpeg, QSize(320, 240), kPicture));
    const QString raw = dir->filePath(QStringLiteral("camera.dng"));
    QVERIFY(Fixtures::writeDng(raw, 640, 480, {QStringLiteral("--preview"), jpeg}));
    const QImage thumbnail = ThumbnailDecode::decode(raw, 128, [] { return false; });
    QCOMPARE(thumbnail.size(), QSize(128, 96));
    QVERIFY(isPicture(thumbnail.pixelColor(64, 48)));
}

QTEST_MAIN(TestThumbnailViews)
#include "tst_thumbnailviews.moc"
