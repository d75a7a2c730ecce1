#include "app/AppSetup.h"
#include "batch/engine/BatchJob.h"
#include "batch/pages/rotate/RotatePanel.h"
#include "batch/shell/PageCentre.h"
#include "OutputFolderRow.h"
#include "StartButton.h"
#include "widgets/DropTarget.h"
#include "widgets/DropArea.h"
#include "widgets/StyledComboBox.h"
#include "widgets/NumberField.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "support/BatchTestKit.h"
#include "support/Fixtures.h"

namespace {

// 4 x 2 pixels, every one a different colour, so any wrong turn or mirror shows.
QImage asymmetric()
{
    QImage image(4, 2, QImage::Format_RGB32);
    const QRgb colours[2][4] = {{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)},
                                {qRgb(0, 255, 255), qRgb(255, 0, 255), qRgb(255, 255, 255), qRgb(0, 0, 0)}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            image.setPixel(x, y, colours[y][x]);
    }
    return image;
}

// The angle the job gets; "" when the start refuses the field.
QString readAngle(const RotatePanel *param)
{
    if (!param->read().problem.isEmpty())
        return QString();
    return param->read().settings.degrees ? QString::number(*param->read().settings.degrees) : QString();
}

} // namespace

class TestRotatePage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void panelAtStart();
    void angleField_data();
    void angleField();
    void startPassesTheSettings_data();
    void startPassesTheSettings();
    void rotatesAndMirrors();
    void refusedAngleStartsNothing_data();
    void refusedAngleStartsNothing();

private:
    QTemporaryDir home;
};

void TestRotatePage::initTestCase()
{
    QVERIFY(home.isValid());
    BatchTestKit::useHome(home.path());
    AppSetup::run();
}

void TestRotatePage::cleanup()
{
    BatchTestKit::closeDialogs();
}

void TestRotatePage::panelAtStart()
{
    ToolboxPage page(Toolbox::RotateTab);
    PageCentre *centre = page.centerWidget();
    const RotatePanel *param = page.panel<RotatePanel>();
    QCOMPARE(centre->acceptedSuffixes(), (QStringList{"bmp", "jpeg", "jpg", "png"}));
    QCOMPARE(centre->dropArea()->centerWidget()->findChild<QLabel *>(QStringLiteral("noteLabel"))->text(),
             QStringLiteral("支持 jpg，jpeg，png，bmp 格式的图片"));
    QCOMPARE(page.styleSheet(), QStringLiteral("BatchPage{background-color:white;}"));
    QCOMPARE(param->startButton()->text(), QStringLiteral("开始旋转"));

    QStringList degrees;
    for (int i = 0; i < param->angleRows()->degreeBox()->count(); ++i)
        degrees.append(param->angleRows()->degreeBox()->itemText(i));
    QCOMPARE(degrees, (QStringList{"0度（不旋转）", "90度", "180度", "270度", "自定义"}));
    QCOMPARE(param->angleRows()->degreeBox()->currentIndex(), 0);
    QCOMPARE(param->angleRows()->angleEdit()->text(), QStringLiteral("0"));
    QVERIFY(!param->angleRows()->angleEdit()->isHidden());
    QCOMPARE(param->angleRows()->angleEdit()->placeholderText(), QStringLiteral("正数顺时针，负数逆时针"));
    QCOMPARE(param->angleRows()->angleEdit()->toolTip(), QStringLiteral("正数顺时针，负数逆时针"));
    for (const StyledComboBox *box : {param->mirrorRows()->flopBox(), param->mirrorRows()->flipBox()}) {
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->itemText(0), QStringLiteral("否"));
        QCOMPARE(box->itemText(1), QStringLiteral("是"));
        QCOMPARE(box->currentIndex(), 0);
    }
    for (int column = 0; column < 4; ++column)
        QCOMPARE(param->grid()->columnStretch(column), 1);
}

void TestRotatePage::angleField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("degree"); // what a job gets; empty: the start refuses
    QTest::addColumn<int>("preset"); // the drop-down's index after typing

    QTest::newRow("negative") << "-90" << "-90" << 4;
    QTest::newRow("a preset's angle") << "180" << "180" << 2;
    QTest::newRow("top") << "360" << "360" << 4;
    QTest::newRow("bottom") << "-360" << "-360" << 4;
    QTest::newRow("above top") << "361" << "" << 4;
    QTest::newRow("below bottom") << "-361" << "" << 4;
    QTest::newRow("lone minus") << "-" << "" << 4;
    QTest::newRow("decimal") << "12.5" << "" << 4;
    QTest::newRow("leading zero") << "-045" << "-45" << 4;
    QTest::newRow("letters") << "abc" << "" << 4;
    QTest::newRow("empty") << "" << "" << 4;
}

void TestRotatePage::angleField()
{
    QFETCH(QString, typed);
    QFETCH(QString, degree);
    QFETCH(int, preset);

    ToolboxPage page(Toolbox::RotateTab);
    RotatePanel *param = page.panel<RotatePanel>();
    param->angleRows()->degreeBox()->setCurrentIndex(1);
    QCOMPARE(param->angleRows()->angleEdit()->text(), QStringLiteral("90"));
    QTest::keyClick(param->angleRows()->angleEdit(), Qt::Key_Backspace);
    QTest::keyClick(param->angleRows()->angleEdit(), Qt::Key_Backspace);
    QTest::keyClicks(param->angleRows()->angleEdit(), typed);
    // One angle shown: the text as typed, the drop-down following it.
    QCOMPARE(param->angleRows()->angleEdit()->text(), typed);
    QCOMPARE(param->angleRows()->degreeBox()->currentIndex(), preset);
    QCOMPARE(readAngle(param), degree);
    QCOMPARE(param->read().problem.isEmpty(), !degree.isEmpty());
    // Choosing "自定义" leaves the typed angle alone.
    param->angleRows()->degreeBox()->setCurrentIndex(4);
    QCOMPARE(param->angleRows()->angleEdit()->text(), typed);
}

void TestRotatePage::startPassesTheSettings_data()
{
    QTest::addColumn<int>("preset"); // -1: as opened
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("flop");
    QTest::addColumn<int>("flip");
    QTest::addColumn<QString>("degree");

    QTest::newRow("as opened") << -1 << "" << 0 << 0 << "0";
    QTest::newRow("90度") << 1 << "" << 0 << 0 << "90";
    QTest::newRow("180度, flop") << 2 << "" << 1 << 0 << "180";
    QTest::newRow("270度, flip") << 3 << "" << 0 << 1 << "270";
    QTest::newRow("自定义 keeps the angle, both mirrors") << 4 << "" << 1 << 1 << "0";
    QTest::newRow("自定义 typed") << 4 << "-45" << 0 << 0 << "-45";
    QTest::newRow("typed over 90度") << 1 << "45" << 0 << 0 << "45";
}

void TestRotatePage::startPassesTheSettings()
{
    QFETCH(int, preset);
    QFETCH(QString, typed);
    QFETCH(int, flop);
    QFETCH(int, flip);
    QFETCH(QString, degree);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("s.png"));
    QVERIFY(Fixtures::writeImage(source, QSize(8, 6)));
    ToolboxPage page(Toolbox::RotateTab);
    RotatePanel *param = page.panel<RotatePanel>();
    page.addOneFile(source);
    if (preset >= 0)
        param->angleRows()->degreeBox()->setCurrentIndex(preset);
    if (!typed.isEmpty()) {
        param->angleRows()->angleEdit()->clear();
        QTest::keyClicks(param->angleRows()->angleEdit(), typed);
    }
    param->mirrorRows()->flopBox()->setCurrentIndex(flop);
    param->mirrorRows()->flipBox()->setCurrentIndex(flip);
    QCOMPARE(readAngle(param), degree);
    QCOMPARE(param->angleRows()->degreeBox()->currentIndex(), typed.isEmpty() ? qMax(preset, 0) : 4);

    page.start();
    QVERIFY(page.isJobRunning());
    const JobSettings settings = page.job()->settings();
    QCOMPARE(settings.operation, Operation::Rotate);
    QVERIFY(!settings.format);
    QVERIFY(!settings.quality);
    QVERIFY(!settings.width);
    QVERIFY(!settings.height);
    QCOMPARE(settings.degrees ? QString::number(*settings.degrees) : QString(), degree);
    QCOMPARE(settings.flop, flop == 1);
    QCOMPARE(settings.flip, flip == 1);
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
}

void TestRotatePage::rotatesAndMirrors()
{
    QTemporaryDir dir;
    const QImage source = asymmetric();
    const QString png = dir.filePath(QStringLiteral("corners.PNG"));
    const QString bmp = dir.filePath(QStringLiteral("trip.2024.05.bmp"));
    QVERIFY(source.save(png, "PNG"));
    QVERIFY(Fixtures::writeImage(bmp, QSize(30, 20)));
    UrlCatcher catcher;
    ToolboxPage page(Toolbox::RotateTab);
    PageCentre *centre = page.centerWidget();
    RotatePanel *param = page.panel<RotatePanel>();
    page.addOneFile(png);
    page.addOneFile(bmp);
    param->angleRows()->degreeBox()->setCurrentIndex(1); // 90度
    param->mirrorRows()->flopBox()->setCurrentIndex(1);

    param->startButton()->click();
    QVERIFY(BatchTestKit::waitForJobEnd(&page));
    for (int row = 0; row < 2; ++row) {
        QVERIFY(centre->row(row).showsBar());
        QCOMPARE(centre->row(row).progress, 100);
    }

    // Turned a quarter clockwise, then mirrored left-right.
    const QString pngOut = centre->outputPath(0);
    QCOMPARE(QFileInfo(pngOut).fileName(), QStringLiteral("corners.png"));
    QCOMPARE(Fixtures::imageFormat(pngOut), QByteArray("png"));
    const QImage turned(pngOut);
    QCOMPARE(turned.size(), QSize(2, 4));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 2; ++x) {
            // Clockwise: rotated(x, y) = source(y, 1 - x); the flop reads rotated(1 - x, y).
            const QRgb expected = source.pixel(y, x);
            QCOMPARE(QColor(turned.pixel(x, y)), QColor(expected));
        }
    }

    // Dotted names are cut at the last dot, as on every page; the format stays BMP.
    const QString bmpOut = centre->outputPath(1);
    QCOMPARE(QFileInfo(bmpOut).fileName(), QStringLiteral("trip.2024.05.bmp"));
    QCOMPARE(Fixtures::imageFormat(bmpOut), QByteArray("bmp"));
    QCOMPARE(Fixtures::imageSize(bmpOut), QSize(20, 30));

    BatchTestKit::clickOpenFolder(centre, 0);
    QCOMPARE(catcher.urls(), QList<QUrl>{QUrl::fromLocalFile(QFileInfo(pngOut).absolutePath())});
}

void TestRotatePage::refusedAngleStartsNothing_data()
{
    QTest::addColumn<QString>("angle");
    QTest::newRow("lone minus") << "-";
    QTest::newRow("letters, set from outside the keyboard") << "abc";
    QTest::newRow("past a full turn") << "361";
}

void TestRotatePage::refusedAngleStartsNothing()
{
    QFETCH(QString, angle);
    QTemporaryDir dir;
    ToolboxPage page(Toolbox::RotateTab);
    PageCentre *centre = page.centerWidget();
    for (const char *name : {"r1.jpg", "r2.png"}) {
        QVERIFY(Fixtures::writeImage(dir.filePath(QLatin1String(name)), QSize(16, 8)));
        page.addOneFile(dir.filePath(QLatin1String(name)));
    }
    page.panel<RotatePanel>()->angleRows()->angleEdit()->setText(angle);
    QCOMPARE(page.panel<RotatePanel>()->angleRows()->angleEdit()->toolTip(), QStringLiteral("-360–360 的整数"));
    const QString out = dir.filePath(QStringLiteral("out"));
    page.panel<RotatePanel>()->exportFile()->setText(out);

    // The field keeps the text and the start says the rule; nothing runs.
    page.start();
    QCOMPARE(BatchTestKit::shownDialogTexts(), QStringList{QStringLiteral("-360–360 的整数")});
    QCOMPARE(page.panel<RotatePanel>()->angleRows()->angleEdit()->text(), angle);
    QVERIFY(!page.isJobRunning());
    QVERIFY(!page.findChild<BatchJob *>());
    for (int row = 0; row < 2; ++row) {
        QVERIFY(centre->row(row).showsBar());
        QVERIFY(centre->row(row).progress <= 0);
    }
    QVERIFY(!QFileInfo::exists(out));
}

QTEST_MAIN(TestRotatePage)
#include "tst_rotatepage.moc"
