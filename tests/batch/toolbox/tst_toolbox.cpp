#include "app/AppSetup.h"
#include "batch/engine/BatchJob.h"
#include "batch/pages/convert/ConvertPanel.h"
#include "batch/pages/rotate/RotatePanel.h"
#include "batch/shell/PageCentre.h"
#include "batch/shell/SettingsPanel.h"
#include "FileTable.h"
#include "batch/shell/SizeRows.h"
#include "StartButton.h"
#include "TabBar.h"
#include "TabButton.h"
#include "ToolboxWindow.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"
#include "widgets/Toast.h"

#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "support/BatchTestKit.h"
#include "support/Fixtures.h"

namespace {

QList<BatchPage *> allPages(const ToolboxWindow &box)
{
    return {box.page(Toolbox::ConvertTab), box.page(Toolbox::ResizeTab), box.page(Toolbox::CompressTab), box.page(Toolbox::RotateTab)};
}

// The nearest enclosing widget of type T, or nullptr.
template<typename T> T *enclosing(QWidget *widget)
{
    for (QWidget *w = widget->parentWidget(); w; w = w->parentWidget()) {
        if (auto *found = qobject_cast<T *>(w))
            return found;
    }
    return nullptr;
}

} // namespace

class TestToolbox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void freshToolbox();
    void tabBar_data();
    void tabBar();
    void pressingTheSelectedTabChangesNothing();
    void mainWindowHandOver_data();
    void mainWindowHandOver();
    void reopenedToolboxHasEmptyTables();
    void closingWhileAJobRunsLetsItFinish();
    void endNoticeWaitsForItsPage();
    void numberFieldsKeepWhatWasTyped_data();
    void numberFieldsKeepWhatWasTyped();
    void startOnEmptyTableIsRefused_data();
    void startOnEmptyTableIsRefused();

private:
    QTemporaryDir home;
};

void TestToolbox::initTestCase()
{
    QVERIFY(home.isValid());
    BatchTestKit::useHome(home.path());
    AppSetup::run();
}

void TestToolbox::freshToolbox()
{
    ToolboxWindow box;
    QCOMPARE(box.windowTitle(), QStringLiteral("批处理"));
    QCOMPARE(box.windowModality(), Qt::ApplicationModal);
    QVERIFY(box.testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(box.currentPage(), box.page(Toolbox::ConvertTab));
    QVERIFY(box.toolBar()->button(Toolbox::ConvertTab)->isSelected());
    for (BatchPage *page : allPages(box)) {
        QCOMPARE(page->isHidden(), page != box.page(Toolbox::ConvertTab));
        QCOMPARE(page->centerWidget()->rowCount(), 0);
        QVERIFY(page->centerWidget()->isEmptyViewShown());
    }
}

void TestToolbox::tabBar_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("page"); // index into allPages()

    QTest::newRow("convert") << int(Toolbox::ConvertTab) << "格式转换" << 0;
    QTest::newRow("resize") << int(Toolbox::ResizeTab) << "尺寸修改" << 1;
    QTest::newRow("compress") << int(Toolbox::CompressTab) << "图片压缩" << 2;
    QTest::newRow("rotate") << int(Toolbox::RotateTab) << "图片旋转" << 3;
}

void TestToolbox::tabBar()
{
    QFETCH(int, tab);
    QFETCH(QString, text);
    QFETCH(int, page);

    ToolboxWindow box;
    box.show();
    // Start from another tab, so every row switches.
    box.toolBar()->button(tab == Toolbox::RotateTab ? Toolbox::ResizeTab : Toolbox::RotateTab)->slot_pressed();

    TabButton *btn = box.toolBar()->button(tab);
    QCOMPARE(btn->text(), text);
    QTest::mousePress(btn, Qt::LeftButton);
    QTest::mouseRelease(btn, Qt::LeftButton);

    const QList<BatchPage *> pages = allPages(box);
    QCOMPARE(box.currentPage(), pages.at(page));
    for (BatchPage *other : pages)
        QCOMPARE(other->isVisible(), other == pages.at(page));
    for (TabButton *each : box.toolBar()->buttonList()) {
        QCOMPARE(each->isSelected(), each == btn);
        QCOMPARE(each->property("iconPath").toString().endsWith(QStringLiteral("_p.png")), each == btn);
    }
}

void TestToolbox::pressingTheSelectedTabChangesNothing()
{
    ToolboxWindow box;
    box.show();
    QSignalSpy spy(box.toolBar(), &TabBar::siginalParent);
    TabButton *convert = box.toolBar()->button(Toolbox::ConvertTab);

    QTest::mousePress(convert, Qt::LeftButton);
    convert->slot_pressed();
    QCOMPARE(spy.count(), 0);
    QCOMPARE(box.currentPage(), box.page(Toolbox::ConvertTab));
    QVERIFY(convert->isSelected());

    box.switchTab(nullptr);
    QCOMPARE(box.currentPage(), box.page(Toolbox::ConvertTab));
}

void TestToolbox::mainWindowHandOver_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("rows");

    QTest::newRow("convert") << int(Toolbox::ConvertTab) << "view.jpg" << 1;
    QTest::newRow("resize") << int(Toolbox::ResizeTab) << "view.jpg" << 1;
    QTest::newRow("resize, not accepted") << int(Toolbox::ResizeTab) << "view.txt" << 0;
}

void TestToolbox::mainWindowHandOver()
{
    QFETCH(int, tab);
    QFETCH(QString, fileName);
    QFETCH(int, rows);

    QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    QVERIFY(Fixtures::writeImage(path, QSize(20, 20)) || Fixtures::writeBytes(path, "x"));

    // What the main window does for its "格式转换" and "更改尺寸" buttons.
    QPointer<ToolboxWindow> box = new ToolboxWindow;
    box->clearAllPages();
    box->show();
    box->toolBar()->button(tab)->slot_pressed();
    BatchPage *page = box->page(tab);
    page->addOneFile(path);

    QCOMPARE(box->currentPage(), page);
    QVERIFY(page->isVisible());
    QVERIFY(box->toolBar()->button(tab)->isSelected());
    QCOMPARE(box->toolBar()->button(Toolbox::ConvertTab)->isSelected(), tab == Toolbox::ConvertTab);
    QVERIFY(!page->centerWidget()->isEmptyViewShown());
    QCOMPARE(page->centerWidget()->rowCount(), rows);
    if (rows)
        QCOMPARE(page->centerWidget()->cellText(0, 0), QStringLiteral("1"));

    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(box.isNull());
}

void TestToolbox::reopenedToolboxHasEmptyTables()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.png"));
    QVERIFY(Fixtures::writeImage(path, QSize(20, 20)));

    QPointer<ToolboxWindow> first = new ToolboxWindow;
    first->show();
    for (BatchPage *page : allPages(*first))
        page->addOneFile(path);
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());

    ToolboxWindow second;
    second.clearAllPages();
    for (BatchPage *page : allPages(second)) {
        QCOMPARE(page->centerWidget()->rowCount(), 0);
        QVERIFY(page->centerWidget()->isEmptyViewShown());
    }
}

void TestToolbox::closingWhileAJobRunsLetsItFinish()
{
    QTemporaryDir dir;
    QPointer<ToolboxWindow> box = new ToolboxWindow;
    box->show();
    BatchPage *page = box->page(Toolbox::ConvertTab);
    const QString exportDir = page->panel<ConvertPanel>()->exportDir();
    QVERIFY(exportDir.startsWith(home.path()));
    for (const char *name : {"close1.jpg", "close2.jpg"}) {
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(120, 80)));
        page->addOneFile(dir.filePath(QLatin1String(name)));
    }
    page->panel<ConvertPanel>()->formatRows()->formatBox()->setCurrentIndex(2); // PNG
    page->start();
    QPointer<BatchJob> job = page->findChild<BatchJob *>();
    QVERIFY(job);

    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(box.isNull());
    // The job outlived its page and deletes itself once its files are written.
    QVERIFY(job);
    QVERIFY(!job->parent());
    QTRY_VERIFY_WITH_TIMEOUT(job.isNull(), 120000);

    const QStringList outputs = QDir(exportDir).entryList({QStringLiteral("close*.png")}, QDir::Files, QDir::Name);
    QCOMPARE(outputs.size(), 2);
    for (const QString &name : outputs) {
        QCOMPARE(Fixtures::imageFormat(QDir(exportDir).filePath(name)), QByteArray("png"));
        QCOMPARE(Fixtures::imageSize(QDir(exportDir).filePath(name)), QSize(120, 80));
    }
}

void TestToolbox::startOnEmptyTableIsRefused_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("convert") << int(Toolbox::ConvertTab) << "请添加要转换的文件！";
    QTest::newRow("resize") << int(Toolbox::ResizeTab) << "请添加要转换的文件！";
    QTest::newRow("compress") << int(Toolbox::CompressTab) << "请添加要压缩的文件！";
    QTest::newRow("rotate") << int(Toolbox::RotateTab) << "请添加要转换的文件！";
}

// Every page refuses a start with no files and starts no job.
void TestToolbox::startOnEmptyTableIsRefused()
{
    QFETCH(int, tab);
    QFETCH(QString, refusal);

    ToolboxPage page{Toolbox::Tab(tab)};
    page.centerWidget()->paramPanel()->startButton()->click();
    QCOMPARE(BatchTestKit::shownDialogTexts(), QStringList{refusal});
    QVERIFY(!page.isJobRunning());
    QVERIFY(!page.findChild<BatchJob *>());
}

QTEST_MAIN(TestToolbox)
void TestToolbox::endNoticeWaitsForItsPage()
{
    QTemporaryDir dir;
    ToolboxWindow box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    BatchPage *rotate = box.page(Toolbox::RotateTab);
    box.toolBar()->button(Toolbox::RotateTab)->slot_pressed();
    QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("a.jpg")), QSize(40, 30)));
    rotate->addOneFile(dir.filePath(QStringLiteral("a.jpg")));
    rotate->start();
    QVERIFY(rotate->isJobRunning());

    // The user looks at another tab while the job ends: no notice over that tab.
    box.toolBar()->button(Toolbox::ConvertTab)->slot_pressed();
    QVERIFY(!rotate->isVisible());
    QVERIFY(BatchTestKit::waitForJobEnd(rotate));
    QVERIFY(rotate->endNotice()->isHidden());

    box.toolBar()->button(Toolbox::RotateTab)->slot_pressed();
    QTRY_VERIFY(!rotate->endNotice()->isHidden());
    QCOMPARE(rotate->endNotice()->text(), QStringLiteral("完成：1 个成功，0 个失败"));
    // Nor does it stay over another tab.
    box.toolBar()->button(Toolbox::ResizeTab)->slot_pressed();
    QVERIFY(rotate->endNotice()->isHidden());
}

void TestToolbox::numberFieldsKeepWhatWasTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sideShows"); // "" acceptable, else the tooltip of a red field
    QTest::addColumn<QString>("angleShows");
    QTest::addColumn<QString>("qualityShows");

    const QString side = QStringLiteral("1–10000 的整数");
    const QString angle = QStringLiteral("-360–360 的整数");
    const QString quality = QStringLiteral("1–100 的整数");
    QTest::newRow("a size") << "800"
                            << "" << angle << quality;
    QTest::newRow("an angle") << "-90" << side << "" << quality;
    QTest::newRow("a quality") << "75"
                               << ""
                               << ""
                               << "";
    QTest::newRow("decimal") << "12.5" << side << angle << quality;
    QTest::newRow("exponent") << "1e3" << side << angle << quality;
    QTest::newRow("far too large") << "999999999" << side << angle << quality;
    QTest::newRow("zero") << "0" << side << "" << quality;
    QTest::newRow("just past the angle") << "361"
                                         << "" << angle << quality;
    QTest::newRow("group separator") << "1,000" << side << angle << quality;
    QTest::newRow("empty") << ""
                           << "" << angle << "";
}

// Whatever is typed stays in the field; a text the rule refuses turns it red with
// the rule as its tooltip, and the page's start says the rule instead of running.
void TestToolbox::numberFieldsKeepWhatWasTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, sideShows);
    QFETCH(QString, angleShows);
    QFETCH(QString, qualityShows);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("s.png"));
    QVERIFY(Fixtures::writeImage(source, QSize(8, 6)));
    ToolboxWindow box;
    int checked = 0;
    for (BatchPage *page : allPages(box)) {
        for (SizeRows *rows : page->findChildren<SizeRows *>())
            rows->sizeBox()->setCurrentIndex(rows->sizeBox()->findData(int(SizeRows::CustomSize)));
        for (NumberField *field : page->findChildren<NumberField *>()) {
            const ConvertPanel *convert = enclosing<ConvertPanel>(field);
            const QString shows = enclosing<RotatePanel>(field)         ? angleShows
                : convert && field == convert->formatRows()->qualityEdit() ? qualityShows
                                                               : sideShows;
            field->clear();
            QTest::keyClicks(field, typed);
            QCOMPARE(field->text(), typed);
            QCOMPARE(field->isRefused(), !shows.isEmpty());
            if (!shows.isEmpty())
                QCOMPARE(field->toolTip(), shows);

            BatchTestKit::closeDialogs();
            // A fresh row: the last field's start may have done the one before.
            page->clearTable();
            page->addOneFile(source);
            enclosing<SettingsPanel>(field)->startButton()->click();
            if (!shows.isEmpty()) {
                QCOMPARE(BatchTestKit::shownDialogTexts(), QStringList{shows});
                QVERIFY(!page->isJobRunning());
            } else {
                QVERIFY(page->isJobRunning());
                QVERIFY(BatchTestKit::waitForJobEnd(page));
            }
            field->clear();
            ++checked;
        }
    }
    QCOMPARE(checked, 9); // width and height on three pages, the angle, quality on convert and resize
    BatchTestKit::closeDialogs();
}

#include "tst_toolbox.moc"
