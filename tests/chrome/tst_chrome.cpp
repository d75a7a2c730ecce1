#include "app/AppSetup.h"
#include "app/ProcessExit.h"
#include "chrome/TitleBar.h"
#include "viewer/ViewerWindow.h"
#include "widgets/MessageBox.h"
#include "widgets/StyledLineEdit.h"
#include "widgets/Toast.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSpontaneKeyEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QWheelEvent>

#include "support/SelfChild.h"

namespace {

const char *const kCloseMode = "--close-main-window";

// Counts the wheel turns and presses that reach it.
class WheelCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int wheels = 0;
    int presses = 0;
    QPoint lastPos;

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        ++wheels;
        lastPos = event->position().toPoint();
        event->accept();
    }
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

class Sleeper : public QRunnable
{
public:
    void run() override { QThread::sleep(60); }
};

// Child mode: the main window closed through its title bar, optionally while a
// pool thread is busy (a RAW decode or a batch worker).
int closeChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    AppSetup::run();
    ViewerWindow window;
    // As main() wires the close button.
    QObject::connect(window.titleBar(), &TitleBar::closeClicked, [] { ProcessExit::now(1); });
    window.showMaximized();
    if (argc >= 3 && qstrcmp(argv[2], "busy") == 0)
        QThreadPool::globalInstance()->start(new Sleeper);
    QCoreApplication::processEvents();
    window.titleBar()->closeButton()->click();
    return 0; // not reached: the close button ends the process
}

} // namespace

class TestChrome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void closeButtonExitsWithOne_data();
    void closeButtonExitsWithOne();
    void maximiseToggle();
    void secondToastReplacesText();
    void toastFadesOutThenHides();
    void toastDuringFadeOutShownInFull();
    void toastPassesInputThrough();
    void titleElidedInTheMiddle();
    void dialogKeepsFixedSize();
    void placeholderLighterThanText();

private:
    QTemporaryDir config;
};

void TestChrome::initTestCase()
{
    // The viewer remembers its window and choices: in the test's own folder, never
    // the user's (the viewers started from here inherit it).
    QVERIFY(config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    AppSetup::run();
}

void TestChrome::closeButtonExitsWithOne_data()
{
    QTest::addColumn<QString>("poolState");
    QTest::newRow("idle") << "idle";
    QTest::newRow("pool busy") << "busy";
}

void TestChrome::closeButtonExitsWithOne()
{
    QFETCH(QString, poolState);

    QProcess child;
    QElapsedTimer clock;
    clock.start();
    // A busy pool must not hold the exit back (its worker sleeps for a minute).
    QVERIFY(SelfChild::run(child, {QLatin1String(kCloseMode), poolState}));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 1);
    QVERIFY(clock.elapsed() < 30000);
}

void TestChrome::maximiseToggle()
{
    ViewerWindow window;
    window.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TitleBar *bar = window.titleBar();
    QCOMPARE(bar->maxButtonIcon(), QStringLiteral(":/icons/icons/normal_white.png"));

    // A double click on the file-name label reaches the title bar.
    QLabel *fileName = bar->findChild<QLabel *>(QStringLiteral("fileName"));
    QTest::mouseDClick(fileName, Qt::LeftButton);
    QVERIFY(!window.isMaximized());
    QCOMPARE(bar->maxButtonIcon(), QStringLiteral(":/icons/icons/max_white.png"));
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->width() / 2, 5));
    QVERIFY(window.isMaximized());
    QCOMPARE(bar->maxButtonIcon(), QStringLiteral(":/icons/icons/normal_white.png"));

    bar->maxButton()->click();
    QVERIFY(!window.isMaximized());
    QCOMPARE(bar->maxButtonIcon(), QStringLiteral(":/icons/icons/max_white.png"));
    bar->maxButton()->click();
    QVERIFY(window.isMaximized());
    QCOMPARE(bar->maxButtonIcon(), QStringLiteral(":/icons/icons/normal_white.png"));

    bar->minimizeButton()->click();
    QVERIFY(window.isMinimized());
}

void TestChrome::secondToastReplacesText()
{
    QWidget owner;
    owner.setGeometry(100, 100, 600, 400);
    owner.show();
    Toast toast(&owner);
    toast.showToast(QStringLiteral("108%"), 5000);
    QVERIFY(toast.isVisible());
    QVERIFY(qAbs(toast.geometry().center().x() - owner.geometry().center().x()) <= 1);
    QVERIFY(qAbs(toast.geometry().center().y() - owner.geometry().center().y()) <= 1);
    QCOMPARE(toast.fadeInAnimation()->state(), QAbstractAnimation::Running);

    QTRY_COMPARE(toast.fadeInAnimation()->state(), QAbstractAnimation::Stopped);
    const int before = toast.remainingTime();
    toast.showToast(QStringLiteral("已经是最后一张图片了"), 5000);
    QCOMPARE(toast.text(), QStringLiteral("已经是最后一张图片了"));
    QCOMPARE(toast.fadeInAnimation()->state(), QAbstractAnimation::Stopped); // no second fade-in
    QVERIFY(toast.remainingTime() > before); // the time starts again
    QCOMPARE(toast.windowOpacity(), 1.0);
}

void TestChrome::toastFadesOutThenHides()
{
    Toast toast(nullptr);
    toast.showToast(QStringLiteral("100%"), 5000);
    QTRY_COMPARE(toast.windowOpacity(), 1.0);

    // What the hide timer calls: a fade-out, and only at its end the toast hides.
    toast.toastHide();
    QVERIFY(toast.isVisible());
    QTRY_VERIFY(toast.windowOpacity() < 1.0);
    QTRY_VERIFY_WITH_TIMEOUT(toast.isHidden(), 3000);
    QCOMPARE(toast.windowOpacity(), 0.0);
    toast.toastHide(); // already hidden: nothing happens
    QVERIFY(toast.isHidden());

    // Shown again, it fades in from transparent, and its timer hides it.
    toast.showToast(QStringLiteral("again"), 100);
    QVERIFY(toast.isVisible());
    QVERIFY(toast.windowOpacity() < 1.0);
    QTRY_VERIFY_WITH_TIMEOUT(toast.isHidden(), 5000);
}

// A notice asked for while the last one fades out is shown in full, for its own time.
void TestChrome::toastDuringFadeOutShownInFull()
{
    Toast toast(nullptr);
    toast.showToast(QStringLiteral("已经是最后一张图片了"), 5000);
    QTRY_COMPARE(toast.windowOpacity(), 1.0);
    toast.toastHide();
    QTRY_VERIFY(toast.windowOpacity() < 0.9);

    toast.showToast(QStringLiteral("已经是最后一张图片了"), 1500);
    QCOMPARE(toast.windowOpacity(), 1.0);
    // Whole all through the time the fade-out that was running would have taken.
    QElapsedTimer shown;
    shown.start();
    while (!shown.hasExpired(800)) {
        QVERIFY(toast.isVisible());
        QCOMPARE(toast.windowOpacity(), 1.0);
        QTest::qWait(10);
    }
    QTRY_VERIFY_WITH_TIMEOUT(toast.isHidden(), 5000);
}

// The notice takes no input: the window system is told to pass it through, and what
// reaches it anyway goes to the widget under it in the parent window.
void TestChrome::toastPassesInputThrough()
{
    QWidget owner;
    owner.setGeometry(100, 100, 600, 400);
    auto *under = new WheelCounter(&owner);
    under->setGeometry(owner.rect());
    owner.show();
    QVERIFY(QTest::qWaitForWindowActive(&owner));
    Toast toast(&owner);
    toast.showToast(QStringLiteral("108%"), 5000);
    QVERIFY(toast.windowFlags().testFlag(Qt::WindowTransparentForInput));
    QVERIFY(toast.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    // The keyboard stays with the owner even where the platform activates the toast.
    QTRY_VERIFY(owner.isActiveWindow());

    const QPoint local = toast.rect().center();
    const QPoint global = toast.mapToGlobal(local);
    for (int notch = 0; notch < 10; ++notch) {
        QWheelEvent wheel(QPointF(local), QPointF(global), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&wheel);
        QApplication::instance()->notify(&toast, &wheel);
    }
    QCOMPARE(under->wheels, 10);
    QCOMPARE(under->lastPos, under->mapFromGlobal(global));
    QTest::mouseClick(&toast, Qt::LeftButton, Qt::NoModifier, local);
    QCOMPARE(under->presses, 1);
}

void TestChrome::titleElidedInTheMiddle()
{
    ViewerWindow window;
    window.showNormal();
    window.resize(1100, 730);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString name = QStringLiteral("开头") + QString(400, QLatin1Char('x')) + QStringLiteral("结尾.png");
    const QString path = QStringLiteral("/tmp/some folder/") + name;
    window.setImgName(path);
    TitleBar *bar = window.titleBar();
    QCOMPARE(bar->titleText(), name);
    QTRY_VERIFY(bar->shownTitleText().size() > 20); // once the bar has laid the name out again
    const QString shown = bar->shownTitleText();
    QVERIFY2(shown.contains(QChar(0x2026)) && shown.startsWith(QStringLiteral("开头"))
                 && shown.endsWith(QStringLiteral("结尾.png")),
             qPrintable(shown));
    QLabel *label = bar->findChild<QLabel *>(QStringLiteral("fileName"));
    QCOMPARE(label->toolTip(), path);
    // The window buttons stay inside the bar.
    QVERIFY(bar->rect().contains(bar->closeButton()->geometry()));

    // A short name is shown whole.
    window.setImgName(QStringLiteral("/tmp/a.png"));
    QTRY_COMPARE(bar->shownTitleText(), QStringLiteral("a.png"));
}

void TestChrome::dialogKeepsFixedSize()
{
    QWidget owner;
    owner.show();
    const QString longText
        = QString(QStringLiteral("这是一段很长的提示文字，")).repeated(40) + QString(300, QLatin1Char('x'));
    QPointer<MessageBox> dialog = new MessageBox(longText, &owner);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->size(), QSize(450, 200));
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("提示"));

    dialog->findChild<QPushButton *>()->click();
    QTRY_VERIFY(dialog.isNull()); // deletes itself once closed
}

// The darkest grey level drawn in a field.
int darkest(QWidget *field)
{
    const QImage image = field->grab().toImage();
    int level = 255;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            level = qMin(level, qGray(image.pixel(x, y)));
    }
    return level;
}

// A hint in an empty field is visibly lighter than what the user types.
void TestChrome::placeholderLighterThanText()
{
    const QString text = QStringLiteral("为空则等比例计算宽度");
    StyledLineEdit hint;
    hint.setStyleSheet(hint.styleSheet() + QStringLiteral("StyledLineEdit{border:0px;}")); // only the text is dark
    hint.resize(400, 45);
    hint.setPlaceholderText(text);
    StyledLineEdit typed;
    typed.setStyleSheet(hint.styleSheet());
    typed.resize(400, 45);
    typed.setText(text);
    hint.show();
    typed.show();
    QVERIFY(QTest::qWaitForWindowExposed(&typed));
    const int hintLevel = darkest(&hint);
    const int typedLevel = darkest(&typed);
    QVERIFY2(hintLevel >= typedLevel + 60, qPrintable(QStringLiteral("%1 vs %2").arg(hintLevel).arg(typedLevel)));
}

QUORVANE_TEST_MAIN_WITH_CHILD(TestChrome, kCloseMode, closeChild)

#include "tst_chrome.moc"
