#include "app/AppSetup.h"
#include "batch/engine/BatchJob.h"
#include "batch/pages/convert/ConvertPanel.h"
#include "batch/shell/PageCentre.h"
#include "FileTable.h"
#include "OutputFolderRow.h"
#include "widgets/DropArea.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "support/BatchTestKit.h"
#include "support/Fixtures.h"

class TestConvertPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void panelAtStart();
    void sizeComboClearsTheFields();
    void sizeFieldValues_data();
    void sizeFieldValues();
    void firstRefusedFieldFromTheTop_data();
    void firstRefusedFieldFromTheTop();
    void metadataChoiceReachesTheJob_data();
    void metadataChoiceReachesTheJob();
    void convertsToPng_data();
    void convertsToPng();
    void successFailureAndMissingInOneRun();
    void runWithEveryRowMissingEndsAtOnce();
    void unwritableOutputFolderFailsEveryRow();

private:
    QString defaultExportDir() const;
    QTemporaryDir home;
};

void TestConvertPage::initTestCase()
{
    QVERIFY(home.isValid());
    BatchTestKit::useHome(home.path());
    AppSetup::run();
}

void TestConvertPage::cleanup()
{
    BatchTestKit::closeDialogs();
}

QString TestConvertPage::defaultExportDir() const
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QStringLiteral("/Pelmora图片查看器");
}

void TestConvertPage::panelAtStart()
{
    ToolboxPage page(Toolbox::ConvertTab);
    const ConvertPanel *param = page.panel<ConvertPanel>();
    QCOMPARE(page.centerWidget()->dropArea()->acceptedSuffixes().size(), 34);
    QStringList formats;
    for (int i = 0; i < param->formatRows()->formatBox()->count(); ++i)
        formats.append(param->formatRows()->formatBox()->itemText(i));
    QCOMPARE(formats, (QStringList{"JPG", "JPEG", "PNG", "BMP", "TIF", "TIFF", "WEBP", "TGA", "GIF", "AVIF", "HEIC"}));
    QCOMPARE(param->formatRows()->format(), QStringLiteral("jpg"));
    QCOMPARE(param->sizeRows()->sizeBox()->itemText(0), QStringLiteral("原始尺寸"));
    QCOMPARE(param->sizeRows()->sizeBox()->itemData(1).toInt(), 50);
    QVERIFY(param->sizeRows()->outputWidthEdit()->isHidden());
    QVERIFY(param->sizeRows()->outputHeightEdit()->isHidden());
    QCOMPARE(param->exportDir(), defaultExportDir());
    QVERIFY(param->findChild<QWidget *>(QStringLiteral("gridWidget")));
    QVERIFY(param->findChild<QWidget *>(QStringLiteral("parHeaderWidget")));

    UrlCatcher catcher;
    param->exportFile()->openDirBtn()->click();
    QCOMPARE(catcher.urls(), QList<QUrl>{QUrl::fromLocalFile(defaultExportDir())});
}

void TestConvertPage::sizeComboClearsTheFields()
{
    ToolboxPage page(Toolbox::ConvertTab);
    ConvertPanel *param = page.panel<ConvertPanel>();
    NumberField *width = param->sizeRows()->outputWidthEdit();
    NumberField *height = param->sizeRows()->outputHeightEdit();

    param->sizeRows()->sizeBox()->setCurrentIndex(1);
    QVERIFY(!width->isHidden());
    QVERIFY(!height->isHidden());
    QTest::keyClicks(width, QStringLiteral("800"));
    QTest::keyClicks(height, QStringLiteral("600"));
    QCOMPARE(param->read().settings.width.value_or(-1), 800);

    param->sizeRows()->sizeBox()->setCurrentIndex(0);
    QVERIFY(width->isHidden());
    QVERIFY(width->text().isEmpty());
    QVERIFY(height->text().isEmpty());

    param->sizeRows()->sizeBox()->setCurrentIndex(1);
    QVERIFY(!width->isHidden());
    QVERIFY(width->text().isEmpty());
    QVERIFY(height->text().isEmpty());
    QCOMPARE(param->read().settings.width.value_or(-1), -1);
    QCOMPARE(param->read().settings.height.value_or(-1), -1);
}

void TestConvertPage::sizeFieldValues_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("value");

    // -2: the field is red and a start refuses.
    QTest::newRow("empty") << ""
                           << "" << -1;
    QTest::newRow("width") << "800"
                           << "800" << 800;
    // 0 pixels is no size, and the placeholder offers only the empty field for "not given".
    QTest::newRow("zero") << "0"
                          << "0" << -2;
    QTest::newRow("zeros") << "000"
                           << "000" << -2;
    QTest::newRow("leading zero") << "0800"
                                  << "0800" << 800;
    QTest::newRow("top") << "10000"
                         << "10000" << 10000;
    QTest::newRow("above top") << "99999"
                               << "99999" << -2;
    QTest::newRow("negative") << "-5"
                              << "-5" << -2;
}

void TestConvertPage::sizeFieldValues()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(int, value);

    ToolboxPage page(Toolbox::ConvertTab);
    ConvertPanel *param = page.panel<ConvertPanel>();
    param->sizeRows()->sizeBox()->setCurrentIndex(1);
    QTest::keyClicks(param->sizeRows()->outputWidthEdit(), typed);
    QCOMPARE(param->sizeRows()->widthText(), kept);
    QCOMPARE(param->read().problem.isEmpty(), value != -2);
    if (value != -2)
        QCOMPARE(param->read().settings.width.value_or(-1), value);
}

void TestConvertPage::firstRefusedFieldFromTheTop_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("quality");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("problem");

    QTest::newRow("all read") << "JPG" << "70" << "640" << "" << "";
    QTest::newRow("quality above the size") << "JPG" << "abc" << "0" << "" << "1–100 的整数";
    QTest::newRow("width above height") << "JPG" << "70" << "0" << "-1" << "1–10000 的整数";
    QTest::newRow("height alone") << "WEBP" << "" << "640" << "x" << "1–10000 的整数";
    // A lossless format hides its quality: what it holds is not asked.
    QTest::newRow("hidden quality") << "PNG" << "abc" << "640" << "" << "";
}

// One reading of the panel says the first refused field from the top, and gives
// every field's value when none is refused.
void TestConvertPage::firstRefusedFieldFromTheTop()
{
    QFETCH(QString, format);
    QFETCH(QString, quality);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, problem);

    ToolboxPage page(Toolbox::ConvertTab);
    ConvertPanel *param = page.panel<ConvertPanel>();
    param->formatRows()->formatBox()->setCurrentText(format);
    param->formatRows()->qualityEdit()->setText(quality);
    param->sizeRows()->sizeBox()->setCurrentIndex(1);
    param->sizeRows()->outputWidthEdit()->setText(width);
    param->sizeRows()->outputHeightEdit()->setText(height);

    const SettingsReading reading = param->read();
    QCOMPARE(reading.problem, problem);
    if (!problem.isEmpty())
        return;
    QCOMPARE(reading.settings.format, std::optional<QString>(format.toLower()));
    QCOMPARE(reading.settings.quality,
             format == QStringLiteral("PNG") ? std::nullopt
                                             : std::optional<int>(quality.isEmpty() ? 80 : quality.toInt()));
    QCOMPARE(reading.settings.width, std::optional<int>(width.toInt()));
    QCOMPARE(reading.settings.height, std::optional<int>());
}

void TestConvertPage::metadataChoiceReachesTheJob_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("metadata");
    for (const int tab : {int(Toolbox::ConvertTab), int(Toolbox::ResizeTab)}) {
        const char *page = tab == Toolbox::ConvertTab ? "convert" : "resize";
        QTest::addRow("%s: 保留全部信息", page) << tab << 0 << int(Metadata::Keep);
        QTest::addRow("%s: 去除位置信息", page) << tab << 1 << int(Metadata::NoLocation);
        QTest::addRow("%s: 去除全部信息", page) << tab << 2 << int(Metadata::None);
    }
}

// The convert and resize pages offer what leaves with the photo; all of it unless chosen.
void TestConvertPage::metadataChoiceReachesTheJob()
{
    QFETCH(int, tab);
    QFETCH(int, index);
    QFETCH(int, metadata);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("s.png"));
    QVERIFY(Fixtures::writeImage(source, QSize(8, 6)));
    ToolboxPage page{Toolbox::Tab(tab)};
    ConvertPanel *param = page.panel<ConvertPanel>();
    QStringList texts;
    for (int i = 0; i < param->metadataRow()->metadataBox()->count(); ++i)
        texts << param->metadataRow()->metadataBox()->itemText(i);
    QCOMPARE(texts, (QStringList{"保留全部信息", "去除位置信息", "去除全部信息"}));
    QCOMPARE(param->metadataRow()->metadataBox()->currentIndex(), 0);
    QVERIFY(!param->metadataRow()->metadataBox()->isHidden());

    page.addOneFile(source);
    param->metadataRow()->metadataBox()->setCurrentIndex(index);
    page.start();
    QVERIFY(page.isJobRunning());
    QCOMPARE(page.job()->settings().metadata, Metadata(metadata));
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
}

void TestConvertPage::convertsToPng_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("original size") << "" << QSize(200, 100);
    QTest::newRow("custom width") << "50" << QSize(50, 25);
}

void TestConvertPage::convertsToPng()
{
    QFETCH(QString, width);
    QFETCH(QSize, expected);

    QTemporaryDir dir;
    UrlCatcher catcher;
    ToolboxPage page(Toolbox::ConvertTab);
    PageCentre *centre = page.centerWidget();
    ConvertPanel *param = page.panel<ConvertPanel>();
    for (const char *name : {"one.jpg", "two.JPG"}) {
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(200, 100)));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    param->formatRows()->formatBox()->setCurrentIndex(2);
    if (!width.isEmpty()) {
        param->sizeRows()->sizeBox()->setCurrentIndex(1);
        QTest::keyClicks(param->sizeRows()->outputWidthEdit(), width);
    }

    page.start();
    QVERIFY(page.isJobRunning());
    // While it runs: no second start, no deleting.
    page.start();
    BatchTestKit::clickDelete(centre, 0);
    QCOMPARE(BatchTestKit::shownDialogTexts(),
             (QStringList{QStringLiteral("请等待程序执行完成！"), QStringLiteral("请等待程序执行完成！")}));
    QCOMPARE(centre->rowCount(), 2);
    QCOMPARE(page.findChildren<BatchJob *>().size(), 1);
    BatchTestKit::closeDialogs();

    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QVERIFY(QFileInfo(defaultExportDir()).isDir());
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(centre->row(row).progress, 100);
        QVERIFY(centre->row(row).showsBar());
        QVERIFY(centre->row(row).showsBar());
        QVERIFY(centre->row(row).hasOutput());
        const QString output = centre->outputPath(row);
        QCOMPARE(QFileInfo(output).absolutePath(), defaultExportDir());
        QCOMPARE(QFileInfo(output).suffix(), QStringLiteral("png"));
        QCOMPARE(Fixtures::imageFormat(output), QByteArray("png"));
        QCOMPARE(Fixtures::imageSize(output), expected);
    }

    // This page's folder buttons open the panel's output folder.
    BatchTestKit::clickOpenFolder(centre, 1);
    QCOMPARE(catcher.urls(), QList<QUrl>{QUrl::fromLocalFile(defaultExportDir())});
}

void TestConvertPage::successFailureAndMissingInOneRun()
{
    QTemporaryDir dir;
    ToolboxPage page(Toolbox::ConvertTab);
    PageCentre *centre = page.centerWidget();
    QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("good.jpg")), QSize(64, 48)));
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("broken.jpg")), QByteArray(2048, '\x5a')));
    QVERIFY(Fixtures::writeImage(dir.filePath(QStringLiteral("gone.jpg")), QSize(64, 48)));
    for (const char *name : {"good.jpg", "broken.jpg", "gone.jpg"})
        page.addOneFile(dir.filePath(QLatin1String(name)));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("gone.jpg"))));

    page.start();
    // The missing row is marked at once and never sent.
    QCOMPARE(centre->row(2).stateText(), QStringLiteral("原文件不存在！"));
    QVERIFY(!centre->row(2).showsBar());
    QVERIFY(!centre->row(2).showsBar());
    QVERIFY(BatchTestKit::waitForJobEnd(&page));

    QCOMPARE(centre->row(0).progress, 100);
    QVERIFY(centre->row(0).showsBar());
    QCOMPARE(Fixtures::imageFormat(centre->outputPath(0)), QByteArray("jpeg"));

    QCOMPARE(centre->row(1).stateText(), QStringLiteral("转换失败！"));
    QVERIFY(!centre->row(1).showsBar());
    QVERIFY(!centre->row(1).showsBar());
    QVERIFY(!centre->row(1).hasOutput()); // no output to open

    QVERIFY(centre->outputPath(2).isEmpty());
    QVERIFY(!centre->row(2).hasOutput());
    QCOMPARE(centre->row(2).stateText(), QStringLiteral("原文件不存在！"));
}

void TestConvertPage::runWithEveryRowMissingEndsAtOnce()
{
    QTemporaryDir dir;
    ToolboxPage page(Toolbox::ConvertTab);
    for (const char *name : {"x.jpg", "y.png"}) {
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), "x"));
        page.addOneFile(dir.filePath(QLatin1String(name)));
        QVERIFY(QFile::remove(dir.filePath(QLatin1String(name))));
    }
    page.start();
    QVERIFY(page.isJobRunning());
    for (int row = 0; row < 2; ++row)
        QCOMPARE(page.centerWidget()->row(row).stateText(), QStringLiteral("原文件不存在！"));
    QTRY_VERIFY_WITH_TIMEOUT(!page.isJobRunning(), 20000);
    QVERIFY(BatchTestKit::shownDialogTexts().isEmpty());
}

void TestConvertPage::unwritableOutputFolderFailsEveryRow()
{
    QTemporaryDir dir;
    ToolboxPage page(Toolbox::ConvertTab);
    PageCentre *centre = page.centerWidget();
    // A folder below a plain file cannot be created, whoever runs the test.
    QVERIFY(Fixtures::writeBytes(dir.filePath(QStringLiteral("blocker")), "x"));
    page.panel<ConvertPanel>()->exportFile()->setText(dir.filePath(QStringLiteral("blocker/out")));
    for (const char *name : {"p.jpg", "q.jpg"}) {
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(30, 30)));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(centre->row(row).stateText(), QStringLiteral("转换失败！"));
        QVERIFY(!centre->row(row).showsBar());
    }
}

QTEST_MAIN(TestConvertPage)
#include "tst_convertpage.moc"
