#include "app/AppSetup.h"
#include "batch/engine/BatchJob.h"
#include "process/ToolLocator.h"
#include "batch/shell/PageCentre.h"
#include "batch/shell/BatchPage.h"
#include "batch/shell/SettingsPanel.h"
#include "batch/shell/SettingsPart.h"
#include "ColumnFit.h"
#include "FileTable.h"
#include "batch/shell/JobTally.h"
#include "FileButton.h"
#include "FileButtonBar.h"
#include "OutputFolderRow.h"
#include "ReasonWords.h"
#include "StartButton.h"
#include "formats/Formats.h"
#include "widgets/DragAcceptance.h"
#include "widgets/DropArea.h"
#include "widgets/NumberField.h"
#include "widgets/Toast.h"
#include "widgets/UiProfile.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <numeric>

#include "support/BatchTestKit.h"
#include "support/EngineHarness.h"
#include "support/Fixtures.h"

// A settings part with no fields: its jobs convert to format.
class FixedFormat : public SettingsPart
{
    Q_OBJECT

public:
    using SettingsPart::SettingsPart;

    int place(QGridLayout *, int row) override { return row; }
    QString readInto(JobSettings &settings) const override
    {
        settings.format = format;
        return QString();
    }

    QString format = QStringLiteral("png");
};

// A settings panel with no rows of its own: its jobs convert to PNG.
class PngPanel : public SettingsPanel
{
    Q_OBJECT

public:
    PngPanel()
        : SettingsPanel(QStringLiteral("开始转换"))
        , output(new FixedFormat(this))
    {
        addPart(output);
    }

    FixedFormat *output;
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

QStringList columnTexts(const PageCentre *centre, int column)
{
    QStringList texts;
    for (int row = 0; row < centre->rowCount(); ++row)
        texts.append(centre->cellText(row, column));
    return texts;
}

// The tooltip the table shows over a row's folder button.
QString folderButtonTooltip(const PageCentre *centre, int row)
{
    FileTable *table = centre->table();
    const QPoint point = FileTable::buttonRect(table->visualRect(table->model()->index(row, centre->columns().buttonColumn)),
                                               FileTable::RowButton::OpenFolder)
                             .center();
    QHelpEvent help(QEvent::ToolTip, point, table->viewport()->mapToGlobal(point));
    QApplication::sendEvent(table->viewport(), &help);
    return QToolTip::text();
}

} // namespace

Q_DECLARE_METATYPE(BatchColumns)
Q_DECLARE_METATYPE(NumberRule::Verdict)

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
    void startAgainRunsOnlyWhatIsNotDone();
    void everySettingTellsRunsApart_data();
    void everySettingTellsRunsApart();
    void selectedRowStaysReadable();
    void columnsShareTheWidth_data();
    void columnsShareTheWidth();
    void statusAndButtonsStayInView_data();
    void statusAndButtonsStayInView();
    void outputFolderElided();
    void failedRowShowsItsReason_data();
    void failedRowShowsItsReason();
    void reasonWords_data();
    void reasonWords();
    void reasonsOfRealFailures();
    void noteWords_data();
    void noteWords();
    void notesOfWholePictures();

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
    for (const char *name : {"b.png", "img10.png", "A.jpg", "notes.txt", "img2.png", "Z.bmp", "c.JPG", "img1.png"})
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), "x"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("d")));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("d/e.jpg")), "x"));
    // The viewer's natural order: numbers by value.
    const QStringList expected{"A.jpg", "b.png", "c.JPG", "img1.png", "img2.png", "img10.png", "Z.bmp"};
    const QString told = QStringLiteral("已添加 7 个文件，已跳过 1 个不支持的文件、1 个文件夹");

    FrameworkPage chosen(BatchColumns::standard());
    QCOMPARE(chosen.addFolder(dir.path()).notice(), told);
    QCOMPARE(chosen.endNotice()->text(), told);
    QCOMPARE(columnTexts(chosen.centerWidget(), 1), expected);
    QCOMPARE(columnTexts(chosen.centerWidget(), 0), (QStringList{"1", "2", "3", "4", "5", "6", "7"}));
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
    QCOMPARE(dropped.endNotice()->text(), told);

    FrameworkPage empty(BatchColumns::standard());
    empty.addFolder(dir.filePath(QStringLiteral("d/none")));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("void")));
    empty.addFolder(dir.filePath(QStringLiteral("void")));
    QVERIFY(empty.centerWidget()->isEmptyViewShown());
    // No table to show it over: a message says it.
    QCOMPARE(BatchTestKit::shownDialogTexts(),
             (QStringList{QStringLiteral("没有可添加的文件"), QStringLiteral("没有可添加的文件")}));
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
    PageCentre *centre = page.centerWidget();
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) {
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), QByteArray(3000, 'x')));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    QCOMPARE(centre->cellText(0, 2), QStringLiteral("2.9 KB"));

    BatchTestKit::clickDelete(centre, 1);
    QCOMPARE(columnTexts(centre, 0), (QStringList{"1", "2", "3"}));
    QCOMPARE(columnTexts(centre, 1), (QStringList{"a.jpg", "c.jpg", "d.jpg"}));
    QCOMPARE(centre->sourcePath(1), dir.filePath(QStringLiteral("c.jpg")));
    QVERIFY(BatchTestKit::shownDialogTexts().isEmpty());

    // A press on one row's button and a release on another's is no click.
    FileTable *table = centre->table();
    const auto deleteButton = [&](int row) {
        return FileTable::buttonRect(table->visualRect(table->model()->index(row, columns.buttonColumn)),
                                     FileTable::RowButton::Delete)
            .center();
    };
    QTest::mousePress(table->viewport(), Qt::LeftButton, Qt::NoModifier, deleteButton(0));
    QTest::mouseRelease(table->viewport(), Qt::LeftButton, Qt::NoModifier, deleteButton(1));
    QCOMPARE(centre->rowCount(), 3);

    // The buttons of the moved rows still find their own row.
    BatchTestKit::clickDelete(centre, 2);
    QCOMPARE(columnTexts(centre, 1), (QStringList{"a.jpg", "c.jpg"}));
    // The keyboard reaches the drawn buttons through the table: Delete on the current
    // row; Enter opens nothing while the row has no output.
    QVERIFY(table->focusPolicy() & Qt::TabFocus);
    table->setCurrentIndex(table->model()->index(1, 1));
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(centre->rowCount(), 2);
    QTest::keyClick(table, Qt::Key_Delete);
    QCOMPARE(columnTexts(centre, 1), (QStringList{"a.jpg"}));
    BatchTestKit::clickDelete(centre, 0);
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
    PageCentre *centre = page.centerWidget();
    for (const char *name : {"a.png", "b.png"}) {
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), "x"));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    page.showResult({1, FileResult::Failed, QStringLiteral("/out/b.png"), 0, false, QStringLiteral("why")});
    // The words show in the layout's status column and nowhere else.
    for (int column = 0; column < columns.headers.size(); ++column)
        QCOMPARE(centre->cellText(1, column) == QStringLiteral("转换失败！"), column == columns.statusColumn);
    QCOMPARE(centre->table()->model()->index(1, columns.statusColumn).data(Qt::ToolTipRole).toString(),
             QStringLiteral("处理失败\nwhy"));
    // A failed row has no output to open.
    QCOMPARE(page.resultRows(), QList<int>{});
    QCOMPARE(centre->outputPath(1), QString());
    QVERIFY(!centre->row(1).hasOutput());
    QVERIFY(!centre->row(1).showsBar());
    QVERIFY(!centre->row(1).showsBar());
    QCOMPARE(centre->row(1).stateText(), QStringLiteral("转换失败！"));
    // The other row is untouched.
    QVERIFY(!centre->row(0).hasOutput());
    QVERIFY(centre->row(0).showsBar());

    // Results for rows that are not there are dropped.
    page.showResult({2, FileResult::Succeeded, QStringLiteral("/out/x.png"), 1, false, QString()});
    page.showResult({7, FileResult::Cancelled, QString(), 0, false, QString()});
    QCOMPARE(page.resultRows(), QList<int>{});
    QCOMPARE(centre->rowReason(1), QStringLiteral("处理失败\nwhy"));
}

void TestBatchPage::openItemDirOpensTheOutputFolder()
{
    QTemporaryDir dir;
    UrlCatcher catcher;
    FrameworkPage page(BatchColumns::standard());
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("a.jpg")), "x"));
    page.addOneFile(dir.filePath(QStringLiteral("a.jpg")));

    page.show(); // tooltips show for a widget on screen
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    PageCentre *centre = page.centerWidget();
    const auto click = [centre] { BatchTestKit::clickOpenFolder(centre, 0); };
    click();
    QVERIFY(catcher.urls().isEmpty());
    QVERIFY(!centre->row(0).hasOutput());
    QCOMPARE(folderButtonTooltip(centre, 0), QStringLiteral("没有输出文件"));

    // A failed row has no output either.
    const QString output = dir.filePath(QStringLiteral("out/sub/a.png"));
    page.showResult({0, FileResult::Failed, output, 0, false, QStringLiteral("why")});
    QVERIFY(!centre->row(0).hasOutput());
    QVERIFY(centre->outputPath(0).isEmpty());

    const QString folder = dir.filePath(QStringLiteral("out/sub"));
    QVERIFY(QDir().mkpath(folder));
    page.showResult({0, FileResult::Succeeded, output, 1, false, QString()});
    QVERIFY(centre->row(0).hasOutput());
    QCOMPARE(folderButtonTooltip(centre, 0), QStringLiteral("打开输出文件夹"));
    click();
    QCOMPARE(catcher.urls(), QList<QUrl>{QUrl::fromLocalFile(folder)});
    QVERIFY(BatchTestKit::shownDialogTexts().isEmpty());
    // Enter on the row does what its button does.
    centre->table()->setCurrentIndex(centre->table()->model()->index(0, 1));
    QTest::keyClick(centre->table(), Qt::Key_Enter);
    QCOMPARE(catcher.urls(), (QList<QUrl>{QUrl::fromLocalFile(folder), QUrl::fromLocalFile(folder)}));

    // xdg-open has no file manager to hand the folder to: the page says so.
    catcher.setFails(true);
    click();
    QCOMPARE(catcher.urls().size(), 3);
    QCOMPARE(BatchTestKit::shownDialogTexts(), QStringList{QStringLiteral("无法打开文件夹：") + folder});
    BatchTestKit::closeDialogs();

    // The folder is gone: the page says so rather than doing nothing.
    QVERIFY(QDir(dir.filePath(QStringLiteral("out"))).removeRecursively());
    click();
    QCOMPARE(catcher.urls().size(), 3);
    QCOMPARE(BatchTestKit::shownDialogTexts(), QStringList{QStringLiteral("输出文件夹已不存在：") + folder});
}

void TestBatchPage::clearDuringRunKeepsOldResultsOffNewRows()
{
    QTemporaryDir dir;
    FrameworkPage page(BatchColumns::standard());
    PageCentre *centre = page.centerWidget();
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
        QVERIFY(!centre->row(row).hasOutput());
        QVERIFY(centre->row(row).showsBar());
        QVERIFY(centre->row(row).progress <= 0);
    }

    // The new rows convert normally in a run of their own.
    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QCOMPARE(page.resultRows(), (QList<int>{0, 1}));
    QVERIFY(centre->outputPath(0).contains(QStringLiteral("new1")));
    QCOMPARE(centre->row(1).progress, 100);
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
    QCOMPARE(page.centerWidget()->row(0).stateText(), QStringLiteral("原文件不存在！"));
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
    QTest::addColumn<bool>("emptyMeansNone");
    QTest::addColumn<NumberRule::Verdict>("verdict");
    QTest::addColumn<int>("value");

    const auto number = NumberRule::Verdict::Number;
    const auto none = NumberRule::Verdict::NotGiven;
    const auto no = NumberRule::Verdict::Refused;
    QTest::newRow("size") << "800" << 1 << 10000 << true << number << 800;
    QTest::newRow("size top") << "10000" << 1 << 10000 << true << number << 10000;
    QTest::newRow("leading zeros") << "0090" << 1 << 10000 << true << number << 90;
    QTest::newRow("blanks around") << " 600 " << 1 << 10000 << true << number << 600;
    QTest::newRow("empty, not given") << "" << 1 << 10000 << true << none << 0;
    QTest::newRow("blank, not given") << "  " << 1 << 10000 << true << none << 0;
    QTest::newRow("empty where a number is needed") << "" << 1 << 10000 << false << no << 0;
    QTest::newRow("zero pixels") << "0" << 1 << 10000 << true << no << 0;
    QTest::newRow("comma group") << "1,000" << 1 << 10000 << true << no << 0;
    QTest::newRow("dot group") << "1.000" << 1 << 10000 << true << no << 0;
    QTest::newRow("blank group") << "1 000" << 1 << 10000 << true << no << 0;
    QTest::newRow("no-break space group") << QStringLiteral("1\u00a0000") << 1 << 10000 << true << no << 0;
    QTest::newRow("decimal") << "12.5" << 1 << 10000 << true << no << 0;
    QTest::newRow("exponent") << "1e3" << 1 << 10000 << true << no << 0;
    QTest::newRow("plus") << "+5" << 1 << 10000 << true << no << 0;
    QTest::newRow("minus where none is allowed") << "-5" << 1 << 10000 << true << no << 0;
    QTest::newRow("arabic-indic digit") << QStringLiteral("\u0663") << 1 << 10000 << true << no << 0;
    QTest::newRow("fullwidth digit") << QStringLiteral("\uff15") << 1 << 10000 << true << no << 0;
    QTest::newRow("above top") << "10001" << 1 << 10000 << true << no << 0;
    QTest::newRow("far above top") << "999999999" << 1 << 10000 << true << no << 0;
    QTest::newRow("beyond an int") << "99999999999" << 1 << 10000 << true << no << 0;
    QTest::newRow("angle") << "-90" << -360 << 360 << false << number << -90;
    QTest::newRow("angle leading zero") << "-045" << -360 << 360 << false << number << -45;
    QTest::newRow("minus zero") << "-0" << -360 << 360 << false << number << 0;
    QTest::newRow("lone minus") << "-" << -360 << 360 << false << no << 0;
    QTest::newRow("double minus") << "--5" << -360 << 360 << false << no << 0;
    QTest::newRow("minus inside") << "5-" << -360 << 360 << false << no << 0;
    QTest::newRow("angle below bottom") << "-361" << -360 << 360 << false << no << 0;
    QTest::newRow("angle above top") << "361" << -360 << 360 << false << no << 0;
}

void TestBatchPage::numberRule()
{
    QFETCH(QString, text);
    QFETCH(int, bottom);
    QFETCH(int, top);
    QFETCH(bool, emptyMeansNone);
    QFETCH(NumberRule::Verdict, verdict);
    QFETCH(int, value);

    const NumberRule rule{bottom, top, emptyMeansNone};
    const NumberRule::Reading reading = rule.read(text);
    QCOMPARE(reading.verdict, verdict);
    if (verdict == NumberRule::Verdict::Number)
        QCOMPARE(reading.value, value);

    // The field never rewrites the text, whatever the locale's separators.
    const QLocale before;
    for (const char *name : {"en_US", "de_DE"}) {
        QLocale::setDefault(QLocale(QLatin1String(name)));
        NumberField field(rule);
        field.setHint(QStringLiteral("hint"));
        field.insert(text); // as typed or pasted; key clicks know only ASCII
        QCOMPARE(field.text(), text);
        QCOMPARE(field.isRefused(), verdict == NumberRule::Verdict::Refused);
        QCOMPARE(field.toolTip(), field.isRefused() ? rule.message() : QStringLiteral("hint"));
        QCOMPARE(field.value().has_value(), verdict == NumberRule::Verdict::Number);
    }
    QLocale::setDefault(before);
    QCOMPARE(NumberRule({1, 10000, true}).message(), QStringLiteral("1–10000 的整数"));
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
    PageCentre *centre = page.centerWidget();
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
    QCOMPARE(centre->row(0).stateText(), QStringLiteral("转换失败！"));
    QVERIFY(!centre->rowReason(0).isEmpty());
    QCOMPARE(centre->row(1).stateText(), QStringLiteral("原文件不存在！"));
    QCOMPARE(centre->row(2).progress, 100);

    // The user fixes the first two files and removes the third, then starts again.
    QVERIFY(QFile::remove(broken));
    QVERIFY(Fixtures::writeImage(broken, QSize(30, 20)));
    QVERIFY(Fixtures::writeImage(late, QSize(30, 20)));
    QVERIFY(QFile::remove(gone));
    page.start();
    // Before any result: the rows that run look new, the missing one says so.
    for (int row = 0; row < 2; ++row) {
        QVERIFY(centre->row(row).showsBar());
        QVERIFY(centre->row(row).stateText().isEmpty());
        QVERIFY(centre->rowReason(row).isEmpty());
        QVERIFY(centre->row(row).showsBar());
        QVERIFY(centre->row(row).progress <= 0);
    }
    // The third succeeded with these settings and its output is still there: it
    // is done, gone source or not, and says so.
    QCOMPARE(centre->row(2).stateText(), QStringLiteral("已完成，未重复处理"));
    QVERIFY(!centre->row(2).showsBar());

    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    for (int row = 0; row < 2; ++row) {
        QVERIFY(centre->row(row).showsBar());
        QVERIFY(centre->row(row).showsBar());
        QCOMPARE(centre->row(row).progress, 100);
        QCOMPARE(Fixtures::imageSize(centre->outputPath(row)), QSize(30, 20));
    }
    QVERIFY(!centre->row(2).showsBar());
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("完成：2 个成功，0 个失败"));
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

    // Told by the page, from before the start: the button as each result has left it.
    QStringList seen;
    connect(&page, &BatchPage::fileCounted, this, [&] { seen.append(startButton->text()); });
    connect(&page, &BatchPage::jobEnded, this, [&] { seen.append(startButton->text()); });
    page.start();
    // The missing file is counted (as failed) from the start.
    QCOMPARE(startButton->text(), QStringLiteral("转换中 1/5"));
    QCOMPARE(page.findChildren<BatchJob *>().size(), 1);
    QVERIFY(BatchTestKit::waitForJobEnd(&page));

    QCOMPARE(seen, (QStringList{"转换中 2/5", "转换中 3/5", "转换中 4/5", "转换中 5/5", "开始转换"}));
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

    // A new start takes the notice down and counts afresh: only the rows not
    // done (the broken and the missing file) run again.
    page.start();
    QCOMPARE(startButton->text(), QStringLiteral("转换中 1/2"));
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
    PageCentre *centre = page.centerWidget();
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(centre->row(row).stateText(), QStringLiteral("已取消"));
        QVERIFY(!centre->row(row).showsBar());
        QVERIFY(!centre->row(row).showsBar());
    }
    QVERIFY(!stop->isEnabled());
    // The end notice counts the stopped rows; the start button is itself again.
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("已停止：0 个成功，0 个失败，3 个已取消"));
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
        QVERIFY(centre->row(row).showsBar()); // "已取消" went with the new start
        QCOMPARE(centre->row(row).progress, 100);
    }
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("完成：3 个成功，0 个失败"));
    QVERIFY(BatchTestKit::shownDialogTexts().isEmpty());
}

void TestBatchPage::everySettingTellsRunsApart_data()
{
    QTest::addColumn<int>("change");
    const char *names[] = {"operation", "format", "width",    "height",   "quality",
                           "turn",      "flop",   "flip",     "metadata", "output folder"};
    for (int change = 0; change < 10; ++change)
        QTest::newRow(names[change]) << change;
}

// A row done with some settings is not done with any other.
void TestBatchPage::everySettingTellsRunsApart()
{
    QFETCH(int, change);
    JobSettings base;
    base.format = QStringLiteral("png");
    JobSettings other = base;
    QString folder = QStringLiteral("/o");
    switch (change) {
    case 0: other.operation = Operation::Resize; break;
    case 1: other.format = QStringLiteral("jpg"); break;
    case 2: other.width = 800; break;
    case 3: other.height = 600; break;
    case 4: other.quality = 70; break;
    case 5: other.degrees = 90; break;
    case 6: other.flop = true; break;
    case 7: other.flip = true; break;
    case 8: other.metadata = Metadata::NoLocation; break;
    case 9: folder = QStringLiteral("/p"); break;
    }
    QVERIFY(RunSettings(base, QStringLiteral("/o")) != RunSettings(other, folder));
    QVERIFY(RunSettings(base, QStringLiteral("/o")) == RunSettings(base, QStringLiteral("/o/")));
}

// Stopped with two files done: a new start runs only the third, and writes no
// second copy of the others; changed settings run every row again.
void TestBatchPage::startAgainRunsOnlyWhatIsNotDone()
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    QVERIFY(QDir().mkpath(out));
    const QString magick = ToolLocator::program(ToolLocator::Tool::ImageMagick);
    // The real ImageMagick, except that it hangs on the file named "slow".
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick,
                             EngineHarness::writeTool(dir.path(), "slow-on-one",
                                                      "case \"$IN\" in *slow*) exec sleep 60;; esac\nexec '"
                                                          + QFile::encodeName(magick) + "' \"$@\""));
    FrameworkPage page(BatchColumns::standard());
    page.centerWidget()->paramPanel()->findChild<OutputFolderRow *>()->setText(out);
    for (const char *name : {"a.png", "b.png", "slow.png"}) {
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(8, 6)));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    PageCentre *centre = page.centerWidget();
    page.start();
    QTRY_VERIFY_WITH_TIMEOUT(page.jobTally().succeeded == 2, 30000);
    page.operBar()->stopBtn()->click();
    QVERIFY(BatchTestKit::waitForJobEnd(&page, 20000));
    ToolLocator::setOverride(ToolLocator::Tool::ImageMagick, QString());
    QCOMPARE(centre->row(2).stateText(), QStringLiteral("已取消"));
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("已停止：2 个成功，0 个失败，1 个已取消"));

    page.start();
    for (int row = 0; row < 2; ++row)
        QCOMPARE(centre->row(row).stateText(), QStringLiteral("已完成，未重复处理"));
    QVERIFY(centre->row(2).showsBar());
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("完成：1 个成功，0 个失败"));
    QCOMPARE(EngineHarness::entriesBelow(out), (QStringList{"a.png", "b.png", "slow.png"}));
    for (int row = 0; row < 3; ++row)
        QVERIFY(centre->row(row).hasOutput());

    // Nothing left to do with these settings: a start says so and runs nothing.
    page.start();
    QCOMPARE(BatchTestKit::shownDialogTexts(), QStringList{QStringLiteral("所有文件都已按当前设置处理完成")});
    QVERIFY(!page.isJobRunning());
    BatchTestKit::closeDialogs();

    // An output gone counts as not done.
    QVERIFY(QFile::remove(dir.filePath("out/b.png")));
    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QCOMPARE(page.jobTally().total, 1);
    QCOMPARE(EngineHarness::entriesBelow(out), (QStringList{"a.png", "b.png", "slow.png"}));

    // Other settings: every row runs again.
    page.panel<PngPanel>()->output->format = QStringLiteral("jpg");
    page.start();
    for (int row = 0; row < 3; ++row)
        QVERIFY(centre->row(row).showsBar());
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("完成：3 个成功，0 个失败"));
    QCOMPARE(EngineHarness::entriesBelow(out),
             (QStringList{"a.jpg", "a.png", "b.jpg", "b.png", "slow.jpg", "slow.png"}));
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
    PageCentre *centre = page.centerWidget();
    page.resize(1400, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    BatchRow done = centre->row(0);
    done.state = BatchRow::State::Succeeded;
    done.progress = 100;
    centre->setRow(0, done);
    centre->table()->selectRow(0);

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
    const QRect buttonCell = table->visualRect(table->model()->index(0, 4));
    for (FileTable::RowButton button : {FileTable::RowButton::OpenFolder, FileTable::RowButton::Delete})
        QCOMPARE(shot.pixelColor(FileTable::buttonRect(buttonCell, button).topLeft() + QPoint(1, 1)), background);
    // The bar: drawn on the selection, tall enough for its percentage.
    const QRect statusCell = table->visualRect(table->model()->index(0, 3));
    const int x = statusCell.left() + statusCell.width() / 8;
    int barHeight = 0;
    for (int y = statusCell.top(); y < statusCell.bottom(); ++y)
        barHeight += shot.pixelColor(x, y) != background ? 1 : 0;
    QVERIFY2(barHeight >= QFontMetrics(UiProfile::listFont()).height(), qPrintable(QString::number(barHeight)));
}

void TestBatchPage::columnsShareTheWidth_data()
{
    QTest::addColumn<int>("available");
    QTest::addColumn<QList<int>>("expected");
    // Liked: 80 240 240 200 200; least: 50 80 90 200 200 (the status and the buttons give nothing).
    QTest::newRow("room to spare goes to the name") << 1100 << QList<int>{80, 380, 240, 200, 200};
    QTest::newRow("just enough") << 960 << QList<int>{80, 240, 240, 200, 200};
    QTest::newRow("the name gives way first") << 900 << QList<int>{80, 180, 240, 200, 200};
    QTest::newRow("then the others, by what they may give") << 760 << QList<int>{73, 80, 207, 200, 200};
    QTest::newRow("below every least the table scrolls") << 500 << QList<int>{50, 80, 90, 200, 200};
}

void TestBatchPage::columnsShareTheWidth()
{
    QFETCH(int, available);
    QFETCH(QList<int>, expected);
    const QList<int> widths
        = ColumnFit::widths({80, 240, 240, 200, 200}, {50, 80, 90, 200, 200}, BatchColumns::NameColumn, available);
    QCOMPARE(widths, expected);
    if (available >= 620)
        QCOMPARE(std::accumulate(widths.cbegin(), widths.cend(), 0), available);
}

void TestBatchPage::statusAndButtonsStayInView_data()
{
    QTest::addColumn<BatchColumns>("columns");
    QTest::addColumn<bool>("narrowest");
    QTest::newRow("five columns, wide") << BatchColumns::standard() << false;
    QTest::newRow("five columns, narrowest") << BatchColumns::standard() << true;
    QTest::newRow("six columns, narrowest") << BatchColumns::withResultSize() << true;
}

// However wide the page, the status and the row buttons are whole in view with no
// scrolling, and a long name is elided in its middle.
void TestBatchPage::statusAndButtonsStayInView()
{
    QFETCH(BatchColumns, columns);
    QFETCH(bool, narrowest);
    // The toolbox window's least width, or a wide one.
    const int width = narrowest ? UiProfile::pick(1100, 1400) : 1900;
    QTemporaryDir dir;
    const QString name = QStringLiteral("IMG_20231015_143022_HDR_panorama_of_the_harbour_at_dusk.png");
    QVERIFY(Fixtures::writeImage(dir.filePath(name), QSize(4, 4)));
    FrameworkPage page(columns);
    page.addOneFile(dir.filePath(name));
    page.resize(width, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    FileTable *table = page.centerWidget()->table();
    QTRY_VERIFY(table->horizontalHeader()->length() <= table->viewport()->width());
    for (int column : {columns.statusColumn, columns.buttonColumn}) {
        const QRect cell = table->visualRect(table->model()->index(0, column));
        QVERIFY2(table->viewport()->rect().contains(cell), qPrintable(QString::number(column)));
        QCOMPARE(cell.width(), columns.widths.at(column));
    }
    QCOMPARE(table->textElideMode(), Qt::ElideMiddle);
    const QRect nameCell = table->visualRect(table->model()->index(0, BatchColumns::NameColumn));
    QVERIFY(nameCell.width() >= UiProfile::pick(60, 80));
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

    PageCentre *centre = page.centerWidget();
    QCOMPARE(centre->row(1).stateText(), QStringLiteral("转换失败！"));
    QCOMPARE(centre->rowReason(1), QStringLiteral("处理失败\nconvert: no pixels in bad.png"));
    QCOMPARE(centre->table()->model()->index(1, columns.statusColumn).data(Qt::ToolTipRole).toString(),
             centre->rowReason(1));
    QCOMPARE(centre->rowReason(0), QString());
}

void TestBatchPage::reasonWords_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("words");

    QTest::newRow("empty") << "the file is empty"
                           << "文件为空";
    QTest::newRow("not a picture") << "the content is not a picture format the program reads"
                                   << "不是图片或格式不受支持";
    QTest::newRow("no delegate") << "convert: no decode delegate for this image format `' @ error/constitute.c/575."
                                 << "不是图片或格式不受支持";
    QTest::newRow("cut short") << "convert: Premature end of JPEG file `a.jpg' @ warning/jpeg.c/JPEGWarningHandler/389."
                               << "图片不完整";
    QTest::newRow("damaged") << "libpng error: IDAT: CRC error"
                             << "图片不完整";
    QTest::newRow("too large")
        << "the picture is too large: 90000x90000 pixels (at most 256 megapixels, 30000 pixels a side)"
        << "图片过大";
    QTest::newRow("over a limit")
        << "convert: width or height exceeds limit `x.png' @ error/cache.c/OpenPixelCache/3911."
        << "图片过大";
    QTest::newRow("disk") << "no space left on device (/out)"
                          << "磁盘已满";
    QTest::newRow("hung") << "convert made no progress for 60 s and was ended"
                          << "处理超时";
    QTest::newRow("slow") << "convert ran longer than 10 min and was ended"
                          << "处理超时";
    QTest::newRow("no tool") << "convert could not be started"
                             << "工具无法启动";
    QTest::newRow("crash") << "convert crashed"
                           << "工具意外退出";
    QTest::newRow("gone") << "the file does not exist"
                          << "原文件不存在";
    QTest::newRow("output folder") << "cannot write in the output folder /o: Permission denied"
                                   << "无法写入输出文件夹";
    QTest::newRow("source unreadable") << "cannot open the file: Permission denied"
                                       << "无法读取原文件";
    QTest::newRow("anything else") << "convert exited with status 1"
                                   << "处理失败";
}

void TestBatchPage::reasonWords()
{
    QFETCH(QString, engine);
    QFETCH(QString, words);
    QCOMPARE(ReasonWords::shortReason(engine), words);
    QCOMPARE(ReasonWords::tooltip(engine), words + QLatin1Char('\n') + engine);

    // The tool's line stays one line of at most 200 characters.
    const QString longer = engine + QStringLiteral("\n\tsecond line ") + QString(300, QLatin1Char('x'));
    const QString line = ReasonWords::tooltip(longer).section(QLatin1Char('\n'), 1);
    QVERIFY(!line.contains(QLatin1Char('\n')));
    QCOMPARE(line.size(), ReasonWords::kMaxLineChars);
    QVERIFY(line.startsWith(engine + QStringLiteral(" second line x")));
    QVERIFY(line.endsWith(QChar(0x2026)));
}

// Three everyday failures through a page and the real ImageMagick: the tooltip
// starts with the Chinese reason and keeps the engine's line below it.
void TestBatchPage::reasonsOfRealFailures()
{
    QTemporaryDir dir;
    const QString cut = dir.filePath(QStringLiteral("cut.jpg"));
    QVERIFY(Fixtures::writeImage(cut, QSize(300, 200)));
    QFile jpeg(cut);
    QVERIFY(jpeg.open(QIODevice::ReadWrite));
    QVERIFY(jpeg.resize(jpeg.size() / 2));
    jpeg.close();
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("empty.jpg")), QByteArray()));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("notes.jpg")), "shopping: milk, bread\n"));

    FrameworkPage page(BatchColumns::standard());
    for (const char *name : {"empty.jpg", "notes.jpg", "cut.jpg"})
        page.addOneFile(dir.filePath(QLatin1String(name)));
    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));

    const PageCentre *centre = page.centerWidget();
    const QStringList words{QStringLiteral("文件为空"), QStringLiteral("不是图片或格式不受支持"),
                            QStringLiteral("图片不完整")};
    for (int row = 0; row < words.size(); ++row) {
        const QStringList lines = centre->rowReason(row).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.first(), words.at(row));
        QVERIFY(!lines.last().isEmpty());
    }
}

void TestBatchPage::noteWords_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("words");

    QTest::newRow("stray bytes")
        << "convert: Corrupt JPEG data: 4 extraneous bytes before marker 0xdb `a.jpg' @ warning/jpeg.c/389."
        << "原图含多余数据，已忽略";
    QTest::newRow("colour profile") << "convert: iCCP: too short `a.png' @ warning/png.c/MagickPNGWarningHandler/1671."
                                    << "原图的颜色配置文件已损坏，已忽略";
    QTest::newRow("another warning") << "convert: tEXt: invalid keyword `a.png' @ warning/png.c/1671."
                                     << "原图有小问题，已忽略";
}

void TestBatchPage::noteWords()
{
    QFETCH(QString, engine);
    QFETCH(QString, words);
    QCOMPARE(ReasonWords::noteTooltip(engine), words + QLatin1Char('\n') + engine);
    QCOMPARE(ReasonWords::noteTooltip(QString()), QString());
}

// Sources whose only fault is a warning that leaves the pixels whole succeed
// through a page and the real ImageMagick; the row's tooltip keeps the note, in
// words and with the tool's line, as a failure's reason is shown.
void TestBatchPage::notesOfWholePictures()
{
    QTemporaryDir dir;
    const QString stray = dir.filePath(QStringLiteral("stray.jpg"));
    QVERIFY(Fixtures::writeImage(stray, QSize(120, 80)));
    QFile jpeg(stray);
    QVERIFY(jpeg.open(QIODevice::ReadOnly));
    QByteArray bytes = jpeg.readAll();
    jpeg.close();
    const int marker = bytes.indexOf(QByteArray("\xff\xdb", 2));
    QVERIFY(marker > 0);
    QVERIFY(Fixtures::writeBytes(stray, bytes.insert(marker, QByteArray("\x00\x01\x02\x03", 4))));

    const QString profile = dir.filePath(QStringLiteral("profile.png"));
    QVERIFY(Fixtures::writeImage(profile, QSize(120, 80)));
    QFile png(profile);
    QVERIFY(png.open(QIODevice::ReadOnly));
    bytes = png.readAll();
    png.close();
    const int afterHeader = 8 + 25; // signature, IHDR chunk
    QVERIFY(Fixtures::writeBytes(
        profile, bytes.insert(afterHeader, Fixtures::pngChunk("iCCP", QByteArray("sRGB\0\0not deflate data", 22)))));

    FrameworkPage page(BatchColumns::standard());
    page.addOneFile(stray);
    page.addOneFile(profile);
    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));

    const PageCentre *centre = page.centerWidget();
    QCOMPARE(page.resultRows(), (QList<int>{0, 1}));
    const QStringList words{QStringLiteral("原图含多余数据，已忽略"), QStringLiteral("原图的颜色配置文件已损坏，已忽略")};
    for (int row = 0; row < words.size(); ++row) {
        QVERIFY(QFileInfo(centre->outputPath(row)).size() > 0);
        const QStringList lines = centre->rowReason(row).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.first(), words.at(row));
        QVERIFY2(lines.last().contains(QLatin1String("warning")), qPrintable(lines.last()));
    }
}

QTEST_MAIN(TestBatchPage)
#include "tst_batchpage.moc"
