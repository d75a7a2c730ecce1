#include "app/AppSetup.h"
#include "batch/engine/BatchJob.h"
#include "batch/engine/ToolLocator.h"
#include "batch/shell/BatchCenterWT.h"
#include "batch/shell/BatchPage.h"
#include "batch/shell/BatchParamWT.h"
#include "widgets/BoundedIntValidator.h"
#include "batch/shell/OutputFolderRow.h"
#include "batch/shell/JobTally.h"
#include "batch/shell/FileTable.h"
#include "batch/shell/OperBtn.h"
#include "batch/shell/OperBtnBar.h"
#include "batch/shell/SubmitBtn.h"
#include "formats/Formats.h"
#include "widgets/DropArea.h"
#include "widgets/DragAcceptance.h"
#include "widgets/Toast.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>

#include "support/BatchTestKit.h"
#include "support/EngineHarness.h"
#include "support/Fixtures.h"

// A settings panel with no rows of its own: its jobs convert to PNG.
class PngPanel : public BatchParamWT
{
    Q_OBJECT

public:
    PngPanel()
        : BatchParamWT(QStringLiteral("开始转换"))
    { }

    JobSettings settings() const override
    {
        JobSettings s;
        s.format = QStringLiteral("png");
        return s;
    }
};

// A page built from the framework alone, with either the usual five columns or a
// sixth column in the middle (status and buttons at 4 and 5).
class FrameworkPage : public BatchPage
{
    Q_OBJECT

public:
    explicit FrameworkPage(const BatchColumns &columns, EmptyListPolicy policy = StartEvenIfEmpty)
        : BatchPage({Operation::Convert, QStringLiteral("hint"), QStringLiteral("请添加要转换的文件！"),
                     RowOutputFolder, policy},
                    new PngPanel, columns)
    { }

    // The rows that show a result (their output path).
    QList<int> resultRows() const
    {
        QList<int> rows;
        for (int row = 0; row < centerWidget()->rowCount(); ++row) {
            if (!centerWidget()->outputPath(row).isEmpty())
                rows << row;
        }
        return rows;
    }
};

namespace {

BatchColumns sixColumns()
{
    BatchColumns columns = BatchColumns::standard();
    columns.headers.insert(3, QStringLiteral("压缩后大小"));
    columns.widths.insert(3, 100);
    columns.statusColumn = 4;
    columns.buttonColumn = 5;
    return columns;
}

QStringList columnTexts(const BatchCenterWT *centre, int column)
{
    QStringList texts;
    for (int row = 0; row < centre->rowCount(); ++row)
        texts.append(centre->table()->item(row, column)->text());
    return texts;
}

QString iconOf(const QPushButton *button)
{
    return button->property("iconPath").toString();
}

const QString kDirEnabled = QStringLiteral(":/icons/icons/itemdirenable.png");
const QString kDirDisabled = QStringLiteral(":/icons/icons/itemdirdisable.png");

} // namespace

Q_DECLARE_METATYPE(BatchColumns)
Q_DECLARE_METATYPE(QValidator::State)

class TestBatchPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void suffixFiltering_data();
    void suffixFiltering();
    void folderOrder();
    void deleteRenumbers_data();
    void deleteRenumbers();
    void resultsUseTheLayoutColumns_data();
    void resultsUseTheLayoutColumns();
    void openItemDirOpensTheOutputFolder();
    void clearDuringRunKeepsOldResultsOffNewRows();
    void everyFileMissing_data();
    void everyFileMissing();
    void numberRule_data();
    void numberRule();
    void tallyTexts_data();
    void tallyTexts();
    void rerunStartsEveryRowClean();
    void endNoticeAndRunningCount_data();
    void endNoticeAndRunningCount();
    void stopEndsTheJob();
    void selectedRowStaysReadable();
    void outputFolderElided();
    void failedRowShowsItsReason_data();
    void failedRowShowsItsReason();

private:
    QTemporaryDir home;
};

void TestBatchPage::initTestCase()
{
    QVERIFY(home.isValid());
    BatchTestKit::useHome(home.path());
    AppSetup::run();
}

void TestBatchPage::cleanup()
{
    BatchTestKit::closeDialogs();
}

void TestBatchPage::suffixFiltering_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("added"); // exact test of addRow
    QTest::addColumn<bool>("dragged"); // lenient drag test

    QTest::newRow("capital suffix") << "A.JPG" << true << true;
    QTest::newRow("text file") << "notes.txt" << false << false;
    QTest::newRow("no suffix") << "README" << false << true;
    QTest::newRow("tail of jpeg") << "photo.peg" << false << true;
    QTest::newRow("suffix with dash") << "shot.jpg-mobile" << true << true;
}

void TestBatchPage::suffixFiltering()
{
    QFETCH(QString, fileName);
    QFETCH(bool, added);
    QFETCH(bool, dragged);

    QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    QVERIFY(Fixtures::writeBytes(path, "x"));
    const QList<QUrl> urls{QUrl::fromLocalFile(path)};

    FrameworkPage page(BatchColumns::standard());
    QCOMPARE(DragAcceptance::acceptsUrls(urls, Formats::openSuffixes()), dragged);

    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&page, &enter);
    QCOMPARE(enter.isAccepted(), dragged);

    // A drop that passed the lenient test shows the table even when addRow takes nothing.
    if (dragged) {
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&page, &drop);
        QVERIFY(!page.centerWidget()->isEmptyViewShown());
        QCOMPARE(page.centerWidget()->rowCount(), added ? 1 : 0);
    }

    FrameworkPage direct(BatchColumns::standard());
    direct.addRow(path);
    QCOMPARE(direct.centerWidget()->rowCount(), added ? 1 : 0);
}

void TestBatchPage::folderOrder()
{
    QTemporaryDir dir;
    for (const char *name : {"b.png", "A.jpg", "notes.txt", "Z.bmp", "c.JPG"})
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), "x"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("d")));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("d/e.jpg")), "x"));
    const QStringList expected{QStringLiteral("A.jpg"), QStringLiteral("b.png"), QStringLiteral("c.JPG"),
                               QStringLiteral("Z.bmp")};

    FrameworkPage chosen(BatchColumns::standard());
    chosen.addFolder(dir.path());
    QCOMPARE(columnTexts(chosen.centerWidget(), 1), expected);
    QCOMPARE(columnTexts(chosen.centerWidget(), 0), (QStringList{"1", "2", "3", "4"}));
    QCOMPARE(chosen.centerWidget()->sourcePath(0), dir.filePath(QStringLiteral("A.jpg")));
    QVERIFY(!chosen.centerWidget()->isEmptyViewShown());

    // The same folder dropped on the drop area, next to a URL that is not a local file.
    FrameworkPage dropped(BatchColumns::standard());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(dir.path()), QUrl(QStringLiteral("https://example.org/x.jpg"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropped.centerWidget()->dropArea(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dropped.centerWidget()->dropArea(), &drop);
    QCOMPARE(columnTexts(dropped.centerWidget(), 1), expected);

    FrameworkPage empty(BatchColumns::standard());
    empty.addFolder(dir.filePath(QStringLiteral("d/none")));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("void")));
    empty.addFolder(dir.filePath(QStringLiteral("void")));
    QVERIFY(empty.centerWidget()->isEmptyViewShown());
}

void TestBatchPage::deleteRenumbers_data()
{
    QTest::addColumn<BatchColumns>("columns");
    QTest::newRow("five columns") << BatchColumns::standard();
    QTest::newRow("six columns") << sixColumns();
}

void TestBatchPage::deleteRenumbers()
{
    QFETCH(BatchColumns, columns);
    QTemporaryDir dir;
    FrameworkPage page(columns);
    BatchCenterWT *centre = page.centerWidget();
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) {
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), QByteArray(3000, 'x')));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    QCOMPARE(centre->table()->item(0, 2)->text(), QStringLiteral("2 KB"));

    centre->deleteButton(1)->click();
    QCOMPARE(columnTexts(centre, 0), (QStringList{"1", "2", "3"}));
    QCOMPARE(columnTexts(centre, 1), (QStringList{"a.jpg", "c.jpg", "d.jpg"}));
    QCOMPARE(centre->sourcePath(1), dir.filePath(QStringLiteral("c.jpg")));
    QVERIFY(BatchTestKit::shownDialogTexts().isEmpty());

    // The buttons of the moved rows still find their own row.
    centre->deleteButton(2)->click();
    QCOMPARE(columnTexts(centre, 1), (QStringList{"a.jpg", "c.jpg"}));
    centre->deleteButton(0)->click();
    centre->deleteButton(0)->click();
    QCOMPARE(centre->rowCount(), 0);
    QVERIFY(centre->isEmptyViewShown());
}

void TestBatchPage::resultsUseTheLayoutColumns_data()
{
    deleteRenumbers_data();
}

void TestBatchPage::resultsUseTheLayoutColumns()
{
    QFETCH(BatchColumns, columns);
    QTemporaryDir dir;
    FrameworkPage page(columns);
    BatchCenterWT *centre = page.centerWidget();
    for (const char *name : {"a.png", "b.png"}) {
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), "x"));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    QTableWidget *table = centre->table();
    QCOMPARE(table->cellWidget(0, columns.statusColumn)->objectName(), QStringLiteral("progressWidget"));
    QVERIFY(table->cellWidget(0, columns.buttonColumn)->findChild<QPushButton *>(QStringLiteral("openDirBtn")));
    QVERIFY(!table->cellWidget(0, 3) || columns.statusColumn == 3);

    page.showResult({1, FileResult::Failed, QStringLiteral("/out/b.png"), 0, false, QStringLiteral("why")});
    QCOMPARE(page.resultRows(), QList<int>{1});
    QCOMPARE(centre->outputPath(1), QStringLiteral("/out/b.png"));
    QCOMPARE(iconOf(centre->openDirButton(1)), kDirEnabled);
    QVERIFY(centre->progressBar(1)->isHidden());
    QVERIFY(!centre->rowWarning(1)->isHidden());
    QCOMPARE(centre->rowWarning(1)->text(), QStringLiteral("转换失败！"));
    // The other row is untouched.
    QCOMPARE(iconOf(centre->openDirButton(0)), kDirDisabled);
    QVERIFY(centre->rowWarning(0)->isHidden());

    // Results for rows that are not there are dropped.
    page.showResult({2, FileResult::Succeeded, QStringLiteral("/out/x.png"), 1, false, QString()});
    page.showResult({7, FileResult::Cancelled, QString(), 0, false, QString()});
    QCOMPARE(page.resultRows(), QList<int>{1});
    QCOMPARE(centre->rowReason(1), QStringLiteral("why"));
}

void TestBatchPage::openItemDirOpensTheOutputFolder()
{
    QTemporaryDir dir;
    UrlCatcher catcher;
    FrameworkPage page(BatchColumns::standard());
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("a.jpg")), "x"));
    page.addOneFile(dir.filePath(QStringLiteral("a.jpg")));

    page.centerWidget()->openDirButton(0)->click();
    QVERIFY(catcher.urls.isEmpty());

    page.showResult({0, FileResult::Succeeded, dir.filePath(QStringLiteral("out/sub/a.png")), 1, false, QString()});
    page.centerWidget()->openDirButton(0)->click();
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(dir.filePath(QStringLiteral("out/sub")))});
}

void TestBatchPage::clearDuringRunKeepsOldResultsOffNewRows()
{
    QTemporaryDir dir;
    FrameworkPage page(BatchColumns::standard());
    BatchCenterWT *centre = page.centerWidget();
    for (const char *name : {"old1.jpg", "old2.jpg", "new1.jpg", "new2.jpg"})
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(40, 30)));
    page.addOneFile(dir.filePath(QStringLiteral("old1.jpg")));
    page.addOneFile(dir.filePath(QStringLiteral("old2.jpg")));
    page.start();
    QVERIFY(page.isJobRunning());
    page.clearTable();
    QVERIFY(centre->isEmptyViewShown());
    page.addOneFile(dir.filePath(QStringLiteral("new1.jpg")));
    page.addOneFile(dir.filePath(QStringLiteral("new2.jpg")));

    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QVERIFY(page.resultRows().isEmpty());
    for (int row = 0; row < 2; ++row) {
        QVERIFY(centre->outputPath(row).isEmpty());
        QCOMPARE(iconOf(centre->openDirButton(row)), kDirDisabled);
        QVERIFY(centre->rowWarning(row)->isHidden());
        QVERIFY(centre->progressBar(row)->value() <= 0);
    }

    // The new rows convert normally in a run of their own.
    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QCOMPARE(page.resultRows(), (QList<int>{0, 1}));
    QVERIFY(centre->outputPath(0).contains(QStringLiteral("new1")));
    QCOMPARE(centre->progressBar(1)->value(), 100);
}

void TestBatchPage::everyFileMissing_data()
{
    QTest::addColumn<int>("policy");
    QTest::addColumn<bool>("started");
    QTest::newRow("start even if empty") << int(BatchPage::StartEvenIfEmpty) << true;
    QTest::newRow("skip if empty") << int(BatchPage::SkipIfEmpty) << false;
}

void TestBatchPage::everyFileMissing()
{
    QFETCH(int, policy);
    QFETCH(bool, started);

    QTemporaryDir dir;
    FrameworkPage page(sixColumns(), BatchPage::EmptyListPolicy(policy));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("a.png")), "x"));
    page.addOneFile(dir.filePath(QStringLiteral("a.png")));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("a.png"))));

    page.start();
    QCOMPARE(page.centerWidget()->rowWarning(0)->text(), QStringLiteral("原文件不存在！"));
    QCOMPARE(page.isJobRunning(), started);
    QCOMPARE(page.findChildren<BatchJob *>().size(), started ? 1 : 0);
    QTRY_VERIFY_WITH_TIMEOUT(!page.isJobRunning(), 20000);
    // Nothing blocks the next start.
    page.start();
    QVERIFY(BatchTestKit::shownDialogTexts().isEmpty());
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
}

void TestBatchPage::numberRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("top");
    QTest::addColumn<QValidator::State>("state");
    QTest::addColumn<int>("value"); // what a page reads; 0 stands for nothing when not Acceptable

    const auto ok = QValidator::Acceptable;
    const auto partial = QValidator::Intermediate;
    const auto no = QValidator::Invalid;
    QTest::newRow("size") << "800" << 0 << 10000 << ok << 800;
    QTest::newRow("size top") << "10000" << 0 << 10000 << ok << 10000;
    QTest::newRow("size zero") << "0" << 0 << 10000 << ok << 0;
    QTest::newRow("leading zeros") << "0090" << 0 << 10000 << ok << 90;
    QTest::newRow("empty") << "" << 0 << 10000 << partial << 0;
    QTest::newRow("comma group") << "1,000" << 0 << 10000 << no << 0;
    QTest::newRow("dot group") << "1.000" << 0 << 10000 << no << 0;
    QTest::newRow("blank group") << "1 000" << 0 << 10000 << no << 0;
    QTest::newRow("no-break space group") << QStringLiteral("1\u00a0000") << 0 << 10000 << no << 0;
    QTest::newRow("decimal") << "12.5" << 0 << 10000 << no << 0;
    QTest::newRow("plus") << "+5" << 0 << 10000 << no << 0;
    QTest::newRow("minus where none is allowed") << "-5" << 0 << 10000 << no << 0;
    QTest::newRow("leading blank") << " 5" << 0 << 10000 << no << 0;
    QTest::newRow("arabic-indic digit") << QStringLiteral("\u0663") << 0 << 10000 << no << 0;
    QTest::newRow("fullwidth digit") << QStringLiteral("\uff15") << 0 << 10000 << no << 0;
    QTest::newRow("above top") << "10001" << 0 << 10000 << no << 0;
    QTest::newRow("beyond an int") << "99999999999" << 0 << 10000 << no << 0;
    QTest::newRow("angle") << "-90" << -360 << 360 << ok << -90;
    QTest::newRow("angle leading zero") << "-045" << -360 << 360 << ok << -45;
    QTest::newRow("minus zero") << "-0" << -360 << 360 << ok << 0;
    QTest::newRow("lone minus") << "-" << -360 << 360 << partial << 0;
    QTest::newRow("double minus") << "--5" << -360 << 360 << no << 0;
    QTest::newRow("minus inside") << "5-" << -360 << 360 << no << 0;
    QTest::newRow("angle comma group") << "1,80" << -360 << 360 << no << 0;
    QTest::newRow("angle below bottom") << "-361" << -360 << 360 << no << 0;
    QTest::newRow("angle above top") << "361" << -360 << 360 << no << 0;
    // Below a positive bottom more digits can still reach the range.
    QTest::newRow("short of a positive bottom") << "5" << 10 << 100 << partial << 0;
}

void TestBatchPage::numberRule()
{
    QFETCH(QString, text);
    QFETCH(int, bottom);
    QFETCH(int, top);
    QFETCH(QValidator::State, state);
    QFETCH(int, value);

    QCOMPARE(BoundedIntValidator::check(text, bottom, top), state);
    const std::optional<int> read = BoundedIntValidator::read(text, bottom, top);
    QCOMPARE(read.has_value(), state == QValidator::Acceptable);
    QCOMPARE(read.value_or(0), value);

    // The same under a locale whose group separator is "," and one whose is ".".
    for (const char *name : {"en_US", "de_DE"}) {
        BoundedIntValidator validator(bottom, top);
        validator.setLocale(QLocale(QLatin1String(name)));
        QString input = text;
        int pos = input.size();
        QCOMPARE(validator.validate(input, pos), state);
        validator.fixup(input);
        QCOMPARE(input, text);
    }
}

void TestBatchPage::tallyTexts_data()
{
    QTest::addColumn<int>("succeeded");
    QTest::addColumn<int>("failed");
    QTest::addColumn<int>("cancelled");
    QTest::addColumn<QString>("startText");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("running");

    QTest::newRow("all fine") << 40 << 0 << 0 << "开始转换"
                              << "完成：40 个成功，0 个失败"
                              << "转换中 40/50";
    QTest::newRow("some failed") << 3 << 2 << 0 << "开始压缩"
                                 << "完成：3 个成功，2 个失败"
                                 << "压缩中 5/50";
    QTest::newRow("stopped") << 12 << 1 << 37 << "开始旋转"
                             << "完成：12 个成功，1 个失败，37 个已取消"
                             << "旋转中 50/50";
    QTest::newRow("nothing done") << 0 << 0 << 0 << "转换"
                                  << "完成：0 个成功，0 个失败"
                                  << "转换 0/50";
}

void TestBatchPage::tallyTexts()
{
    QFETCH(int, succeeded);
    QFETCH(int, failed);
    QFETCH(int, cancelled);
    QFETCH(QString, startText);
    QFETCH(QString, notice);
    QFETCH(QString, running);

    JobTally tally;
    tally.total = 50;
    for (int i = 0; i < succeeded; ++i)
        tally.count(JobTally::Succeeded);
    for (int i = 0; i < failed; ++i)
        tally.count(JobTally::Failed);
    for (int i = 0; i < cancelled; ++i)
        tally.count(JobTally::Cancelled);
    QCOMPARE(tally.endNotice(), notice);
    QCOMPARE(tally.runningText(startText), running);
}

void TestBatchPage::rerunStartsEveryRowClean()
{
    QTemporaryDir dir;
    FrameworkPage page(BatchColumns::standard());
    BatchCenterWT *centre = page.centerWidget();
    const QString broken = dir.filePath(QStringLiteral("broken.jpg"));
    const QString late = dir.filePath(QStringLiteral("late.jpg"));
    const QString gone = dir.filePath(QStringLiteral("gone.jpg"));
    QVERIFY(Fixtures::writeBytes(broken, QByteArray(2048, '\x5a')));
    QVERIFY(Fixtures::writeImage(late, QSize(30, 20)));
    QVERIFY(Fixtures::writeImage(gone, QSize(30, 20)));
    for (const QString &path : {broken, late, gone})
        page.addOneFile(path);
    QVERIFY(QFile::remove(late));

    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QCOMPARE(centre->rowWarning(0)->text(), QStringLiteral("转换失败！"));
    QVERIFY(!centre->rowReason(0).isEmpty());
    QCOMPARE(centre->rowWarning(1)->text(), QStringLiteral("原文件不存在！"));
    QCOMPARE(centre->progressBar(2)->value(), 100);

    // The user fixes the first two files and removes the third, then starts again.
    QVERIFY(QFile::remove(broken));
    QVERIFY(Fixtures::writeImage(broken, QSize(30, 20)));
    QVERIFY(Fixtures::writeImage(late, QSize(30, 20)));
    QVERIFY(QFile::remove(gone));
    page.start();
    // Before any result: the rows that run look new, the missing one says so.
    for (int row = 0; row < 2; ++row) {
        QVERIFY(centre->rowWarning(row)->isHidden());
        QVERIFY(centre->rowWarning(row)->text().isEmpty());
        QVERIFY(centre->rowReason(row).isEmpty());
        QVERIFY(!centre->progressBar(row)->isHidden());
        QVERIFY(centre->progressBar(row)->value() <= 0);
    }
    QCOMPARE(centre->rowWarning(2)->text(), QStringLiteral("原文件不存在！"));
    QVERIFY(centre->progressBar(2)->isHidden());

    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    for (int row = 0; row < 2; ++row) {
        QVERIFY(centre->rowWarning(row)->isHidden());
        QVERIFY(!centre->progressBar(row)->isHidden());
        QCOMPARE(centre->progressBar(row)->value(), 100);
        QCOMPARE(Fixtures::imageSize(centre->outputPath(row)), QSize(30, 20));
    }
    QVERIFY(!centre->rowWarning(2)->isHidden());
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("完成：2 个成功，1 个失败"));
}

void TestBatchPage::endNoticeAndRunningCount_data()
{
    QTest::addColumn<bool>("shownDuringRun");
    QTest::newRow("page on screen") << true;
    QTest::newRow("page hidden until the end") << false;
}

void TestBatchPage::endNoticeAndRunningCount()
{
    QFETCH(bool, shownDuringRun);

    QTemporaryDir dir;
    FrameworkPage page(BatchColumns::standard());
    QPushButton *startButton = page.centerWidget()->paramPanel()->startButton();
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(24, 16)));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("broken.jpg")), QByteArray(2048, '\x5a')));
    // gone.jpg never exists.
    for (const char *name : {"a.jpg", "broken.jpg", "gone.jpg", "b.jpg", "c.jpg"})
        page.addOneFile(dir.filePath(QLatin1String(name)));
    if (shownDuringRun) {
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
    }

    page.start();
    // The missing file is counted (as failed) from the start.
    QCOMPARE(startButton->text(), QStringLiteral("转换中 1/5"));
    QStringList seen;
    const QList<BatchJob *> jobs = page.findChildren<BatchJob *>();
    QCOMPARE(jobs.size(), 1);
    // Connected after the page: sees the button as each result has left it.
    connect(jobs.first(), &BatchJob::fileFinished, this, [&](const FileResult &) { seen.append(startButton->text()); });
    connect(jobs.first(), &BatchJob::finished, this, [&] { seen.append(QString()); });
    QVERIFY(BatchTestKit::waitForJobEnd(&page));

    QCOMPARE(seen, (QStringList{"转换中 2/5", "转换中 3/5", "转换中 4/5", "转换中 5/5", QString()}));
    QCOMPARE(startButton->text(), QStringLiteral("开始转换"));
    const QString expected = QStringLiteral("完成：3 个成功，2 个失败");
    QCOMPARE(page.jobTally().endNotice(), expected);
    if (!shownDuringRun) {
        // Not on screen: the notice waits for the page.
        QVERIFY(page.endNotice()->isHidden());
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
    }
    QTRY_VERIFY(!page.endNotice()->isHidden());
    QCOMPARE(page.endNotice()->text(), expected);

    // A new start takes the notice down and counts afresh.
    page.start();
    QCOMPARE(startButton->text(), QStringLiteral("转换中 1/5"));
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QCOMPARE(startButton->text(), QStringLiteral("开始转换"));
}

void TestBatchPage::stopEndsTheJob()
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    QVERIFY(QDir().mkpath(out));
    const QByteArray pids = QFile::encodeName(dir.filePath("pids"));
    ToolLocator::setOverride(
        ToolLocator::Tool::ImageMagick,
        EngineHarness::writeTool(dir.path(), "hang",
                                 "echo $$ >> '" + pids + "'\nprintf half > \"$OUT\"\nexec sleep 60"));
    FrameworkPage page(BatchColumns::standard());
    page.centerWidget()->paramPanel()->findChild<OutputFolderRow *>()->setText(out);
    for (const char *name : {"a.png", "b.png", "c.png"}) {
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(4, 4)));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    QPushButton *stop = page.operBar()->stopBtn();
    QCOMPARE(stop->text(), QStringLiteral("停止"));
    QVERIFY(!stop->isEnabled());

    page.start();
    QVERIFY(stop->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(EngineHarness::readAll(dir.filePath("pids")).count('\n') >= 1, 20000);
    // Starting again still asks to wait.
    page.start();
    QCOMPARE(BatchTestKit::shownDialogTexts(), QStringList{QStringLiteral("请等待程序执行完成！")});
    BatchTestKit::closeDialogs();

    stop->click();
    QVERIFY(!stop->isEnabled());
    QVERIFY(BatchTestKit::waitForJobEnd(&page, 20000));
    BatchCenterWT *centre = page.centerWidget();
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(centre->rowWarning(row)->text(), QStringLiteral("已取消"));
        QVERIFY(!centre->rowWarning(row)->isHidden());
        QVERIFY(centre->progressBar(row)->isHidden());
    }
    QVERIFY(!stop->isEnabled());
    // The end notice counts the stopped rows; the start button is itself again.
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("完成：0 个成功，0 个失败，3 个已取消"));
    QCOMPARE(page.centerWidget()->paramPanel()->startButton()->text(), QStringLiteral("开始转换"));
    for (const QByteArray &pid : EngineHarness::readAll(dir.filePath("pids")).split('\n')) {
        if (!pid.isEmpty())
            QVERIFY2(!QFileInfo::exists("/proc/" + pid), pid.constData());
    }
    QCOMPARE(EngineHarness::entriesBelow(out), QStringList());

    // The page starts again, and this time the files are done.
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             EngineHarness::writeTool(dir.path(), "copy", "cp \"$IN\" \"$OUT\""));
    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page, 20000));
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, QString());
    QCOMPARE(EngineHarness::entriesBelow(out), (QStringList{"a.png", "b.png", "c.png"}));
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(QFileInfo(centre->outputPath(row)).path(), out);
        QVERIFY(centre->rowWarning(row)->isHidden()); // "已取消" went with the new start
        QCOMPARE(centre->progressBar(row)->value(), 100);
    }
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("完成：3 个成功，0 个失败"));
    QVERIFY(BatchTestKit::shownDialogTexts().isEmpty());
}

// A selected row keeps dark text on a light colour, shows its progress bar and has
// no white squares behind its buttons; the percentage fits its bar.
void TestBatchPage::selectedRowStaysReadable()
{
    QTemporaryDir dir;
    for (const char *name : {"a.png", "b.png"})
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(8, 8)));
    FrameworkPage page(BatchColumns::standard());
    page.addFolder(dir.path());
    BatchCenterWT *centre = page.centerWidget();
    page.resize(1400, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    centre->setRowProgress(0, 100);
    centre->table()->selectRow(0);

    QProgressBar *bar = centre->progressBar(0);
    QVERIFY(bar->height() >= QFontMetrics(bar->font()).height());
    QCOMPARE(bar->text(), QStringLiteral("100%"));

    FileTable *table = centre->table();
    const QImage shot = table->viewport()->grab().toImage();
    const QRect nameCell = table->visualRect(table->model()->index(0, 1));
    const QColor background = shot.pixelColor(nameCell.left() + 3, nameCell.top() + 3);
    QVERIFY2(background.lightness() > 200, qPrintable(background.name()));
    int darkest = 255;
    for (int y = nameCell.top(); y < nameCell.bottom(); ++y) {
        for (int x = nameCell.left(); x < nameCell.right(); ++x)
            darkest = qMin(darkest, qGray(shot.pixel(x, y)));
    }
    QVERIFY(darkest < 120); // the name is drawn dark on it
    for (QPushButton *button : table->cellWidget(0, 4)->findChildren<QPushButton *>()) {
        const QPoint corner = button->mapTo(table->viewport(), QPoint(1, 1));
        QCOMPARE(shot.pixelColor(corner), background);
    }
    const QRect barRect(bar->mapTo(table->viewport(), QPoint(0, 0)), bar->size());
    QVERIFY(shot.pixelColor(barRect.center() + QPoint(barRect.width() / 4, 0)) != background);
}

void TestBatchPage::outputFolderElided()
{
    FrameworkPage page(BatchColumns::standard());
    page.resize(1100, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    OutputFolderRow *row = page.centerWidget()->paramPanel()->exportFile();
    const QString folder
        = QStringLiteral("/home/用户/Desktop/") + QString(200, QLatin1Char('d')) + QStringLiteral("/输出");
    row->setText(folder);
    QCOMPARE(row->text(), folder);
    QTRY_VERIFY(row->shownText().contains(QChar(0x2026)));
    QVERIFY(row->shownText().startsWith(QStringLiteral("/home/")));
    QVERIFY(row->shownText().endsWith(QStringLiteral("/输出")));
    QCOMPARE(row->findChild<QLabel *>()->toolTip(), folder);
}

void TestBatchPage::failedRowShowsItsReason_data()
{
    deleteRenumbers_data();
}

void TestBatchPage::failedRowShowsItsReason()
{
    QFETCH(BatchColumns, columns);
    QTemporaryDir dir;
    // A tool that fails on one file with a message of its own, and copies the other.
    ToolLocator::setOverride(
        ToolLocator::Tool::ImageMagick,
        EngineHarness::writeTool(dir.path(), "picky",
                                 "case \"$IN\" in *bad*) echo 'convert: no pixels in bad.png' >&2; "
                                 "exit 1;; esac\ncp \"$IN\" \"$OUT\""));
    FrameworkPage page(columns);
    for (const char *name : {"good.png", "bad.png"}) {
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(4, 4)));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, QString());

    BatchCenterWT *centre = page.centerWidget();
    QCOMPARE(centre->rowWarning(1)->text(), QStringLiteral("转换失败！"));
    QCOMPARE(centre->rowReason(1), QStringLiteral("convert: no pixels in bad.png"));
    QCOMPARE(centre->table()->cellWidget(1, columns.statusColumn)->toolTip(), centre->rowReason(1));
    QCOMPARE(centre->rowReason(0), QString());
}

QTEST_MAIN(TestBatchPage)
#include "tst_batchpage.moc"
