#include "app/AppSetup.h"
#include "batch/engine/BatchCatalogue.h"
#include "batch/engine/BatchFiles.h"
#include "batch/engine/Operations.h"
#include "batch/pages/compress/CompressPanel.h"
#include "batch/pages/convert/ConvertPanel.h"
#include "batch/pages/resize/ResizePanel.h"
#include "batch/shell/PageCentre.h"
#include "ToolboxTabs.h"
#include "cli/BatchCommandLine.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "support/BatchTestKit.h"
#include "support/Fixtures.h"

namespace {

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

BatchRequest parsed(const QStringList &arguments)
{
    const BatchCommandLine::Result result = BatchCommandLine::parse(arguments);
    return result.action == BatchCommandLine::Run ? result.request : BatchRequest();
}

} // namespace

// The engine's one catalogue of formats, presets and levels, and its one path
// expansion, as the toolbox pages and quorvane-batch both see them.
class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formatsOnPagesAndCommandLine();
    void outputQuality_data();
    void outputQuality();
    void presetsOnPagesAndCommandLine();
    void levelsOnPagesAndCommandLine();
    void acceptedSuffixesOnEveryPage();
    void folderFilesAndJobFiles();

private:
    QTemporaryDir home;
};

void TestCatalogue::initTestCase()
{
    QVERIFY(home.isValid());
    BatchTestKit::useHome(home.path());
    AppSetup::run();
}

void TestCatalogue::formatsOnPagesAndCommandLine()
{
    const QStringList formats = BatchCatalogue::outputFormats();
    QCOMPARE(formats, (QStringList{"jpg", "jpeg", "png", "bmp", "tif", "tiff", "webp", "tga", "gif", "avif", "heic"}));
    ToolboxPage convert(Toolbox::ConvertTab);
    ToolboxPage resize(Toolbox::ResizeTab);
    for (ConvertPanel *panel : {convert.panel<ConvertPanel>(), resize.panel<ConvertPanel>()}) {
        QCOMPARE(panel->formatRows()->formatBox()->count(), formats.size());
        for (int index = 0; index < formats.size(); ++index) {
            QCOMPARE(panel->formatRows()->formatBox()->itemText(index), formats.at(index).toUpper());
            panel->formatRows()->formatBox()->setCurrentIndex(index);
            QCOMPARE(panel->formatRows()->format(), formats.at(index));
            QCOMPARE(panel->read().settings.format, std::optional<QString>(formats.at(index)));
        }
    }
    for (int index = 0; index < formats.size(); ++index)
        QCOMPARE(parsed({"convert", "-f", formats.at(index), "a.jpg"}).job.format, std::optional<QString>(formats.at(index)));
}

void TestCatalogue::presetsOnPagesAndCommandLine()
{
    ToolboxPage page(Toolbox::ResizeTab);
    ConvertPanel *panel = page.panel<ConvertPanel>();
    const QList<BatchCatalogue::SizePreset> &presets = BatchCatalogue::sizePresets();
    QCOMPARE(panel->sizeRows()->sizeBox()->count(), presets.size());
    QStringList names;
    for (int index = 0; index < presets.size(); ++index) {
        const BatchCatalogue::SizePreset &preset = presets.at(index);
        QCOMPARE(panel->sizeRows()->sizeBox()->itemText(index), preset.label);
        QCOMPARE(panel->sizeRows()->sizeBox()->itemData(index).toInt(), int(preset.code));
        panel->sizeRows()->sizeBox()->setCurrentIndex(index);
        if (preset.name.isEmpty()) {
            // Original and custom size leave both fields empty: nothing is asked.
            QCOMPARE(panel->read().settings.width.value_or(-1), -1);
            QCOMPARE(panel->read().settings.height.value_or(-1), -1);
            continue;
        }
        names << preset.name;
        QCOMPARE(panel->read().settings.width.value_or(-1), preset.width);
        QCOMPARE(panel->read().settings.height.value_or(-1), preset.height);
        const JobSettings job = parsed({"resize", "--preset", preset.name, "a.jpg"}).job;
        QCOMPARE(job.width.value_or(-1), preset.width);
        QCOMPARE(job.height.value_or(-1), preset.height);
    }
    QCOMPARE(BatchCatalogue::presetNames(), names);
    QCOMPARE(names.size(), 6);
    QVERIFY(!BatchCatalogue::presetByName(QString()));
    QVERIFY(BatchCommandLine::usage().contains("id-2inch (413x626)"));
}

void TestCatalogue::levelsOnPagesAndCommandLine()
{
    ToolboxPage page(Toolbox::CompressTab);
    CompressPanel *panel = page.panel<CompressPanel>();
    const QList<BatchCatalogue::CompressionLevel> &levels = BatchCatalogue::compressionLevels();
    QStringList labels;
    for (const BatchCatalogue::CompressionLevel &level : levels)
        labels << level.label;
    QCOMPARE(itemTexts(panel->levelRows()->levelBox()), labels);
    QCOMPARE(panel->levelRows()->levelBox()->currentIndex(), BatchCatalogue::kDefaultLevelIndex);
    QCOMPARE(panel->levelRows()->quality(), BatchCatalogue::defaultQuality());
    QCOMPARE(parsed({"compress", "a.jpg"}).job.quality, std::optional<int>(BatchCatalogue::defaultQuality()));
    for (int index = 0; index < levels.size(); ++index) {
        panel->levelRows()->levelBox()->setCurrentIndex(index);
        QCOMPARE(panel->levelRows()->quality(), levels.at(index).quality);
        QCOMPARE(panel->read().settings.quality, std::optional<int>(levels.at(index).quality));
        QVERIFY(levels.at(index).label.startsWith(QString::number(levels.at(index).quality)));
        QCOMPARE(parsed({"compress", "-l", QString::number(levels.at(index).quality), "a.jpg"}).job.quality,
                 std::optional<int>(levels.at(index).quality));
    }
    for (const char *refused : {"75", "100", "0", "-10"})
        QCOMPARE(BatchCommandLine::parse({"compress", "-l", refused, "a.jpg"}).action, BatchCommandLine::UsageError);
}

void TestCatalogue::acceptedSuffixesOnEveryPage()
{
    // Each tab's page takes what its operation's row takes, and quorvane-batch names
    // the same operations.
    QStringList commands;
    for (int tab = 0; tab < toolboxTabs().size(); ++tab) {
        ToolboxPage page{Toolbox::Tab(tab)};
        const Operations::Row &row = Operations::row(page.spec().operation);
        QCOMPARE(page.centerWidget()->acceptedSuffixes(), row.acceptedSuffixes());
        QCOMPARE(parsed({row.cliName, "a.jpg"}).job.operation, row.operation);
        commands << row.cliName;
    }
    QCOMPARE(commands, (QStringList{"convert", "resize", "compress", "rotate"}));
}

void TestCatalogue::folderFilesAndJobFiles()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QDir dir(temp.path());
    QVERIFY(dir.mkpath("photos/sub.jpg"));
    for (const char *name : {"photos/b.JPG", "photos/a.png", "photos/C.txt", "photos/.hidden.jpg"})
        QVERIFY(Fixtures::writeBytes(dir.filePath(QLatin1String(name)), "x"));
    const QString photos = dir.filePath("photos");
    QCOMPARE(BatchFiles::folderFiles(photos), (QStringList{photos + "/a.png", photos + "/b.JPG", photos + "/C.txt"}));

    // The page adds a folder's files the way quorvane-batch expands it.
    ToolboxPage page(Toolbox::ConvertTab);
    page.addFolder(photos);
    QCOMPARE(page.centerWidget()->rowCount(), 2);
    QCOMPARE(page.centerWidget()->sourcePath(0), photos + "/a.png");
    QCOMPARE(page.centerWidget()->sourcePath(1), photos + "/b.JPG");

    QList<int> missing;
    const JobFiles files = BatchFiles::jobFiles({photos + "/a.png", photos + "/gone.png", photos + "/b.JPG"}, &missing);
    QCOMPARE(files.size(), 2);
    QCOMPARE(files.at(0).row, 0);
    QCOMPARE(files.at(1).row, 2);
    QCOMPARE(files.at(1).path, photos + "/b.JPG");
    QCOMPARE(missing, QList<int>{1});
}

void TestCatalogue::outputQuality_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("asked"); // -1: none
    QTest::addColumn<int>("used"); // -1: none

    QTest::newRow("lossy, none asked") << "jpg" << -1 << 80;
    QTest::newRow("lossy, asked") << "webp" << 35 << 35;
    QTest::newRow("lossless ignores it") << "png" << 35 << -1;
    QTest::newRow("no format") << "" << -1 << -1;
}

// The page and the command line take a conversion's quality from one rule.
void TestCatalogue::outputQuality()
{
    QFETCH(QString, format);
    QFETCH(int, asked);
    QFETCH(int, used);
    const std::optional<int> given = asked < 0 ? std::nullopt : std::optional<int>(asked);
    QCOMPARE(BatchCatalogue::outputQuality(format, given).value_or(-1), used);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestCatalogue test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_catalogue.moc"
