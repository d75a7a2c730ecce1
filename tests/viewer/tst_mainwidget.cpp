#include "app/AppSetup.h"
#include "batch/pages/convert/CHFMainWT.h"
#include "batch/pages/resize/SizeUpdateMainWT.h"
#include "batch/shell/BatchCenterWT.h"
#include "batch/toolbox/ChFmtMainWidget.h"
#include "batch/toolbox/ToolBar.h"
#include "batch/toolbox/ToolBtn.h"
#include "chrome/HoverPushButton.h"
#include "chrome/MainFooterWidget.h"
#include "chrome/TitleBar.h"
#include "print/PrintDialog.h"
#include "viewer/LaunchArgs.h"
#include "viewer/MainWidget.h"
#include "viewer/SeeImgMainWT.h"
#include "viewer/ZoomModel.h"
#include "widgets/MyDialog.h"
#include "widgets/Toast.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include "support/Fixtures.h"
#include "support/SelfChild.h"
#include "support/ShownView.h"

namespace {

const char *const kOpenArgumentMode = "--open-argument";

// Child mode: the entry function's path handling, then report what was shown.
int openArgumentChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    AppSetup::run();
    // argv[1] is the mode; the path is the first argument after it.
    const QString path = LaunchArgs::imagePath(argc - 1, argv + 1);
    MainWidget window;
    window.view()->setImgPath(path);
    window.showDefaultImg();
    waitLoaded(*window.view());
    const QSizeF size = window.view()->pictureSize();
    const QString report
        = QStringLiteral("%1x%2 %3").arg(size.width()).arg(size.height()).arg(window.titleBar()->titleText());
    std::fputs(report.toUtf8().constData(), stdout);
    return 0;
}

void sendMouse(QWidget *target, QEvent::Type type, const QPoint &pos, const QPoint &global)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, global, button, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestMainWidget : public QObject
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

private:
    QTemporaryDir tmp;
    MainWidget *window = nullptr;
};

void TestMainWidget::initTestCase()
{
    AppSetup::run();
    QVERIFY(tmp.isValid());
    QVERIFY(Fixtures::writeImage(tmp.filePath(QStringLiteral("a1.png")), QSize(2400, 1800)));
    QVERIFY(Fixtures::writeImage(tmp.filePath(QStringLiteral("a2.png")), QSize(300, 200)));
}

void TestMainWidget::init()
{
    window = new MainWidget;
    window->showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestMainWidget::cleanup()
{
    delete window;
    window = nullptr;
}

void TestMainWidget::emptyPathButtonsDoNothing()
{
    MainFooterWidget *f = window->footer();
    QGraphicsView *view = window->view()->graphicsView();
    for (QPushButton *button :
         {f->biggerBtn(), f->smallerBtn(), f->changeSizeBtn(), f->rightXuanBtn(), f->leftXuanBtn(), f->nextBtn(),
          f->prevBtn(), f->printBtn(), window->view()->rightArrowBtn(), window->view()->leftArrowBtn()})
        button->click();
    QVERIFY(window->toast()->isHidden());
    QVERIFY(view->transform().isIdentity());
    QCOMPARE(window->view()->zoomFactor(), 1.0);
    QCOMPARE(window->sizeMode(), 1);
    QVERIFY(window->view()->imgFilePath().isEmpty());
    QVERIFY(window->findChildren<PrintDialog *>().isEmpty());
}

void TestMainWidget::toolboxButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("withImage");
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("convertRows");
    QTest::addColumn<int>("resizeRows");

    QTest::newRow("批处理 without image") << "批处理" << false << int(ToolBar::ConvertTab) << 0 << 0;
    QTest::newRow("批处理 with image") << "批处理" << true << int(ToolBar::ConvertTab) << 0 << 0;
    QTest::newRow("格式转换 hands the image over") << "格式转换" << true << int(ToolBar::ConvertTab) << 1 << 0;
    QTest::newRow("更改尺寸 hands the image over") << "更改尺寸" << true << int(ToolBar::ResizeTab) << 0 << 1;
    QTest::newRow("格式转换 without image") << "格式转换" << false << int(ToolBar::ConvertTab) << 0 << 0;
}

void TestMainWidget::toolboxButtons()
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
    MainFooterWidget *f = window->footer();
    QPushButton *pressed = button == QStringLiteral("批处理") ? f->pichuliBtn()
        : button == QStringLiteral("格式转换")                ? f->chFmtBtn()
                                                              : f->resizeBtn();
    QCOMPARE(pressed->text(), button);
    pressed->click();
    pressed->click(); // every click makes a new toolbox

    const QList<ChFmtMainWidget *> boxes = window->findChildren<ChFmtMainWidget *>();
    QCOMPARE(boxes.size(), 2);
    ChFmtMainWidget *box = boxes.last();
    QVERIFY(box->isVisible());
    QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    QCOMPARE(box->windowTitle(), QStringLiteral("批处理"));
    for (int t = ToolBar::ConvertTab; t <= ToolBar::RotateTab; ++t)
        QCOMPARE(box->toolBar()->button(ToolBar::Tab(t))->isSelected(), t == tab);
    QCOMPARE(box->currentPage(), static_cast<QWidget *>(box->pageOf(box->toolBar()->button(ToolBar::Tab(tab)))));
    QCOMPARE(box->chFmtPage()->centerWidget()->rowCount(), convertRows);
    QCOMPARE(box->sizeUpdatePage()->centerWidget()->rowCount(), resizeRows);
    for (ChFmtMainWidget *b : boxes)
        b->close();
}

void TestMainWidget::printOpensDialogWithPicture()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a2.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    window->footer()->printBtn()->click();
    const QList<PrintDialog *> dialogs = window->findChildren<PrintDialog *>();
    QCOMPARE(dialogs.size(), 1);
    QVERIFY(dialogs.first()->isVisible());
    QVERIFY(!dialogs.first()->isModal());
    QCOMPARE(dialogs.first()->windowTitle(), QStringLiteral("打印图片"));
    // The preview shows the sheet and the fitted picture.
    QVERIFY(dialogs.first()->previewScene()->items().size() >= 2);
}

void TestMainWidget::zoomButtonsAndToast()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a1.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    QCOMPARE(window->titleBar()->titleText(), QStringLiteral("a1.png"));

    // Fitted, yet the zoom after a load is 1.0, so one step shows 108%.
    window->footer()->biggerBtn()->click();
    QCOMPARE(window->toast()->text(), QStringLiteral("108%"));
    QVERIFY(!window->toast()->isHidden());
    window->footer()->smallerBtn()->click();
    window->footer()->smallerBtn()->click();
    QCOMPARE(window->toast()->text(), ZoomModel::percentText(1.0 / 1.08));
    QCOMPARE(window->toast()->text(), QStringLiteral("92%"));
}

void TestMainWidget::sizeToggle()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a1.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    QPushButton *toggle = window->footer()->changeSizeBtn();
    QCOMPARE(toggle->toolTip(), QStringLiteral("原始大小"));

    toggle->click();
    QCOMPARE(window->sizeMode(), 2);
    QCOMPARE(window->toast()->text(), QStringLiteral("100%"));
    QVERIFY(window->view()->graphicsView()->transform().isIdentity());
    QCOMPARE(toggle->toolTip(), QStringLiteral("适应屏幕"));
    QCOMPARE(toggle->styleSheet(),
             QStringLiteral("QPushButton{border:0px;image: url(:/icons/icons/screen.png);}"
                            "QPushButton:hover{background-color:#F2F5F7;image: url(:/icons/icons/screen_p.png);}"));

    toggle->click();
    QCOMPARE(window->sizeMode(), 1);
    const QSize viewSize = window->view()->graphicsView()->size();
    const double fitted = std::min(viewSize.width() / 2400.0, viewSize.height() / 1800.0);
    QCOMPARE(window->view()->zoomFactor(), fitted);
    QCOMPARE(window->toast()->text(), ZoomModel::percentText(fitted));
    QCOMPARE(toggle->toolTip(), QStringLiteral("原始大小"));
    QVERIFY(toggle->styleSheet().contains(QLatin1String("image: url(:/icons/icons/1_1.png)")));

    // The mode is not reset by showing another image.
    toggle->click();
    window->footer()->nextBtn()->click();
    QCOMPARE(window->view()->imgFilePath(), tmp.filePath(QStringLiteral("a2.png")));
    QCOMPARE(window->sizeMode(), 2);
}

void TestMainWidget::rotateButtons()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a2.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    QGraphicsView *view = window->view()->graphicsView();
    window->footer()->rightXuanBtn()->click();
    QVERIFY(qFuzzyCompare(view->transform().m12(), 1.0)); // +90: clockwise on screen
    window->footer()->leftXuanBtn()->click();
    window->footer()->leftXuanBtn()->click();
    QVERIFY(qFuzzyCompare(view->transform().m12(), -1.0));
    QCOMPARE(window->view()->zoomFactor(), 1.0);
    QVERIFY(window->toast()->isHidden());
}

void TestMainWidget::browsingToasts()
{
    window->view()->setImgPath(tmp.filePath(QStringLiteral("a1.png")));
    window->showDefaultImg();
    QVERIFY(waitLoaded(*window->view()));
    window->footer()->prevBtn()->click();
    QCOMPARE(window->toast()->text(), QStringLiteral("已经是第一张图片了"));
    window->view()->rightArrowBtn()->click();
    QCOMPARE(window->view()->imgFilePath(), tmp.filePath(QStringLiteral("a2.png")));
    QCOMPARE(window->titleBar()->titleText(), QStringLiteral("a2.png"));
    window->footer()->nextBtn()->click();
    QCOMPARE(window->toast()->text(), QStringLiteral("已经是最后一张图片了"));
    window->view()->leftArrowBtn()->click();
    QCOMPARE(window->view()->imgFilePath(), tmp.filePath(QStringLiteral("a1.png")));
}

void TestMainWidget::aiFixShowsDialog()
{
    window->footer()->aiFixBtn()->click();
    auto *dialog = window->findChild<MyDialog *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->text(), QStringLiteral("该功能即将上线！"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
}

void TestMainWidget::dragBand_data()
{
    QTest::addColumn<QString>("pressOn"); // object name of the widget pressed
    QTest::addColumn<QPoint>("windowPos"); // press position in window coordinates
    QTest::addColumn<bool>("drags");
    QTest::newRow("title bar label") << "label" << QPoint(0, 0) << true;
    QTest::newRow("empty title bar") << "titleBar" << QPoint(0, 0) << true;
    QTest::newRow("window at x 0") << "MainWidget" << QPoint(0, 20) << false;
    QTest::newRow("window at y 0") << "MainWidget" << QPoint(200, 0) << false;
    QTest::newRow("below the band") << "MainWidget" << QPoint(200, 60) << false;
    QTest::newRow("maximise button") << "maxButton" << QPoint(0, 0) << false;
}

void TestMainWidget::dragBand()
{
    QFETCH(QString, pressOn);
    QFETCH(QPoint, windowPos);
    QFETCH(bool, drags);

    window->showNormal();
    window->move(100, 100);
    QWidget *target = window;
    QPoint local = windowPos;
    if (pressOn == QLatin1String("label")) {
        target = window->titleBar()->findChildren<QLabel *>().at(1); // the product name
        local = QPoint(5, 5);
    } else if (pressOn != QLatin1String("MainWidget")) {
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

void TestMainWidget::commandLinePathInChinese()
{
    const QString path = tmp.filePath(QStringLiteral("图片 一.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(96, 64)));

    QProcess child;
    QVERIFY(SelfChild::run(child, {QLatin1String(kOpenArgumentMode), path}));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), QStringLiteral("96x64 图片 一.png"));
}

// The file's name stays in the title, the view says why nothing is shown, and the
// zoom, turn, size and print buttons do nothing (no "100%" toast).
void TestMainWidget::undecodableFileIsInert()
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

    MainFooterWidget *f = window->footer();
    for (QPushButton *button :
         {f->biggerBtn(), f->smallerBtn(), f->changeSizeBtn(), f->rightXuanBtn(), f->leftXuanBtn(), f->printBtn()})
        button->click();
    QVERIFY(window->toast()->isHidden());
    QVERIFY(window->view()->graphicsView()->transform().isIdentity());
    QCOMPARE(window->view()->zoomFactor(), 1.0);
    QCOMPARE(window->sizeMode(), 1);
    QVERIFY(window->findChildren<PrintDialog *>().isEmpty());
}

QUORVANE_TEST_MAIN_WITH_CHILD(TestMainWidget, kOpenArgumentMode, openArgumentChild)

#include "tst_mainwidget.moc"
