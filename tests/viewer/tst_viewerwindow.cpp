#include "app/AppCommandLine.h"
#include "app/AppSetup.h"
#include "batch/shell/PageCentre.h"
#include "batch/shell/BatchPage.h"
#include "ToolboxWindow.h"
#include "TabBar.h"
#include "batch/toolbox/Toolbox.h"
#include "TabButton.h"
#include "chrome/HoverPushButton.h"
#include "chrome/ViewerToolStrip.h"
#include "chrome/TitleBar.h"
#include "print/PrintDialog.h"
#include "InfoPanel.h"
#include "formats/SizeText.h"
#include "viewer/PictureFacts.h"
#include "PictureItem.h"
#include "PictureMenu.h"
#include "viewer/ViewerWindow.h"
#include "viewer/ImageView.h"
#include "viewer/ViewerCommands.h"
#include "viewer/CurrentPicture.h"
#include "viewer/FolderModel.h"
#include "viewer/ViewerSettings.h"
#include "Slideshow.h"
#include "ZoomModel.h"
#include "widgets/FolderOpener.h"
#include "widgets/DropArea.h"
#include "widgets/MessageBox.h"
#include "widgets/ScreenFit.h"
#include "widgets/Toast.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <QTimer>
#include <QWheelEvent>
#include <QtMath>

#include <cmath>
#include <cstdio>

#include "support/Fixtures.h"
#include "support/SelfChild.h"
#include "support/ShownView.h"
#include "support/StandInDecoder.h"
#include "ShownFile.h"
#include "viewer/TrashBin.h"

namespace {

const char *const kOpenArgumentMode = "--open-argument";

// Child mode, from an application folder whose RAW decoder never answers: the panel
// opened on a RAW file, and how long the GUI thread took to answer meanwhile; then
// another picture, and what the panel and the processes show after it.
int stuckPanelChild(const QString &raw, const QString &other)
{
    ViewerWindow window;
    window.showMaximized();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.view()->showImg(raw);
    QElapsedTimer clock;
    clock.start();
    window.perform(ViewerCommands::Action::ToggleInfo);
    const qint64 toggled = clock.elapsed();
    bool answered = false;
    clock.restart();
    QTimer::singleShot(0, &window, [&answered] { answered = true; });
    const bool back = QTest::qWaitFor([&answered] { return answered; }, 5000);
    const qint64 answer = clock.elapsed();
    const auto *status = window.info()->findChild<QLabel *>(QStringLiteral("infoStatus"));
    const QString meanwhile = QStringLiteral("%1 %2 %3")
                                  .arg(window.info()->isReading())
                                  .arg(status && status->isVisible() ? status->text() : QString())
                                  .arg(PictureInfo::value(window.info()->rows(), QStringLiteral("文件名")));
    window.view()->showImg(other);
    const bool read = QTest::qWaitFor([&window] { return !window.info()->isReading(); }, 10000);
    const bool ended = QTest::qWaitFor([] { return Fixtures::childProcesses().isEmpty(); }, 10000);
    const QString report = QStringLiteral("toggle %1 answer %2 | %3 | %4 %5 %6")
                               .arg(toggled < 100 ? "fast" : QString::number(toggled))
                               .arg(back && answer < 100 ? "fast" : QString::number(answer))
                               .arg(meanwhile)
                               .arg(read)
                               .arg(PictureInfo::value(window.info()->rows(), QStringLiteral("文件名")))
                               .arg(ended);
    std::fputs(report.toUtf8().constData(), stdout);
    return 0;
}

// Child mode: the entry function's path handling, then report what was shown.
int openArgumentChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    AppSetup::run();
    // argv[1] is the mode; the path is the first argument after it.
    QStringList arguments;
    for (int i = 2; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.value(0) == QLatin1String("--stuck-panel"))
        return stuckPanelChild(arguments.value(1), arguments.value(2));
    // "--held": report the screen pixels the fitted picture covers and those held for it.
    const bool held = arguments.removeAll(QStringLiteral("--held")) > 0;
    const QString path = AppCommandLine::parse(arguments).imagePath;
    ViewerWindow window;
    if (held) {
        window.showMaximized();
        if (!QTest::qWaitForWindowExposed(&window))
            return 1;
    }
    window.view()->setImgPath(path);
    window.showDefaultImg();
    waitLoaded(*window.view());
    if (held) {
        const QGraphicsView *graphics = window.view()->graphicsView();
        const auto covered = [graphics] {
            return graphics->viewportTransform().mapRect(graphics->sceneRect()).width() * graphics->devicePixelRatioF();
        };
        // The level made for the screen's pixels, once it is in; else the report shows
        // what was held when the wait ended.
        const bool sharp
            = QTest::qWaitFor([&] { return window.view()->pictureItem()->best().width() >= covered() - 1; }, 5000);
        Q_UNUSED(sharp)
        const int heldWidth = window.view()->pictureItem()->best().width();
        std::fputs(QStringLiteral("%1 %2").arg(qRound(covered())).arg(heldWidth).toUtf8().constData(), stdout);
        return 0;
    }
    const QSizeF size = window.view()->pictureSize();
    const QString report
        = QStringLiteral("%1x%2 %3").arg(size.width()).arg(size.height()).arg(window.titleBar()->titleText());
    std::fputs(report.toUtf8().constData(), stdout);
    return 0;
}

// The view's quarter turn in degrees: 0, 90, 180 or -90.
int turnOf(const QGraphicsView *view)
{
    const QTransform t = view->transform();
    return qRound(qRadiansToDegrees(std::atan2(t.m12(), t.m11())));
}

// True when the whole picture lies inside the view and fills it along one side.
bool pictureFits(const ImageView *view)
{
    const QGraphicsView *graphics = view->graphicsView();
    const QRectF shown = graphics->viewportTransform().mapRect(graphics->scene()->sceneRect());
    const QRectF port = graphics->viewport()->rect();
    const bool inside = port.adjusted(-1, -1, 1, 1).contains(shown);
    const bool fills = shown.width() >= port.width() - 6 || shown.height() >= port.height() - 6;
    if (!inside || !fills)
        qWarning() << "picture" << shown << "view" << port;
    return inside && fills;
}

// A wheel notch as the window system delivers it to target.
void sendWheel(QWidget *target, const QPoint &pos, int deltaY)
{
    QWheelEvent wheel(QPointF(pos), QPointF(target->mapToGlobal(pos)), QPoint(), QPoint(0, deltaY), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::instance()->notify(target, &wheel);
}

// Names and modification times of the files in dir.
QStringList folderState(const QString &dir)
{
    QStringList state;
    const QFileInfoList files = QDir(dir).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &file : files)
        state << file.fileName() + QLatin1Char(' ') + QString::number(file.lastModified().toMSecsSinceEpoch());
    return state;
}

void sendMouse(QWidget *target, QEvent::Type type, const QPoint &pos, const QPoint &global)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, global, button, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Catches what would go to the desktop's file manager.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

// Gives the name of path to another kind of thing: "folder", "FIFO", "link to a
// folder", "link to a FIFO" (the link's target beside it); "" leaves the file.
bool replaceWith(const QString &path, const QString &kind)
{
    if (kind.isEmpty())
        return true;
    const QString target = kind.startsWith(QLatin1String("link")) ? path + QStringLiteral(".target") : path;
    if (!QFile::remove(path))
        return false;
    const bool made = kind.endsWith(QLatin1String("folder"))
        ? QDir().mkpath(target) && Fixtures::writeBytes(target + QStringLiteral("/keep.txt"), "kept")
        : ::mkfifo(QFile::encodeName(target).constData(), 0600) == 0;
    return made && (target == path || QFile::link(target, path));
}

} // namespace

class TestViewerWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyPathButtonsDoNothing();
    void zoomButtonsAndToast();
    void sizeToggle();
    void rotateButtons();
    void browsingToasts();
    void aiFixShowsDialog();
    void printOpensDialogWithPicture();
    void toolboxButtons_data();
    void toolboxButtons();
    void dragBand_data();
    void dragBand();
    void commandLinePathInChinese();
    void undecodableFileIsInert();

    void keys_data();
    void keys();
    void keyTooltips();
    void oneActionPerCommand();
    void noKeyTouchesFiles();
    void openKeyWhateverIsShown_data();
    void openKeyWhateverIsShown();
    void printKeyAndDialogGoneAfterClose();
    void fullScreen();
    void fitFollowsWindow();
    void turnRefits();
    void wheelThroughToast();
    void dropAnywhere_data();
    void dropAnywhere();
    void factsLine_data();
    void factsLine();
    void trashRoundTrip();
    void shownFileRemovedElsewhere();
    void undoOntoTakenName_data();
    void undoOntoTakenName();
    void shownFileActions_data();
    void shownFileActions();
    void showInFolderSaysWhenNothingOpensIt_data();
    void showInFolderSaysWhenNothingOpensIt();
    void stuckDecoderNeverFreezesPanel();
    void minimumSizeOnSmallScreens_data();
    void minimumSizeOnSmallScreens();
    void everyControlAt960x540();
    void folderArgument_data();
    void folderArgument();
    void exifPanel_data();
    void exifPanel();
    void rawPanelRows();
    void contextMenuEntries();
    void copyAndPrintWholeTurnedPicture();
    void sharpOnScaledScreen();
    void slideshowShowsReadyPictures();
    void slideshowEnds_data();
    void slideshowEnds();
    void sortFromTheMenu();
    void choicesRemembered();
    void windowRemembered_data();
    void windowRemembered();
    void narrowestWindowShowsEveryButton();

private:
    // Shows the file of the key folder (p1, p2, p10) and waits for its picture.
    void showKeyFile(const QString &name);
    QString keyFile(const QString &name) const;

    QTemporaryDir tmp;
    ViewerWindow *window = nullptr;
};

void TestViewerWindow::initTestCase()
{
    QVERIFY(tmp.isValid());
    // The trash, the remembered folder and the Desktop are the test's own.
    qputenv("HOME", QFile::encodeName(tmp.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(tmp.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(tmp.filePath(QStringLiteral("config"))));
    // No session bus: "show in folder" goes straight to the (caught) URL handler.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quorvane-test-bus");
    AppSetup::run();
    QVERIFY(Fixtures::writeImage(tmp.filePath(QStringLiteral("a1.png")), QSize(2400, 1800)));
    QVERIFY(Fixtures::writeImage(tmp.filePath(QStringLiteral("a2.png")), QSize(300, 200)));
    // Natural order p1, p2, p10 (name order would put p10 second); p2 is landscape.
    QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("keys")));
    QVERIFY(Fixtures::writeImage(keyFile(QStringLiteral("p1.png")), QSize(1600, 1200), Qt::darkGreen));
    QVERIFY(Fixtures::writeImage(keyFile(QStringLiteral("p2.png")), QSize(1800, 900), Qt::darkBlue));
    QVERIFY(Fixtures::writeImage(keyFile(QStringLiteral("p10.png")), QSize(1200, 1600), Qt::darkRed));
}

QString TestViewerWindow::keyFile(const QString &name) const
{
    return tmp.filePath(QStringLiteral("keys/") + name);
}

void TestViewerWindow::showKeyFile(const QString &name)
{
    window->view()->setImgPath(keyFile(name));
    window->showDefaultImg();
    QTRY_VERIFY(!window->view()->currentPixmap().isNull());
    QVERIFY(QTest::qWaitForWindowActive(window));
}

void TestViewerWindow::init()
{
    // Each window starts from no stored choices: a test that pressed every key (the
    // strip's among them) leaves the next one a window of its own shape otherwise.
    QFile::remove(tmp.filePath(QStringLiteral("config/quorvane/quorvane.conf")));
    window = new ViewerWindow;
    window->showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestViewerWindow::cleanup()
{
    delete window;
    window = nullptr;
}

void TestViewerWindow::emptyPathButtonsDoNothing()
{
    ViewerToolStrip *f = window->toolStrip();
    QGraphicsView *view = window->view()->graphicsView();
    for (QPushButton *button :
         {f->biggerBtn(), f->smallerBtn(), f->changeSizeBtn(), f->turnRightBtn(), f->turnLeftBtn(), f->nextBtn(),
          f->prevBtn(), f->printBtn(), window->view()->rightArrowBtn(), window->view()->leftArrowBtn()})
        button->click();
    QVERIFY(window->toast()->isHidden());
    QVERIFY(view->transform().isIdentity());
    QCOMPARE(window->view()->zoomFactor(), 1.0);
    QCOMPARE(window->sizeMode(), 1);
    QVERIFY(window->view()->imgFilePath().isEmpty());
    QVERIFY(window->findChildren<PrintDialog *>().isEmpty());
}

void TestViewerWindow::toolboxButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("withImage");
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("convertRows");
    QTest::addColumn<int>("resizeRows");

    QTest::newRow("批处理 without image") << "批处理" << false << int(Toolbox::ConvertTab) << 0 << 0;
    QTest::newRow("批处理 with image") << "批处理" << true << int(Toolbox::ConvertTab) << 0 << 0;
    QTest::newRow("格式转换 hands the image over") << "格式转换" << true << int(Toolbox::ConvertTab) << 1 << 0;
    QTest::newRow("更改尺寸 hands the image over") << "更改尺寸" << true << int(Toolbox::ResizeTab) << 0 << 1;
    QTest::newRow("格式转换 without image") << "格式转换" << false << int(Toolbox::ConvertTab) << 0 << 0;
}

void TestViewerWindow::toolboxButtons()
{
    QFETCH(QString, button);
    QFETCH(bool, withImage);
    QFETCH(int, tab);
    QFETCH(int, convertRows);
    QFETCH(int, resizeRows);

    if (withImage) {
        window->view()->setImgPath(tmp.filePath(QStringLiteral("a2.png")));
        window->showDefaultImg();
        QVERIFY(waitLoaded(*window->view()));
    }
    ViewerToolStrip *f = window->toolStrip();
    QPushButton *pressed = button == QStringLiteral("批处理") ? f->batchBtn()
        : button == QStringLiteral("格式转换")                ? f->convertBtn()
                                                              : f->resizeBtn();
    // Its name, or in a narrow window its icon and the name in its tooltip.
    QCOMPARE(pressed->text().isEmpty() ? pressed->toolTip() : pressed->text(), button);
    pressed->click();
    pressed->click(); // every click makes a new toolbox

    const QList<ToolboxWindow *> boxes = window->findChildren<ToolboxWindow *>();
    QCOMPARE(boxes.size(), 2);
    ToolboxWindow *box = boxes.last();
    QVERIFY(box->isVisible());
    QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    QCOMPARE(box->windowTitle(), QStringLiteral("批处理"));
    for (int t = Toolbox::ConvertTab; t <= Toolbox::RotateTab; ++t)
        QCOMPARE(box->toolBar()->button(t)->isSelected(), t == tab);
    QCOMPARE(box->currentPage(), static_cast<QWidget *>(box->pageOf(box->toolBar()->button(tab))));
    QCOMPARE(box->page(Toolbox::ConvertTab)->centerWidget()->rowCount(), convertRows);
    QCOMPARE(box->page(Toolbox::ResizeTab)->centerWidget()->rowCount(), resizeRows);
    for (ToolboxWindow *b : boxes)
        b->close();
}

void TestViewerWindow::printOpensDialogWithPicture()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a2.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    window->toolStrip()->printBtn()->click();
    const QList<PrintDialog *> dialogs = window->findChildren<PrintDialog *>();
    QCOMPARE(dialogs.size(), 1);
    QVERIFY(dialogs.first()->isVisible());
    QVERIFY(!dialogs.first()->isModal());
    QCOMPARE(dialogs.first()->windowTitle(), QStringLiteral("打印图片"));
    // The preview shows the sheet and the fitted picture.
    QVERIFY(dialogs.first()->previewScene()->items().size() >= 2);
}

void TestViewerWindow::zoomButtonsAndToast()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a1.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    QCOMPARE(window->titleBar()->titleText(), QStringLiteral("a1.png"));

    // Fitted: the zoom is the real scale, and a step multiplies it.
    const double fitted = window->view()->zoomFactor();
    QCOMPARE(fitted, ZoomModel::fitFactor(window->view()->pictureSize(), window->view()->graphicsView()->size()));
    QVERIFY(fitted < 1.0);
    window->toolStrip()->biggerBtn()->click();
    QCOMPARE(window->toast()->text(), ZoomModel::percentText(fitted * ZoomModel::kStep));
    QVERIFY(!window->toast()->isHidden());
    window->toolStrip()->smallerBtn()->click();
    window->toolStrip()->smallerBtn()->click();
    QCOMPARE(window->toast()->text(), ZoomModel::percentText(fitted / ZoomModel::kStep));

    // Nine steps down and nine up from 100% come back to 100%, not 99%.
    window->view()->toOrigin(true);
    QCOMPARE(window->toast()->text(), QStringLiteral("100%"));
    for (int i = 0; i < 9; ++i)
        window->toolStrip()->smallerBtn()->click();
    for (int i = 0; i < 9; ++i)
        window->toolStrip()->biggerBtn()->click();
    QCOMPARE(window->toast()->text(), QStringLiteral("100%"));
}

void TestViewerWindow::sizeToggle()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a1.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    QPushButton *toggle = window->toolStrip()->changeSizeBtn();
    QCOMPARE(toggle->toolTip(), QStringLiteral("原始大小 (1)"));

    toggle->click();
    QCOMPARE(window->sizeMode(), 2);
    QCOMPARE(window->toast()->text(), QStringLiteral("100%"));
    QVERIFY(window->view()->graphicsView()->transform().isIdentity());
    QCOMPARE(toggle->toolTip(), QStringLiteral("适应屏幕 (0)"));
    QCOMPARE(toggle->styleSheet(),
             QStringLiteral("QPushButton{border:0px;image: url(:/icons/icons/screen.png);}"
                            "QPushButton:hover{background-color:#F2F5F7;image: url(:/icons/icons/screen_p.png);}"));

    toggle->click();
    QCOMPARE(window->sizeMode(), 1);
    const QSize viewSize = window->view()->graphicsView()->size();
    const double fitted = std::min(viewSize.width() / 2400.0, viewSize.height() / 1800.0);
    QCOMPARE(window->view()->zoomFactor(), fitted);
    QCOMPARE(window->toast()->text(), ZoomModel::percentText(fitted));
    QCOMPARE(toggle->toolTip(), QStringLiteral("原始大小 (1)"));
    QVERIFY(toggle->styleSheet().contains(QLatin1String("image: url(:/icons/icons/1_1.png)")));

    // The mode is not reset by showing another image.
    toggle->click();
    window->toolStrip()->nextBtn()->click();
    QCOMPARE(window->view()->imgFilePath(), tmp.filePath(QStringLiteral("a2.png")));
    QCOMPARE(window->sizeMode(), 2);
}

void TestViewerWindow::rotateButtons()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a2.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    QGraphicsView *view = window->view()->graphicsView();
    window->toolStrip()->turnRightBtn()->click();
    QVERIFY(qFuzzyCompare(view->transform().m12(), 1.0)); // +90: clockwise on screen
    window->toolStrip()->turnLeftBtn()->click();
    window->toolStrip()->turnLeftBtn()->click();
    QVERIFY(qFuzzyCompare(view->transform().m12(), -1.0));
    QCOMPARE(window->view()->zoomFactor(), 1.0);
    QVERIFY(window->toast()->isHidden());
}

void TestViewerWindow::browsingToasts()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a1.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    window->toolStrip()->prevBtn()->click();
    QCOMPARE(window->toast()->text(), QStringLiteral("已经是第一张图片了"));
    window->view()->rightArrowBtn()->click();
    QCOMPARE(window->view()->imgFilePath(), tmp.filePath(QStringLiteral("a2.png")));
    QCOMPARE(window->titleBar()->titleText(), QStringLiteral("a2.png"));
    window->toolStrip()->nextBtn()->click();
    QCOMPARE(window->toast()->text(), QStringLiteral("已经是最后一张图片了"));
    window->view()->leftArrowBtn()->click();
    QCOMPARE(window->view()->imgFilePath(), tmp.filePath(QStringLiteral("a1.png")));
}

void TestViewerWindow::aiFixShowsDialog()
{
    window->toolStrip()->aiFixBtn()->click();
    auto *dialog = window->findChild<MessageBox *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->text(), QStringLiteral("该功能即将上线！"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
}

void TestViewerWindow::dragBand_data()
{
    QTest::addColumn<QString>("pressOn"); // object name of the widget pressed
    QTest::addColumn<QPoint>("windowPos"); // press position in window coordinates
    QTest::addColumn<bool>("drags");
    QTest::newRow("title bar label") << "label" << QPoint(0, 0) << true;
    QTest::newRow("empty title bar") << "titleBar" << QPoint(0, 0) << true;
    QTest::newRow("window at x 0") << "ViewerWindow" << QPoint(0, 20) << false;
    QTest::newRow("window at y 0") << "ViewerWindow" << QPoint(200, 0) << false;
    QTest::newRow("below the band") << "ViewerWindow" << QPoint(200, 60) << false;
    QTest::newRow("maximise button") << "maxButton" << QPoint(0, 0) << false;
}

void TestViewerWindow::dragBand()
{
    QFETCH(QString, pressOn);
    QFETCH(QPoint, windowPos);
    QFETCH(bool, drags);

    window->showNormal();
    window->move(100, 100);
    QWidget *target = window;
    QPoint local = windowPos;
    if (pressOn == QLatin1String("label")) {
        target = window->titleBar()->findChild<QLabel *>(QStringLiteral("productName"));
        local = QPoint(5, 5);
    } else if (pressOn != QLatin1String("ViewerWindow")) {
        target = window->findChild<QWidget *>(pressOn);
        local = QPoint(5, 5);
    }
    QVERIFY(target);
    // Through QTest, so the press propagates from the child as a real one would.
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, local);
    const QPoint pressed = target->mapTo(window, local);
    const QPoint start = window->pos();
    const QPoint global = window->mapToGlobal(pressed) + QPoint(40, 25);
    sendMouse(window, QEvent::MouseMove, window->mapFromGlobal(global), global);
    QCOMPARE(window->pos(), drags ? start + QPoint(40, 25) : start);
    sendMouse(window, QEvent::MouseButtonRelease, window->mapFromGlobal(global), global);
    if (target != window)
        QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, local);

    // After the release moves no longer drag.
    const QPoint after = window->pos();
    sendMouse(window, QEvent::MouseMove, QPoint(300, 30), window->mapToGlobal(QPoint(350, 60)));
    QCOMPARE(window->pos(), after);
}

void TestViewerWindow::commandLinePathInChinese()
{
    const QString path = tmp.filePath(QStringLiteral("图片 一.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(96, 64)));

    QProcess child;
    QVERIFY(SelfChild::run(child, {QLatin1String(kOpenArgumentMode), path}));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), QStringLiteral("96x64 图片 一.png"));
}

// The file's name stays in the title, the view says why nothing is shown, and the
// zoom, turn, size and print buttons and their keys do nothing (no "100%" toast).
void TestViewerWindow::undecodableFileIsInert()
{
    QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("broken")));
    const QString path = tmp.filePath(QStringLiteral("broken/损坏.jpg"));
    QVERIFY(Fixtures::writeBytes(path, QByteArray("\xff\xd8\xff\xe0") + " not really a JPEG"));
    window->view()->setImgPath(path);
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    QCOMPARE(window->titleBar()->titleText(), QStringLiteral("损坏.jpg"));
    QVERIFY(window->view()->messageLabel()->isVisible());
    QCOMPARE(window->view()->messageLabel()->text(), QStringLiteral("无法显示此图片\n文件已损坏"));

    ViewerToolStrip *f = window->toolStrip();
    for (QPushButton *button :
         {f->biggerBtn(), f->smallerBtn(), f->changeSizeBtn(), f->turnRightBtn(), f->turnLeftBtn(), f->printBtn()})
        button->click();
    QVERIFY(QTest::qWaitForWindowActive(window));
    for (const QKeySequence &key :
         {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Minus), QKeySequence(Qt::Key_0), QKeySequence(Qt::Key_1),
          QKeySequence(Qt::Key_R), QKeySequence(Qt::Key_L), QKeySequence(Qt::CTRL | Qt::Key_P)})
        QTest::keySequence(window, key);
    QVERIFY(window->toast()->isHidden());
    QVERIFY(window->view()->graphicsView()->transform().isIdentity());
    QCOMPARE(window->view()->zoomFactor(), 1.0);
    QCOMPARE(window->sizeMode(), 1);
    QVERIFY(window->findChildren<PrintDialog *>().isEmpty());
}

// --- keys ----------------------------------------------------------------

void TestViewerWindow::keys_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("shown"); // the file shown after the key
    QTest::addColumn<QString>("toast"); // empty: none; "fit": the fitted zoom, a step "up" or "down" from it
    QTest::addColumn<int>("turn");
    QTest::addColumn<int>("sizeMode");

    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    const int pad = Qt::KeypadModifier;
    const QString p1 = QStringLiteral("p1.png");
    const QString p2 = QStringLiteral("p2.png");
    const QString p10 = QStringLiteral("p10.png");
    const QString last = QStringLiteral("已经是最后一张图片了");
    const QString first = QStringLiteral("已经是第一张图片了");
    const QString fit = QStringLiteral("fit");

    QTest::newRow("→ next") << p2 << int(Qt::Key_Right) << none << p10 << QString() << 0 << 1;
    QTest::newRow("PgDn next") << p2 << int(Qt::Key_PageDown) << none << p10 << QString() << 0 << 1;
    QTest::newRow("Space next") << p2 << int(Qt::Key_Space) << none << p10 << QString() << 0 << 1;
    QTest::newRow("← previous") << p2 << int(Qt::Key_Left) << none << p1 << QString() << 0 << 1;
    QTest::newRow("PgUp previous") << p2 << int(Qt::Key_PageUp) << none << p1 << QString() << 0 << 1;
    QTest::newRow("Backspace previous") << p2 << int(Qt::Key_Backspace) << none << p1 << QString() << 0 << 1;
    QTest::newRow("Home first") << p10 << int(Qt::Key_Home) << none << p1 << QString() << 0 << 1;
    QTest::newRow("End last") << p1 << int(Qt::Key_End) << none << p10 << QString() << 0 << 1;
    QTest::newRow("→ at the last") << p10 << int(Qt::Key_Right) << none << p10 << last << 0 << 1;
    QTest::newRow("End at the last") << p10 << int(Qt::Key_End) << none << p10 << last << 0 << 1;
    QTest::newRow("← at the first") << p1 << int(Qt::Key_Left) << none << p1 << first << 0 << 1;
    QTest::newRow("Home at the first") << p1 << int(Qt::Key_Home) << none << p1 << first << 0 << 1;
    QTest::newRow("+ zooms in") << p2 << int(Qt::Key_Plus) << none << p2 << QStringLiteral("fit up") << 0 << 1;
    QTest::newRow("= zooms in") << p2 << int(Qt::Key_Equal) << none << p2 << QStringLiteral("fit up") << 0 << 1;
    QTest::newRow("keypad + zooms in") << p2 << int(Qt::Key_Plus) << pad << p2 << QStringLiteral("fit up") << 0 << 1;
    QTest::newRow("− zooms out") << p2 << int(Qt::Key_Minus) << none << p2 << QStringLiteral("fit down") << 0 << 1;
    QTest::newRow("keypad − zooms out") << p2 << int(Qt::Key_Minus) << pad << p2 << QStringLiteral("fit down") << 0 << 1;
    QTest::newRow("0 fits") << p2 << int(Qt::Key_0) << none << p2 << fit << 0 << 1;
    QTest::newRow("F fits") << p2 << int(Qt::Key_F) << none << p2 << fit << 0 << 1;
    QTest::newRow("1 actual size") << p2 << int(Qt::Key_1) << none << p2 << QStringLiteral("100%") << 0 << 2;
    QTest::newRow("R turns right") << p2 << int(Qt::Key_R) << none << p2 << QString() << 90 << 1;
    QTest::newRow("Ctrl+R turns right") << p2 << int(Qt::Key_R) << ctrl << p2 << QString() << 90 << 1;
    QTest::newRow("L turns left") << p2 << int(Qt::Key_L) << none << p2 << QString() << -90 << 1;
    QTest::newRow("Ctrl+L turns left") << p2 << int(Qt::Key_L) << ctrl << p2 << QString() << -90 << 1;
}

void TestViewerWindow::keys()
{
    QFETCH(QString, start);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, shown);
    QFETCH(QString, toast);
    QFETCH(int, turn);
    QFETCH(int, sizeMode);

    showKeyFile(start);
    QTest::keyClick(window, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    ImageView *view = window->view();
    QTRY_COMPARE(QFileInfo(view->imgFilePath()).fileName(), shown);
    QTRY_VERIFY(!view->currentPixmap().isNull());
    QCOMPARE(window->titleBar()->titleText(), shown);
    if (toast.isEmpty()) {
        QVERIFY(window->toast()->isHidden());
    } else {
        if (toast.startsWith(QLatin1String("fit"))) {
            double factor = ZoomModel::fitFactor(view->pictureSize(), view->graphicsView()->size());
            if (toast.endsWith(QLatin1String("up")))
                factor *= ZoomModel::kStep;
            else if (toast.endsWith(QLatin1String("down")))
                factor /= ZoomModel::kStep;
            toast = ZoomModel::percentText(factor);
        }
        QVERIFY(!window->toast()->isHidden());
        QCOMPARE(window->toast()->text(), toast);
    }
    QCOMPARE(turnOf(view->graphicsView()), turn);
    QCOMPARE(window->sizeMode(), sizeMode);
    // Stepping and turning leave a picture that fits the window.
    if (toast.isEmpty())
        QVERIFY(pictureFits(view));
}

void TestViewerWindow::keyTooltips()
{
    ViewerToolStrip *f = window->toolStrip();
    const QList<QPair<QPushButton *, QString>> expected = {
        {f->prevBtn(), QStringLiteral("上一张 (←)")},
        {f->nextBtn(), QStringLiteral("下一张 (→)")},
        {window->view()->leftArrowBtn(), QStringLiteral("上一张 (←)")},
        {window->view()->rightArrowBtn(), QStringLiteral("下一张 (→)")},
        {f->changeSizeBtn(), QStringLiteral("原始大小 (1)")},
        {f->biggerBtn(), QStringLiteral("放大 (+)")},
        {f->smallerBtn(), QStringLiteral("缩小 (−)")},
        {f->turnLeftBtn(), QStringLiteral("左旋转 (L)")},
        {f->turnRightBtn(), QStringLiteral("右旋转 (R)")},
        {f->printBtn(), QStringLiteral("打印 (Ctrl+P)")},
    };
    for (const auto &pair : expected)
        QCOMPARE(pair.first->toolTip(), pair.second);
}

// A command is one QAction: its keys, its button on the strip and its menu entry
// are that action, so all three do the same thing.
void TestViewerWindow::oneActionPerCommand()
{
    using A = ViewerCommands::Action;
    showKeyFile(QStringLiteral("p2.png"));
    ViewerToolStrip *f = window->toolStrip();
    const QList<QPair<QAbstractButton *, A>> buttons = {
        {f->prevBtn(), A::Previous},    {f->nextBtn(), A::Next},         {f->biggerBtn(), A::ZoomIn},
        {f->smallerBtn(), A::ZoomOut},  {f->turnLeftBtn(), A::TurnLeft}, {f->turnRightBtn(), A::TurnRight},
        {f->changeSizeBtn(), A::ToggleSize}, {window->view()->leftArrowBtn(), A::Previous},
        {window->view()->rightArrowBtn(), A::Next},
    };
    for (const auto &pair : buttons) {
        QAction *action = window->commandActions()->get(pair.second);
        QCOMPARE(action->shortcuts(), ViewerCommands::command(pair.second).keys);
        QVERIFY(window->QWidget::actions().contains(action));
        QSignalSpy fired(action, &QAction::triggered);
        pair.first->click();
        QCOMPARE(fired.size(), 1);
    }
    QScopedPointer<QMenu> menu(PictureMenu::make(window));
    QList<QAction *> entries;
    for (QAction *entry : menu->actions())
        entries << entry << (entry->menu() ? entry->menu()->actions() : QList<QAction *>());
    for (A action : {A::TurnLeft, A::TurnRight, A::Print, A::CopyPicture, A::CopyPath, A::ShowInFolder, A::Trash,
                     A::ToggleInfo, A::OpenConvert, A::OpenResize, A::OpenBatch})
        QVERIFY(entries.contains(window->commandActions()->get(action)));
}

void TestViewerWindow::noKeyTouchesFiles()
{
    showKeyFile(QStringLiteral("p2.png"));
    const QStringList before = folderState(keyFile(QString()));
    // Shift+Delete above all: nothing deletes a file outright.
    QList<QKeySequence> keys = {QKeySequence(Qt::SHIFT | Qt::Key_Delete), QKeySequence::Cut, QKeySequence::Paste,
                                QKeySequence::Undo, QKeySequence(Qt::Key_F2)};
    for (const ViewerCommands::Command &binding : ViewerCommands::commands()) {
        // The two that open dialogs, and Delete (to the trash), have tests of their own.
        using A = ViewerCommands::Action;
        if (binding.action != A::Open && binding.action != A::Print && binding.action != A::Trash)
            keys += binding.keys;
    }
    for (const QKeySequence &key : qAsConst(keys)) {
        QTest::keySequence(window, key);
        QTRY_VERIFY(!window->view()->currentPixmap().isNull());
    }
    QCOMPARE(folderState(keyFile(QString())), before);
}

void TestViewerWindow::openKeyWhateverIsShown_data()
{
    QTest::addColumn<bool>("withPicture");
    QTest::newRow("empty window") << false;
    QTest::newRow("picture shown") << true;
}

void TestViewerWindow::openKeyWhateverIsShown()
{
    QFETCH(bool, withPicture);
    if (withPicture)
        showKeyFile(QStringLiteral("p1.png"));
    else
        QVERIFY(QTest::qWaitForWindowActive(window));

    QString title;
    QString startedIn;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            title = dialog->windowTitle();
            startedIn = dialog->directory().absolutePath();
            // Typed in as a user would, the whole path.
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(keyFile(QStringLiteral("p10.png")));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            poll.stop();
        } else if (QWidget *other = QApplication::activeModalWidget()) {
            other->close(); // a complaint from the dialog; the checks below fail
        }
    });
    poll.start(20);
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(title, QStringLiteral("打开图片"));
    if (withPicture)
        QCOMPARE(startedIn, QDir(keyFile(QString())).absolutePath());
    QTRY_COMPARE(window->view()->imgFilePath(), keyFile(QStringLiteral("p10.png")));
    QTRY_VERIFY(!window->view()->currentPixmap().isNull());
}

void TestViewerWindow::printKeyAndDialogGoneAfterClose()
{
    showKeyFile(QStringLiteral("p1.png"));
    for (int round = 0; round < 3; ++round) {
        QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
        const QList<PrintDialog *> dialogs = window->findChildren<PrintDialog *>();
        QCOMPARE(dialogs.size(), 1);
        QPointer<PrintDialog> dialog = dialogs.first();
        QVERIFY(dialog->isVisible());
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
        // A window manager hands the focus back; the test platform has none.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
}

void TestViewerWindow::fullScreen()
{
    showKeyFile(QStringLiteral("p2.png"));
    QTest::keyClick(window, Qt::Key_F11);
    QTRY_VERIFY(window->isFullScreen());
    QVERIFY(window->titleBar()->isHidden());
    QVERIFY(window->toolStrip()->isHidden());
    QTRY_VERIFY(pictureFits(window->view()));

    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!window->isFullScreen());
    QTRY_VERIFY(window->isMaximized());
    QVERIFY(window->titleBar()->isVisible());
    QVERIFY(window->toolStrip()->isVisible());
    QTest::keyClick(window, Qt::Key_Escape); // not full screen: nothing happens
    QVERIFY(window->isMaximized());

    // A double click on the picture goes in and out too.
    QWidget *viewport = window->view()->graphicsView()->viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, viewport->rect().center());
    QTRY_VERIFY(window->isFullScreen());
    QTRY_VERIFY(pictureFits(window->view()));
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, viewport->rect().center());
    QTRY_VERIFY(!window->isFullScreen());
    QVERIFY(window->titleBar()->isVisible());
}

void TestViewerWindow::fitFollowsWindow()
{
    window->showNormal();
    window->resize(1100, 730);
    showKeyFile(QStringLiteral("p1.png"));
    QVERIFY(pictureFits(window->view()));
    for (const QSize &size : {QSize(1500, 1000), QSize(1200, 740), QSize(1700, 1150)}) {
        window->resize(size);
        QTRY_COMPARE(window->size(), size);
        QVERIFY2(pictureFits(window->view()), qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
    }
    window->showMaximized();
    QTRY_VERIFY(window->isMaximized());
    QVERIFY(pictureFits(window->view()));
    // In a window larger than the picture the load rule shows it at actual size.
    window->showNormal();
    window->resize(2000, 1500);
    QTRY_COMPARE(window->size(), QSize(2000, 1500));
    QCOMPARE(window->view()->graphicsView()->transform(), QTransform());

    // Zoomed by hand, the picture keeps its scale when the window changes.
    QTest::keyClick(window, Qt::Key_Plus);
    const double zoomed = window->view()->graphicsView()->transform().m11();
    window->showNormal();
    window->resize(1300, 800);
    QTRY_COMPARE(window->size(), QSize(1300, 800));
    QCOMPARE(window->view()->graphicsView()->transform().m11(), zoomed);

    // Fitted again, it follows again, and its zoom is the new fit.
    QTest::keyClick(window, Qt::Key_0);
    window->resize(1900, 1200);
    QTRY_COMPARE(window->size(), QSize(1900, 1200));
    QVERIFY(pictureFits(window->view()));
    QCOMPARE(window->view()->zoomFactor(),
             ZoomModel::fitFactor(QSizeF(1600, 1200), window->view()->graphicsView()->size()));
}

void TestViewerWindow::turnRefits()
{
    showKeyFile(QStringLiteral("p2.png")); // 1800 x 900
    for (int turn : {90, 180, -90, 0}) {
        QTest::keyClick(window, Qt::Key_R);
        QCOMPARE(turnOf(window->view()->graphicsView()), turn);
        QVERIFY(pictureFits(window->view()));
    }
    // The buttons turn the same way.
    window->toolStrip()->turnLeftBtn()->click();
    QCOMPARE(turnOf(window->view()->graphicsView()), -90);
    QVERIFY(pictureFits(window->view()));
}

// The zoom notice sits at the window's centre, where people zoom: the wheel turns
// pass through it, each one a step at the point under the cursor.
void TestViewerWindow::wheelThroughToast()
{
    showKeyFile(QStringLiteral("p1.png"));
    const double fitted = window->view()->zoomFactor();
    QTest::keyClick(window, Qt::Key_Plus);
    Toast *toast = window->toast();
    QVERIFY(toast->isVisible());

    QGraphicsView *graphics = window->view()->graphicsView();
    const QPoint global = toast->mapToGlobal(toast->rect().center());
    const QPoint cursor = graphics->viewport()->mapFromGlobal(global);
    QVERIFY(graphics->viewport()->rect().contains(cursor));
    const QPointF before = graphics->mapToScene(cursor);
    for (int notch = 0; notch < 10; ++notch)
        sendWheel(toast, toast->rect().center(), 120);

    const double expected = fitted * std::pow(ZoomModel::kStep, 11);
    QVERIFY(std::abs(window->view()->zoomFactor() - expected) < 1e-9);
    QCOMPARE(toast->text(), ZoomModel::percentText(expected));
    const QPointF after = graphics->mapToScene(cursor);
    QVERIFY(QLineF(before, after).length() < 1.5 / graphics->transform().m11());
}

void TestViewerWindow::dropAnywhere_data()
{
    QTest::addColumn<bool>("withPicture");
    QTest::addColumn<QString>("where");
    QTest::newRow("on the picture") << true << "picture";
    QTest::newRow("on the title bar") << true << "title";
    QTest::newRow("on the tool strip") << true << "footer";
    QTest::newRow("on the drop area") << false << "dropArea";
    QTest::newRow("on the title bar, empty window") << false << "title";
}

void TestViewerWindow::dropAnywhere()
{
    QFETCH(bool, withPicture);
    QFETCH(QString, where);
    if (withPicture)
        showKeyFile(QStringLiteral("p1.png"));

    QWidget *target = where == QLatin1String("picture") ? window->view()->graphicsView()->viewport()
        : where == QLatin1String("title")               ? static_cast<QWidget *>(window->titleBar())
        : where == QLatin1String("footer")              ? static_cast<QWidget *>(window->toolStrip())
                                                        : static_cast<QWidget *>(window->view()->dropArea());
    const QPoint pos = target->rect().center();
    const QString text = tmp.filePath(QStringLiteral("notes.txt"));
    QVERIFY(Fixtures::writeBytes(text, "not a picture"));

    // A file that is no picture is refused.
    QMimeData refused;
    refused.setUrls({QUrl::fromLocalFile(text)});
    QDragEnterEvent refusedEnter(pos, Qt::CopyAction, &refused, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &refusedEnter);
    QVERIFY(!refusedEnter.isAccepted());

    // The first of several is opened.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(keyFile(QStringLiteral("p10.png"))),
                  QUrl::fromLocalFile(keyFile(QStringLiteral("p2.png")))});
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(window->view()->imgFilePath(), keyFile(QStringLiteral("p10.png")));
    QTRY_VERIFY(!window->view()->currentPixmap().isNull());
    QCOMPARE(window->titleBar()->titleText(), QStringLiteral("p10.png"));
}

// The facts line of each picture of a folder: place, pixel size, file size, zoom;
// the window manager's title names the file.
void TestViewerWindow::factsLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("position");
    QTest::newRow("first") << "f1.png" << QSize(64, 48) << "1/3";
    QTest::newRow("natural order: f2 before f10") << "f2.png" << QSize(30, 20) << "2/3";
    QTest::newRow("last") << "f10.png" << QSize(48, 64) << "3/3";
}

void TestViewerWindow::factsLine()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QString, position);
    const QString dir = tmp.filePath(QStringLiteral("facts"));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(Fixtures::writeImage(dir + QStringLiteral("/f1.png"), QSize(64, 48)));
    QVERIFY(Fixtures::writeImage(dir + QStringLiteral("/f2.png"), QSize(30, 20)));
    QVERIFY(Fixtures::writeImage(dir + QStringLiteral("/f10.png"), QSize(48, 64)));
    const QString path = dir + QLatin1Char('/') + name;
    window->view()->showImg(path);
    QVERIFY(waitLoaded(*window->view()));
    // Small pictures are shown at actual size: 100%.
    const QString expected = QStringLiteral("%1  %2×%3  %4  100%")
                                 .arg(position)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(sizeText(QFileInfo(path).size()));
    QTRY_COMPARE(window->titleBar()->facts(), expected);
    QCOMPARE(window->windowTitle(), name + QStringLiteral(" – Quorvane"));
    // A zoom step shows in the line at once.
    window->perform(ViewerCommands::Action::ZoomIn);
    QTRY_VERIFY(window->titleBar()->facts().endsWith(QStringLiteral("  108%")));
}

// Delete moves the shown file into the (private) trash and shows the next one;
// Ctrl+Z puts it back, bytes and all, and shows it again.
void TestViewerWindow::trashRoundTrip()
{
    const QString dir = tmp.filePath(QStringLiteral("cull"));
    QVERIFY(QDir().mkpath(dir));
    const QString first = dir + QStringLiteral("/c1.png");
    const QString second = dir + QStringLiteral("/c2.png");
    QVERIFY(Fixtures::writeImage(first, QSize(40, 30), Qt::darkCyan));
    QVERIFY(Fixtures::writeImage(second, QSize(30, 40)));
    QFile original(first);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    original.close();
    window->view()->showImg(first);
    QVERIFY(waitLoaded(*window->view()));
    QVERIFY(QTest::qWaitForWindowActive(window));

    QTest::keyClick(window, Qt::Key_Delete);
    const QString trashed = tmp.filePath(QStringLiteral("data/Trash/files/c1.png"));
    QVERIFY(!QFile::exists(first));
    QVERIFY(QFile::exists(trashed));
    QVERIFY(QFile::exists(tmp.filePath(QStringLiteral("data/Trash/info/c1.png.trashinfo"))));
    QCOMPARE(window->toast()->text(), QStringLiteral("已移到回收站"));
    QCOMPARE(window->view()->imgFilePath(), second);
    QVERIFY(waitLoaded(*window->view()));
    QTRY_VERIFY(window->titleBar()->facts().startsWith(QStringLiteral("1/1  ")));

    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!QFile::exists(trashed));
    QVERIFY(!QFile::exists(tmp.filePath(QStringLiteral("data/Trash/info/c1.png.trashinfo"))));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), bytes);
    QCOMPARE(window->view()->imgFilePath(), first);
    QVERIFY(waitLoaded(*window->view()));
    QCOMPARE(window->view()->pictureSize(), QSizeF(40, 30));

    // The last picture of a folder: the view is empty again, and comes back.
    QVERIFY(QFile::remove(second));
    QTest::keyClick(window, Qt::Key_Delete);
    QVERIFY(!QFile::exists(first));
    QVERIFY(window->view()->imgFilePath().isEmpty());
    QVERIFY(window->view()->dropArea()->isVisible());
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(QFile::exists(first));
    QCOMPARE(window->view()->imgFilePath(), first);
}

// Another program removes the shown file: the next one shows, with a notice, and
// the facts count the folder as it is now.
void TestViewerWindow::shownFileRemovedElsewhere()
{
    const QString dir = tmp.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(dir));
    for (const char *name : {"e1.png", "e2.png", "e3.png"})
        QVERIFY(Fixtures::writeImage(dir + QLatin1Char('/') + QLatin1String(name), QSize(40, 30)));
    window->view()->showImg(dir + QStringLiteral("/e2.png"));
    QVERIFY(waitLoaded(*window->view()));
    QTRY_VERIFY(window->titleBar()->facts().startsWith(QStringLiteral("2/3  ")));
    QVERIFY(QProcess::execute(QStringLiteral("rm"), {dir + QStringLiteral("/e2.png")}) == 0);
    QTRY_COMPARE(window->view()->imgFilePath(), dir + QStringLiteral("/e3.png"));
    QCOMPARE(window->toast()->text(), QStringLiteral("当前图片已被移走或删除"));
    QCOMPARE(window->titleBar()->titleText(), QStringLiteral("e3.png"));
    QVERIFY(waitLoaded(*window->view()));
    QTRY_VERIFY(window->titleBar()->facts().startsWith(QStringLiteral("2/2  ")));
    // A neighbour going leaves the shown picture where it is.
    QVERIFY(QFile::remove(dir + QStringLiteral("/e1.png")));
    QTRY_VERIFY(window->titleBar()->facts().startsWith(QStringLiteral("1/1  ")));
    QCOMPARE(window->view()->imgFilePath(), dir + QStringLiteral("/e3.png"));
    QVERIFY(window->view()->hasPicture());
}

void TestViewerWindow::undoOntoTakenName_data()
{
    QTest::addColumn<QString>("taker"); // what takes the name
    QTest::addColumn<bool>("lastMoment"); // after every check, right before the move back
    for (const bool last : {false, true}) {
        const char *when = last ? "at the last moment" : "before the undo";
        QTest::addRow("a new file, %s", when) << "file" << last;
        QTest::addRow("a dangling link, %s", when) << "dangling link" << last;
    }
}

// Ctrl+Z never puts a file back over whatever took its name meanwhile, a link
// whose target does not exist included (writing through it would create the
// target): the window says so, the newcomer is unchanged, and the trashed file stays
// in the trash, ready for another undo.
void TestViewerWindow::undoOntoTakenName()
{
    QFETCH(QString, taker);
    QFETCH(bool, lastMoment);
    QTemporaryDir scratch(tmp.filePath(QStringLiteral("taken-XXXXXX")));
    const QString path = scratch.filePath(QStringLiteral("t.png"));
    const QString missing = scratch.filePath(QStringLiteral("nowhere.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(20, 10)));
    window->view()->showImg(path);
    QVERIFY(waitLoaded(*window->view()));
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Delete);
    QVERIFY(!ShownFile::nameTaken(path));
    const QStringList inTrash = QDir(tmp.filePath(QStringLiteral("data/Trash/files"))).entryList(QDir::Files);

    const auto take = [&] {
        if (taker == QLatin1String("file"))
            QVERIFY(Fixtures::writeBytes(path, "saved by another program"));
        else
            QVERIFY(QFile::link(missing, path));
    };
    if (lastMoment)
        window->trash().setBeforeRestore([&](const QString &original) {
            QCOMPARE(original, path);
            take();
        });
    else
        take();
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    window->trash().setBeforeRestore({});

    QCOMPARE(window->toast()->text(), QStringLiteral("原位置已有同名文件，未恢复"));
    if (taker == QLatin1String("file")) {
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("saved by another program"));
    } else {
        QCOMPARE(QFileInfo(path).symLinkTarget(), missing);
        QVERIFY(!ShownFile::nameTaken(missing));
    }
    QCOMPARE(QDir(tmp.filePath(QStringLiteral("data/Trash/files"))).entryList(QDir::Files), inTrash);
    QVERIFY(window->trash().canRestore());
    // Once the name is free again, the undo puts the file back.
    QVERIFY(QFile::remove(path));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window->toast()->text(), QStringLiteral("已恢复"));
    QCOMPARE(Fixtures::imageSize(path), QSize(20, 10));
}

void TestViewerWindow::shownFileActions_data()
{
    QTest::addColumn<QString>("replacement"); // what the shown file's name is given to after it was shown
    QTest::addColumn<QString>("action");
    const QStringList actions{"trash", "copy path", "copy picture", "print", "show in folder", "open with"};
    for (const QString &action : actions)
        QTest::addRow("the picture file: %s", qPrintable(action)) << QString() << action;
    for (const char *replacement : {"folder", "FIFO", "link to a folder", "link to a FIFO"}) {
        for (const QString &action : actions)
            QTest::addRow("a %s: %s", replacement, qPrintable(action)) << QString::fromLatin1(replacement) << action;
    }
}

// Every action on "the shown file" asks, when it acts, whether the name still holds
// a picture file: one that became a folder, a FIFO or a link to either is left
// alone (not trashed, copied, printed, shown or handed to the toolbox).
void TestViewerWindow::shownFileActions()
{
    QFETCH(QString, replacement);
    QFETCH(QString, action);
    QTemporaryDir scratch(tmp.filePath(QStringLiteral("acts-XXXXXX")));
    const QString path = scratch.filePath(QStringLiteral("p.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(40, 30)));
    window->view()->showImg(path);
    QVERIFY(waitLoaded(*window->view()));
    QVERIFY(replaceWith(path, replacement));
    const bool acts = replacement.isEmpty();
    QCOMPARE(ShownFile::isPictureFile(path), acts);

    QApplication::clipboard()->setText(QStringLiteral("sentinel"));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    const QStringList inTrash = QDir(tmp.filePath(QStringLiteral("data/Trash/files"))).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    using A = ViewerCommands::Action;
    if (action == QLatin1String("trash"))
        window->perform(A::Trash);
    else if (action == QLatin1String("copy path"))
        window->perform(A::CopyPath);
    else if (action == QLatin1String("copy picture"))
        window->perform(A::CopyPicture);
    else if (action == QLatin1String("print"))
        window->perform(A::Print);
    else if (action == QLatin1String("show in folder"))
        window->showInFolder();
    else
        window->openWith(Toolbox::ConvertTab);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    FolderOpener::handleFileUrls();

    if (action == QLatin1String("trash")) {
        QCOMPARE(ShownFile::nameTaken(path), !acts);
        const QStringList after = QDir(tmp.filePath(QStringLiteral("data/Trash/files"))).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
        QCOMPARE(after.size(), inTrash.size() + (acts ? 1 : 0));
        if (!acts) {
            QCOMPARE(QFileInfo(path).isSymLink(), replacement.startsWith(QLatin1String("link")));
            if (replacement.endsWith(QLatin1String("folder")))
                QVERIFY(QFile::exists(path + QStringLiteral("/keep.txt")));
        }
    } else if (action == QLatin1String("copy path")) {
        QCOMPARE(QApplication::clipboard()->text(), acts ? QDir::toNativeSeparators(path) : QStringLiteral("sentinel"));
    } else if (action == QLatin1String("copy picture")) {
        if (acts)
            QTRY_COMPARE(QApplication::clipboard()->image().size(), QSize(40, 30));
        else
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("sentinel"));
    } else if (action == QLatin1String("print")) {
        const QList<PrintDialog *> dialogs = window->findChildren<PrintDialog *>();
        QCOMPARE(dialogs.size(), acts ? 1 : 0);
        for (PrintDialog *dialog : dialogs)
            dialog->close();
    } else if (action == QLatin1String("show in folder")) {
        QCOMPARE(catcher.urls.size(), acts ? 1 : 0);
        if (acts)
            QCOMPARE(catcher.urls.first().toLocalFile(), scratch.path());
    } else {
        const QList<ToolboxWindow *> boxes = window->findChildren<ToolboxWindow *>();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first()->page(Toolbox::ConvertTab)->centerWidget()->rowCount(), acts ? 1 : 0);
        boxes.first()->close();
    }
}

void TestViewerWindow::showInFolderSaysWhenNothingOpensIt_data()
{
    QTest::addColumn<int>("status"); // of a stand-in xdg-open
    QTest::addColumn<bool>("said");
    QTest::newRow("opened") << 0 << false;
    QTest::newRow("no file manager") << 3 << true; // as xdg-open says it
}

// Without a file manager on the bus the folder goes to xdg-open; when that cannot
// hand it to anything, the window says so instead of doing nothing.
void TestViewerWindow::showInFolderSaysWhenNothingOpensIt()
{
    QFETCH(int, status);
    QFETCH(bool, said);
    QTemporaryDir scratch(tmp.filePath(QStringLiteral("open-XXXXXX")));
    const QString path = scratch.filePath(QStringLiteral("p.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(40, 30)));
    window->view()->showImg(path);
    QVERIFY(waitLoaded(*window->view()));
    QVERIFY(QDir(scratch.path()).mkpath(QStringLiteral("bin")));
    QFile script(scratch.filePath(QStringLiteral("bin/xdg-open")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"$1\" > \"%1\"\nexit %2\n")
                     .arg(scratch.filePath(QStringLiteral("asked")))
                     .arg(status)
                     .toUtf8());
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(scratch.filePath(QStringLiteral("bin"))) + ':' + oldPath);
    window->toast()->hide();

    window->showInFolder();
    QTRY_VERIFY(QFile::exists(scratch.filePath(QStringLiteral("asked"))));
    QTRY_COMPARE(FolderOpener::pending(), 0);
    qputenv("PATH", oldPath);
    QFile asked(scratch.filePath(QStringLiteral("asked")));
    QVERIFY(asked.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(asked.readAll().trimmed()), scratch.path());
    QCOMPARE(!window->toast()->isHidden(), said);
    if (said)
        QCOMPARE(window->toast()->text(), QStringLiteral("无法打开文件夹：") + scratch.path());
}

// With the panel open on a RAW file whose decoder never answers, the GUI thread
// answers at once, the panel says "读取中…", and the next picture ends the read
// (and the decoder). The decoder is a stand-in where the viewer looks for its own.
void TestViewerWindow::stuckDecoderNeverFreezesPanel()
{
    StandInDecoder::AppFolder app;
    QVERIFY(app.isValid());
    // Each in a folder of its own: the other picture's neighbours are not the stuck
    // file, whose preload would start a decoder of its own.
    QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("stuck")) && QDir(tmp.path()).mkpath(QStringLiteral("other")));
    const QString raw = tmp.filePath(QStringLiteral("stuck/stuck.dng"));
    QVERIFY(Fixtures::writeBytes(raw, "hang\n"));
    const QString other = tmp.filePath(QStringLiteral("other/a2.png"));
    QVERIFY(Fixtures::writeImage(other, QSize(300, 200)));
    QProcess child;
    QVERIFY(app.run(child, {QLatin1String(kOpenArgumentMode), QStringLiteral("--stuck-panel"), raw, other}));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
             QStringLiteral("toggle fast answer fast | 1 读取中… stuck.dng | 1 a2.png 1"));
}

void TestViewerWindow::minimumSizeOnSmallScreens_data()
{
    QTest::addColumn<QSize>("wanted");
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("minimum");
    QTest::newRow("1920x1080 at 2x") << QSize(1100, 730) << QSize(960, 516) << QSize(960, 516);
    QTest::newRow("1366x768 with a panel") << QSize(1100, 730) << QSize(1366, 728) << QSize(1100, 728);
    QTest::newRow("large screen") << QSize(1400, 900) << QSize(2560, 1400) << QSize(1400, 900);
    QTest::newRow("no screen known") << QSize(1100, 730) << QSize() << QSize(1100, 730);
}

void TestViewerWindow::minimumSizeOnSmallScreens()
{
    QFETCH(QSize, wanted);
    QFETCH(QSize, available);
    QFETCH(QSize, minimum);
    QCOMPARE(ScreenFit::boundedMinimum(wanted, available), minimum);
}

// The test screen (800x600) is smaller than the window's wish: the window gives way,
// and at a logical 960x540 every button of the title bar and the tool strip lies
// inside the window, none over another.
void TestViewerWindow::everyControlAt960x540()
{
    const QSize screen = ScreenFit::availableArea(window).size();
    QVERIFY(window->minimumWidth() <= screen.width() && window->minimumHeight() <= screen.height());
    window->showNormal();
    window->setMinimumSize(0, 0);
    window->resize(960, 540);
    QTRY_COMPARE(window->size(), QSize(960, 540));
    QList<QPushButton *> buttons = window->toolStrip()->findChildren<QPushButton *>();
    buttons += window->titleBar()->findChildren<QPushButton *>();
    QVERIFY(buttons.size() >= 15);
    QList<QRect> placed;
    for (QPushButton *button : qAsConst(buttons)) {
        const QRect rect(button->mapTo(window, QPoint(0, 0)), button->size());
        QVERIFY2(window->rect().contains(rect), qPrintable(button->toolTip() + button->text()));
        for (const QRect &other : qAsConst(placed))
            QVERIFY2(!other.intersects(rect), qPrintable(button->toolTip() + button->text()));
        placed << rect;
    }
    QVERIFY(window->view()->height() > 300);
}

void TestViewerWindow::folderArgument_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("report");
    QTest::newRow("first picture in natural order") << "keys" << "1600x1200 p1.png";
    QTest::newRow("a folder without pictures: the empty view") << "empty folder" << "0x0 ";
}

void TestViewerWindow::folderArgument()
{
    QFETCH(QString, folder);
    QFETCH(QString, report);
    QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("empty folder")));
    QProcess child;
    QVERIFY(SelfChild::run(child, {QLatin1String(kOpenArgumentMode), tmp.filePath(folder)}));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), report);
}

void TestViewerWindow::exifPanel_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::newRow("name") << "文件名" << "camera.jpg";
    QTest::newRow("date taken") << "拍摄时间" << "2024-05-01 10:20:30";
    QTest::newRow("pixel size") << "像素尺寸" << "64×48";
    QTest::newRow("format") << "格式" << "JPEG";
    QTest::newRow("camera") << "相机" << "Quorvane Test Cam 1";
    QTest::newRow("lens") << "镜头" << "Test Lens 50mm";
    QTest::newRow("exposure") << "曝光时间" << "1/250 s";
    QTest::newRow("aperture") << "光圈" << "f/2.8";
    QTest::newRow("ISO") << "ISO" << "400";
    QTest::newRow("focal length") << "焦距" << "50 mm";
    QTest::newRow("GPS") << "GPS 位置" << "39.900000, 116.400000";
}

// The panel (key I) shows what the camera wrote into the file.
void TestViewerWindow::exifPanel()
{
    QFETCH(QString, label);
    QFETCH(QString, value);
    const QString path = tmp.filePath(QStringLiteral("camera.jpg"));
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkYellow);
    QVERIFY(Fixtures::writeJpegWithCameraExif(path, image));
    window->view()->showImg(path);
    QVERIFY(waitLoaded(*window->view()));
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(window->info()->isHidden());
    QTest::keyClick(window, Qt::Key_I);
    QVERIFY(window->info()->isVisible());
    QTRY_COMPARE(PictureInfo::value(window->info()->rows(), label), value);
}

// A camera RAW file's rows come from LibRaw's own fields.
void TestViewerWindow::rawPanelRows()
{
    const QString path = tmp.filePath(QStringLiteral("shot.dng"));
    QVERIFY(Fixtures::writeDng(path, 96, 64));
    const QVector<PictureInfo::Row> rows = PictureInfo::read(path, QSize());
    QCOMPARE(PictureInfo::value(rows, QStringLiteral("相机")), QStringLiteral("TestMaker Synth 1"));
    QCOMPARE(PictureInfo::value(rows, QStringLiteral("格式")), QStringLiteral("RAW (DNG)"));
    QCOMPARE(PictureInfo::value(rows, QStringLiteral("像素尺寸")), QStringLiteral("96×64"));
    QVERIFY(PictureInfo::value(rows, QStringLiteral("GPS 位置")).isEmpty());

    // A file that crashes LibRaw's parser costs the panel its camera rows, not the viewer.
    const QString crafted = tmp.filePath(QStringLiteral("overflow.dng"));
    QVERIFY(QFile::copy(Fixtures::testsDir() + QStringLiteral("/fixtures/raw-parser-overflow.dng"), crafted));
    const QVector<PictureInfo::Row> none = PictureInfo::read(crafted, QSize());
    QVERIFY(PictureInfo::value(none, QStringLiteral("相机")).isEmpty());
    QCOMPARE(PictureInfo::value(none, QStringLiteral("格式")), QStringLiteral("RAW (DNG)"));

    // A FIFO named like a picture is not opened (that would block the window).
    for (const QString &name : {QStringLiteral("pipe.jpg"), QStringLiteral("pipe.dng")}) {
        const QString pipe = tmp.filePath(name);
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QCOMPARE(PictureInfo::value(PictureInfo::read(pipe, QSize()), QStringLiteral("文件名")), name);
    }
}

// The menu on the picture holds every entry, and its trash entry culls.
void TestViewerWindow::contextMenuEntries()
{
    showKeyFile(QStringLiteral("p1.png"));
    QScopedPointer<QMenu> menu(PictureMenu::make(window));
    QStringList texts;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text().section(QLatin1Char('\t'), 0, 0);
        if (action->menu()) {
            for (QAction *inner : action->menu()->actions())
                texts << QStringLiteral("> ") + inner->text();
        }
    }
    QCOMPARE(texts, (QStringList{"打开方式", "> 格式转换", "> 更改尺寸", "> 批处理", "左旋转", "右旋转", "打印",
                                 "复制图片", "复制路径", "在文件夹中显示", "排序方式", "> 名称", "> 拍摄日期",
                                 "> 修改时间", "> 文件大小", "> 文件类型", "> ", "> 升序", "> 降序", "幻灯片放映",
                                 "幻灯片间隔", "> 2 秒", "> 3 秒", "> 5 秒", "> 10 秒", "缩略图栏", "缩略图网格",
                                 "移到回收站", "属性"}));
}

void TestViewerWindow::copyAndPrintWholeTurnedPicture()
{
    // The view holds a picture the size of the screen; copying and printing hand on
    // the whole picture, turned as shown.
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a1.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    QTRY_VERIFY(window->view()->currentPixmap().width() < 2400);
    QApplication::clipboard()->clear();
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    QTRY_COMPARE(QApplication::clipboard()->image().size(), QSize(2400, 1800));

    QTest::keyClick(window, Qt::Key_R);
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    QTRY_COMPARE(QApplication::clipboard()->image().size(), QSize(1800, 2400));

    QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
    const QList<PrintDialog *> dialogs = window->findChildren<PrintDialog *>();
    QCOMPARE(dialogs.size(), 1);
    const auto printed = [&] {
        QSizeF size;
        for (QGraphicsItem *item : dialogs.first()->previewScene()->items()) {
            if (const auto *picture = dynamic_cast<QGraphicsPixmapItem *>(item))
                size = picture->boundingRect().size();
        }
        return size;
    };
    QTRY_VERIFY(printed().height() > printed().width());
    dialogs.first()->close();
}

void TestViewerWindow::sharpOnScaledScreen()
{
    // On a screen scaled by two the fitted picture covers twice the view's pixels;
    // the held picture must have as many, or the screen shows it blown up.
    qputenv("QT_SCALE_FACTOR", "2");
    QProcess child;
    const bool ran = SelfChild::run(child, {QLatin1String(kOpenArgumentMode), QStringLiteral("--held"),
                                            tmp.filePath(QStringLiteral("a1.png"))});
    qunsetenv("QT_SCALE_FACTOR");
    QVERIFY(ran);
    QCOMPARE(child.exitCode(), 0);
    const QStringList report = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char(' '));
    QCOMPARE(report.size(), 2);
    const int covered = report.at(0).toInt();
    const int heldWidth = report.at(1).toInt();
    QVERIFY2(covered > 0 && covered < 2400, qPrintable(report.join(QLatin1Char(' '))));
    QVERIFY2(heldWidth >= covered - 1 && heldWidth <= 2400, qPrintable(report.join(QLatin1Char(' '))));
}


// F5: full screen, then the next picture every interval, round to the first after
// the last; each is on screen the moment its turn comes (decoded ahead).
void TestViewerWindow::slideshowShowsReadyPictures()
{
    showKeyFile(QStringLiteral("p2.png"));
    window->slideshowRunner()->setSeconds(1);
    QStringList shown;
    QList<bool> ready;
    connect(window->currentPicture(), &CurrentPicture::changed, this, [&] {
        if (shown.isEmpty() || shown.constLast() != window->view()->imgFilePath()) {
            shown << QFileInfo(window->view()->imgFilePath()).fileName();
            ready << window->view()->hasPicture();
        }
    });
    QTest::keyClick(window, Qt::Key_F5);
    QVERIFY(window->slideshowRunner()->isRunning());
    QTRY_VERIFY(window->isFullScreen());
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 3, 10000);
    QCOMPARE(shown, (QStringList{"p10.png", "p1.png", "p2.png"}));
    QCOMPARE(ready, (QList<bool>{true, true, true}));
    window->perform(ViewerCommands::Action::Slideshow);
    QVERIFY(!window->slideshowRunner()->isRunning());
    QTRY_VERIFY(!window->isFullScreen());
}

// Esc or a click on the picture ends the show and its full screen; stepping stops
// at the ends again. A show started in full screen leaves it full screen.
void TestViewerWindow::slideshowEnds_data()
{
    QTest::addColumn<bool>("click");
    QTest::addColumn<bool>("fullScreenBefore");
    QTest::newRow("Esc") << false << false;
    QTest::newRow("a click") << true << false;
    QTest::newRow("a click, full screen before") << true << true;
}

void TestViewerWindow::slideshowEnds()
{
    QFETCH(bool, click);
    QFETCH(bool, fullScreenBefore);
    showKeyFile(QStringLiteral("p10.png"));
    if (fullScreenBefore)
        window->perform(ViewerCommands::Action::ToggleFullScreen);
    window->perform(ViewerCommands::Action::Slideshow);
    QTRY_VERIFY(window->isFullScreen());
    QVERIFY(window->slideshowRunner()->isRunning());
    // Looping: the last picture's next is the first.
    QCOMPARE(window->currentPicture()->neighbour(1), keyFile(QStringLiteral("p1.png")));
    if (click) {
        QWidget *viewport = window->view()->graphicsView()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, viewport->rect().center());
    } else {
        QTest::keyClick(window, Qt::Key_Escape);
    }
    QVERIFY(!window->slideshowRunner()->isRunning());
    QTRY_COMPARE(window->isFullScreen(), fullScreenBefore && click);
    QCOMPARE(window->view()->imgFilePath(), keyFile(QStringLiteral("p10.png")));
    QVERIFY(window->currentPicture()->neighbour(1).isEmpty());
    QTest::qWait(1500); // longer than the shortest pace: nothing moves any more
    QCOMPARE(window->view()->imgFilePath(), keyFile(QStringLiteral("p10.png")));
}

// The order from the menu: stepping follows it, the entries show it, and the next
// window starts with it.
void TestViewerWindow::sortFromTheMenu()
{
    using A = ViewerCommands::Action;
    showKeyFile(QStringLiteral("p1.png"));
    QVERIFY(window->commandActions()->get(A::SortByName)->isChecked());
    QVERIFY(window->commandActions()->get(A::SortAscending)->isChecked());
    // p1 1600x1200, p2 1800x900, p10 1200x1600 in one colour each: the sizes differ.
    QStringList bySize{"p1.png", "p2.png", "p10.png"};
    std::sort(bySize.begin(), bySize.end(), [this](const QString &a, const QString &b) {
        return QFileInfo(keyFile(a)).size() > QFileInfo(keyFile(b)).size();
    });
    window->commandActions()->get(A::SortBySize)->trigger();
    window->commandActions()->get(A::SortDescending)->trigger();
    QVERIFY(window->commandActions()->get(A::SortBySize)->isChecked());
    QVERIFY(!window->commandActions()->get(A::SortByName)->isChecked());
    QVERIFY(window->commandActions()->get(A::SortDescending)->isChecked());
    QCOMPARE(window->view()->imgFilePath(), keyFile(QStringLiteral("p1.png")));
    window->perform(A::First);
    QStringList stepped{QFileInfo(window->view()->imgFilePath()).fileName()};
    for (int i = 0; i < 2; ++i) {
        window->perform(A::Next);
        stepped << QFileInfo(window->view()->imgFilePath()).fileName();
    }
    QCOMPARE(stepped, bySize);

    ViewerWindow next;
    QCOMPARE(next.folderModel()->order(), (FolderOrder::Order{FolderOrder::Key::Size, true}));
    QVERIFY(next.commandActions()->get(A::SortBySize)->isChecked());
    QVERIFY(next.commandActions()->get(A::SortDescending)->isChecked());
    window->commandActions()->get(A::SortByName)->trigger();
    window->commandActions()->get(A::SortAscending)->trigger();
}

// The remembered choices go to the configuration folder and come back whole;
// nothing stored gives the defaults, and the strip's entry shows the choice.
void TestViewerWindow::choicesRemembered()
{
    const QString file = tmp.filePath(QStringLiteral("config/quorvane/quorvane.conf"));
    ViewerSettings::Choices choices;
    choices.sortOrder = {FolderOrder::Key::DateTaken, true};
    choices.stripShown = true;
    choices.thumbnailSize = 256;
    choices.windowGeometry = QByteArray("\x01\x02geometry", 10);
    ViewerSettings::write(choices);
    QVERIFY(QFile::exists(file));
    const ViewerSettings::Choices back = ViewerSettings::read();
    QCOMPARE(back.sortOrder, choices.sortOrder);
    QCOMPARE(back.stripShown, true);
    QCOMPARE(back.thumbnailSize, 256);
    QCOMPARE(back.windowGeometry, choices.windowGeometry);
    {
        ViewerWindow next;
        QVERIFY(next.commandActions()->get(ViewerCommands::Action::ToggleStrip)->isChecked());
        QSignalSpy toggled(&next, &ViewerWindow::stripToggled);
        next.commandActions()->get(ViewerCommands::Action::ToggleStrip)->trigger();
        QCOMPARE(toggled.count(), 1);
        QCOMPARE(toggled.at(0).at(0).toBool(), false);
        QCOMPARE(ViewerSettings::read().stripShown, false);
    }

    QVERIFY(QFile::remove(file));
    const ViewerSettings::Choices defaults = ViewerSettings::read();
    QCOMPARE(defaults.sortOrder, FolderOrder::Order());
    QCOMPARE(defaults.stripShown, false);
    QCOMPARE(defaults.thumbnailSize, ViewerSettings::Choices().thumbnailSize);
    QVERIFY(defaults.windowGeometry.isEmpty());
}

// The first start is maximised; later ones come back as the last window was left,
// restored (size and place) or maximised; full screen is not a state to come back to.
void TestViewerWindow::windowRemembered_data()
{
    QTest::addColumn<QString>("left"); // "restored", "maximised", "full screen", "" (never shown)
    QTest::addColumn<bool>("maximised");
    QTest::newRow("first start") << "" << true;
    QTest::newRow("left restored") << "restored" << false;
    QTest::newRow("left maximised") << "maximised" << true;
    QTest::newRow("left full screen after restored") << "full screen" << false;
}

void TestViewerWindow::windowRemembered()
{
    QFETCH(QString, left);
    QFETCH(bool, maximised);
    QFile::remove(tmp.filePath(QStringLiteral("config/quorvane/quorvane.conf")));
    const QRect restored(40, 30, 700, 500);
    if (!left.isEmpty()) {
        ViewerWindow before;
        before.showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(&before));
        before.setGeometry(restored);
        QTRY_COMPARE(before.geometry(), restored);
        if (left == QLatin1String("maximised")) {
            before.showMaximized();
            QTRY_VERIFY(before.isMaximized());
        }
        if (left == QLatin1String("full screen")) {
            before.rememberGeometry();
            before.perform(ViewerCommands::Action::ToggleFullScreen);
            QTRY_VERIFY(before.isFullScreen());
        }
        before.close();
    }
    ViewerWindow after;
    after.showAsRemembered();
    QVERIFY(QTest::qWaitForWindowExposed(&after));
    QTRY_COMPARE(after.isMaximized(), maximised);
    if (!maximised)
        QTRY_COMPARE(after.geometry(), restored);
    // The title bar's button offers the other state.
    QCOMPARE(after.titleBar()->maxButtonIcon(), maximised ? QStringLiteral(":/icons/icons/normal_white.png")
                                                          : QStringLiteral(":/icons/icons/max_white.png"));
}

// The restored window may be made as small as the tool strip allows (about 640×480,
// not most of the screen), and at that size every button lies whole inside it.
void TestViewerWindow::narrowestWindowShowsEveryButton()
{
    window->showNormal();
    const QSize minimum = window->minimumSize();
    QVERIFY2(minimum.width() <= 800 && minimum.height() <= 480,
             qPrintable(QStringLiteral("%1x%2").arg(minimum.width()).arg(minimum.height())));
    QVERIFY(minimum.width() >= ViewerWindow::wantedMinimum().width());
    window->resize(minimum);
    QTRY_COMPARE(window->size(), minimum);
    QList<QPushButton *> buttons = window->toolStrip()->findChildren<QPushButton *>();
    QVERIFY(buttons.size() >= 12);
    QList<QRect> placed;
    for (QPushButton *button : qAsConst(buttons)) {
        const QRect rect(button->mapTo(window, QPoint(0, 0)), button->size());
        const QString name = button->toolTip() + button->text();
        QVERIFY2(window->rect().contains(rect), qPrintable(name));
        // Whole: no button squeezed below its size, or below what its name takes.
        QVERIFY2(button->width() >= qMax(button->minimumWidth(), button->text().isEmpty() ? 0 : button->sizeHint().width()),
                 qPrintable(name));
        for (const QRect &other : qAsConst(placed))
            QVERIFY2(!other.intersects(rect), qPrintable(name));
        placed << rect;
    }
    // The toolbox buttons say their names in tooltips when they show icons alone.
    QVERIFY(window->toolStrip()->convertBtn()->text().isEmpty());
    QCOMPARE(window->toolStrip()->convertBtn()->toolTip(), QStringLiteral("格式转换"));
}

QUORVANE_TEST_MAIN_WITH_CHILD(TestViewerWindow, kOpenArgumentMode, openArgumentChild)

#include "tst_viewerwindow.moc"
