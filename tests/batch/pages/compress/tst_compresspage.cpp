#include "app/AppSetup.h"
#include "batch/engine/BatchJob.h"
#include "batch/engine/BatchCatalogue.h"
#include "batch/pages/compress/CompressPanel.h"
#include "batch/shell/PageCentre.h"
#include "FileTable.h"
#include "OutputFolderRow.h"
#include "formats/SizeText.h"
#include "StartButton.h"
#include "widgets/DropArea.h"
#include "widgets/DropTarget.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"
#include "widgets/UiProfile.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "support/BatchTestKit.h"
#include "support/Fixtures.h"

namespace {

// A photo-like picture: smooth colour ramps with a little per-pixel noise. As a
// PNG it holds thousands of colours that pngquant maps well at level 70 but not
// within 81-90, where pngquant gives up (status 99).
QImage noisyRamp(const QSize &size)
{
    QRandomGenerator random(7);
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int noise = random.bounded(-6, 7);
            image.setPixel(x, y,
                           qRgb(qBound(0, 255 * x / size.width() + noise, 255),
                                qBound(0, 255 * y / size.height() + noise, 255), qBound(0, 128 + noise, 255)));
        }
    }
    return image;
}

QString kilobytes(const QString &path)
{
    return sizeText(QFileInfo(path).size());
}

} // namespace

class TestCompressPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void levels();
    void panelAtStart();
    void startPassesTheSettings_data();
    void startPassesTheSettings();
    void compressesPngAndJpeg();
    void unreachableQualityKeepsTheSource();
    void everyFileMissingStartsNothing();
    void failedRowShowsNoResultSizeUntilFixed();

private:
    QTemporaryDir home;
};

void TestCompressPage::initTestCase()
{
    QVERIFY(home.isValid());
    BatchTestKit::useHome(home.path());
    AppSetup::run();
}

void TestCompressPage::cleanup()
{
    BatchTestKit::closeDialogs();
}

void TestCompressPage::levels()
{
    const QStringList names = LevelRows::levelNames();
    QCOMPARE(names.size(), 9);
    for (int index = 0; index < names.size(); ++index)
        QVERIFY2(names.at(index).startsWith(QString::number(BatchCatalogue::qualityAt(index))), qPrintable(names.at(index)));
    QCOMPARE(BatchCatalogue::qualityAt(0), 90);
    QCOMPARE(BatchCatalogue::qualityAt(2), 70);
    QCOMPARE(BatchCatalogue::qualityAt(8), 10);
}

void TestCompressPage::panelAtStart()
{
    ToolboxPage page(Toolbox::CompressTab);
    PageCentre *centre = page.centerWidget();
    const CompressPanel *param = page.panel<CompressPanel>();
    QCOMPARE(centre->acceptedSuffixes(), (QStringList{"png", "jpg", "jpeg"}));
    QCOMPARE(centre->dropArea()->centerWidget()->findChild<QLabel *>(QStringLiteral("noteLabel"))->text(),
             QStringLiteral("支持 png，jpg，jpeg 格式的图片进行压缩"));
    QCOMPARE(page.styleSheet(), QStringLiteral("BatchPage{background-color:white;}"));
    QCOMPARE(centre->table()->model()->columnCount(), 6);
    QCOMPARE(centre->table()->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("压缩后大小"));
    QCOMPARE(centre->table()->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("状态"));
    const QList<int> widths
        = UiProfile::isSmallScreen() ? QList<int>{60, 150, 150, 150, 150, 80} : QList<int>{80, 200, 200, 200, 200, 100};
    for (int column = 0; column < 6; ++column) { // the file name takes what is left
        if (column != BatchColumns::NameColumn)
            QCOMPARE(centre->table()->columnWidth(column), widths.at(column));
    }
    // The drop area and the table take the centre row's room before the panel does.
    auto *row = qobject_cast<QHBoxLayout *>(static_cast<QWidget *>(centre)->layout());
    QVERIFY(row);
    QCOMPARE(row->stretch(row->indexOf(centre->dropArea())), 1);
    QCOMPARE(row->stretch(row->indexOf(centre->table())), 1);
    QCOMPARE(row->stretch(row->indexOf(centre->paramPanel())), 0);

    QCOMPARE(param->startButton()->text(), QStringLiteral("开始压缩"));
    QCOMPARE(param->settingTitle()->styleSheet(), QStringLiteral("QPushButton{border:0px;}"));
    QStringList levels;
    for (int i = 0; i < param->levelRows()->levelBox()->count(); ++i)
        levels.append(param->levelRows()->levelBox()->itemText(i));
    QCOMPARE(levels, (QStringList{"90", "80(推荐)", "70(推荐)", "60", "50", "40", "30", "20", "10"}));
    QCOMPARE(param->levelRows()->levelBox()->currentText(), QStringLiteral("70(推荐)"));
    QCOMPARE(param->levelRows()->levelHint()->text(), QStringLiteral("等级高，图片清晰，等级低，压缩率高"));
    QCOMPARE(param->levelRows()->levelHint()->styleSheet(), QStringLiteral("QLabel{color:#FF9F00;}"));
    QCOMPARE(param->sizeRows()->sizeBox()->count(), 2);
    QCOMPARE(param->sizeRows()->sizeBox()->currentText(), QStringLiteral("原始尺寸"));
    QVERIFY(param->sizeRows()->outputWidthEdit()->isHidden());
    QVERIFY(param->sizeRows()->outputHeightEdit()->isHidden());
}

void TestCompressPage::startPassesTheSettings_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QString>("width");
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("outputWidth");

    QTest::newRow("as opened") << -1 << false << "" << 70 << -1;
    QTest::newRow("level 90") << 0 << false << "" << 90 << -1;
    QTest::newRow("level 10") << 8 << false << "" << 10 << -1;
    QTest::newRow("custom left empty") << -1 << true << "" << 70 << -1;
    QTest::newRow("custom width") << 1 << true << "20" << 80 << 20;
}

void TestCompressPage::startPassesTheSettings()
{
    QFETCH(int, level);
    QFETCH(bool, custom);
    QFETCH(QString, width);
    QFETCH(int, quality);
    QFETCH(int, outputWidth);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("s.png"));
    QVERIFY(Fixtures::writeImage(source, QSize(40, 30)));
    ToolboxPage page(Toolbox::CompressTab);
    CompressPanel *param = page.panel<CompressPanel>();
    page.addOneFile(source);
    if (level >= 0)
        param->levelRows()->levelBox()->setCurrentIndex(level);
    if (custom) {
        param->sizeRows()->sizeBox()->setCurrentIndex(1);
        QVERIFY(!param->sizeRows()->outputWidthEdit()->isHidden());
        QVERIFY(param->sizeRows()->widthText().isEmpty() && param->sizeRows()->heightText().isEmpty());
        QTest::keyClicks(param->sizeRows()->outputWidthEdit(), width);
    }

    page.start();
    QVERIFY(page.isJobRunning());
    const JobSettings settings = page.job()->settings();
    QCOMPARE(settings.operation, Operation::Compress);
    QVERIFY(!settings.format);
    QCOMPARE(settings.quality, std::optional<int>(quality));
    QCOMPARE(settings.width.value_or(-1), outputWidth);
    QVERIFY(!settings.height);
    QVERIFY(!settings.degrees);
    QVERIFY(!settings.flop);
    QVERIFY(!settings.flip);
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
}

void TestCompressPage::compressesPngAndJpeg()
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("Ramp.PNG"));
    const QString jpeg = dir.filePath(QStringLiteral("ramp.jpeg"));
    QVERIFY(noisyRamp(QSize(200, 150)).save(png, "PNG"));
    QVERIFY(noisyRamp(QSize(400, 300)).save(jpeg, "JPEG", 100));
    UrlCatcher catcher;
    ToolboxPage page(Toolbox::CompressTab);
    PageCentre *centre = page.centerWidget();
    page.addOneFile(png);
    page.addOneFile(jpeg);
    QCOMPARE(centre->rowCount(), 2);
    QVERIFY(centre->cellText(0, centre->columns().resultSizeColumn).isEmpty());

    page.panel<CompressPanel>()->startButton()->click();
    QVERIFY(page.isJobRunning());
    QVERIFY(BatchTestKit::waitForJobEnd(&page));

    const QList<QByteArray> formats{"png", "jpeg"};
    const QStringList sources{png, jpeg};
    for (int row = 0; row < 2; ++row) {
        QVERIFY(centre->row(row).showsBar());
        QCOMPARE(centre->row(row).progress, 100);
        const QString output = centre->outputPath(row);
        QCOMPARE(Fixtures::imageFormat(output), formats.at(row));
        QCOMPARE(Fixtures::imageSize(output), Fixtures::imageSize(sources.at(row)));
        QVERIFY2(QFileInfo(output).size() < QFileInfo(sources.at(row)).size(), qPrintable(output));
        QCOMPARE(centre->rowReason(row), QString());
        QCOMPARE(centre->cellText(row, 2), kilobytes(sources.at(row)));
        QCOMPARE(centre->cellText(row, centre->columns().resultSizeColumn), kilobytes(output));
        QCOMPARE(centre->table()->model()->index(row, centre->columns().resultSizeColumn).data(Qt::TextAlignmentRole),
                 QVariant(int(Qt::AlignCenter)));
    }
    // An upper-case suffix is written in lower case.
    QCOMPARE(QFileInfo(centre->outputPath(0)).fileName(), QStringLiteral("Ramp.png"));
    QCOMPARE(QFileInfo(centre->outputPath(1)).fileName(), QStringLiteral("ramp.jpeg"));

    BatchTestKit::clickOpenFolder(centre, 1);
    QCOMPARE(catcher.urls(), QList<QUrl>{QUrl::fromLocalFile(QFileInfo(centre->outputPath(1)).absolutePath())});
}

void TestCompressPage::unreachableQualityKeepsTheSource()
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("noisy.png"));
    QVERIFY(noisyRamp(QSize(200, 150)).save(png, "PNG"));
    QFile in(png);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray sourceBytes = in.readAll();
    ToolboxPage page(Toolbox::CompressTab);
    PageCentre *centre = page.centerWidget();
    page.addOneFile(png);
    page.panel<CompressPanel>()->levelRows()->levelBox()->setCurrentIndex(0); // "90"

    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    // pngquant finds no palette good enough and writes nothing; the row keeps the
    // source's bytes rather than failing or pointing at a missing file.
    QVERIFY(centre->row(0).showsBar());
    QCOMPARE(centre->row(0).progress, 100);
    QFile out(centre->outputPath(0));
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), sourceBytes);
    QCOMPARE(centre->cellText(0, centre->columns().resultSizeColumn),
             centre->cellText(0, 2));
    QCOMPARE(centre->rowReason(0), QStringLiteral("原图已比压缩结果更小，已保留原图"));
}

void TestCompressPage::everyFileMissingStartsNothing()
{
    QTemporaryDir dir;
    ToolboxPage page(Toolbox::CompressTab);
    PageCentre *centre = page.centerWidget();
    for (const char *name : {"a.png", "b.jpg"}) {
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(10, 10)));
        page.addOneFile(dir.filePath(QLatin1String(name)));
        QVERIFY(QFile::remove(dir.filePath(QLatin1String(name))));
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        page.start();
        QVERIFY(!page.isJobRunning());
        QVERIFY(!page.findChild<BatchJob *>());
        QVERIFY(BatchTestKit::shownDialogTexts().isEmpty());
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(centre->row(row).stateText(), QStringLiteral("原文件不存在！"));
            QVERIFY(!centre->row(row).showsBar());
            QVERIFY(!centre->row(row).showsBar());
        }
    }
}

void TestCompressPage::failedRowShowsNoResultSizeUntilFixed()
{
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.jpg"));
    QVERIFY(Fixtures::writeBytes(broken, QByteArray(4096, '\x5a')));
    ToolboxPage page(Toolbox::CompressTab);
    PageCentre *centre = page.centerWidget();
    page.addOneFile(broken);

    page.start();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QCOMPARE(centre->row(0).stateText(), QStringLiteral("转换失败！"));
    QVERIFY(!centre->row(0).showsBar());
    QVERIFY(!centre->row(0).showsBar());
    QCOMPARE(centre->cellText(0, 2), QStringLiteral("4.0 KB"));
    QVERIFY(centre->cellText(0, centre->columns().resultSizeColumn).isEmpty()); // no output, no size
    QVERIFY(!QFileInfo::exists(centre->outputPath(0)));

    // The file is fixed and the batch started again: the row starts clean and
    // ends as a success.
    QVERIFY(QFile::remove(broken));
    QVERIFY(noisyRamp(QSize(200, 150)).save(broken, "JPEG", 100));
    page.start();
    QVERIFY(centre->row(0).showsBar());
    QVERIFY(centre->row(0).showsBar());
    QVERIFY(centre->cellText(0, centre->columns().resultSizeColumn).isEmpty());
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    QVERIFY(centre->row(0).showsBar());
    QCOMPARE(centre->row(0).progress, 100);
    QCOMPARE(centre->cellText(0, centre->columns().resultSizeColumn),
             kilobytes(centre->outputPath(0)));
    QCOMPARE(Fixtures::imageSize(centre->outputPath(0)), QSize(200, 150));
    QCOMPARE(page.jobTally().endNotice(), QStringLiteral("完成：1 个成功，0 个失败"));
}

QTEST_MAIN(TestCompressPage)
#include "tst_compresspage.moc"
