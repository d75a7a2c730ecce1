#include "app/AppCommandLine.h"
#include "app/AppSetup.h"
#include "formats/Formats.h"
#include "widgets/UiProfile.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include "support/Fixtures.h"

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void profile_data();
    void profile();
    void suffixLists_data();
    void suffixLists();
    void rawSuffix_data();
    void rawSuffix();
    void startupState();
    void resourcesUsedInCodeLoad();
    void commandLine_data();
    void commandLine();
    void unknownOptionIsAUsageError();
    void versionLine();
    void qtDialogsInChinese();
    void viewerSilentUnlessAsked_data();
    void viewerSilentUnlessAsked();

private:
    QTemporaryDir config;
};

void TestApp::initTestCase()
{
    // The viewer remembers its window and choices: in the test's own folder, never
    // the user's (the viewers started from here inherit it).
    QVERIFY(config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    AppSetup::run();
}

void TestApp::profile_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<bool>("small");
    QTest::addColumn<int>("body");
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("large");

    QTest::newRow("1600x1000 compact") << 1600 << 1000 << 96.0 << true << 15 << 12 << 17;
    QTest::newRow("1601x890 normal") << 1601 << 890 << 96.0 << false << 15 << 14 << 18;
    QTest::newRow("1601x889 compact") << 1601 << 889 << 96.0 << true << 15 << 12 << 17;
    QTest::newRow("compact ignores dpi") << 1366 << 728 << 192.0 << true << 15 << 12 << 17;
    QTest::newRow("normal dpi 143") << 1920 << 1040 << 143.0 << false << 15 << 14 << 18;
    QTest::newRow("normal dpi 144") << 1920 << 1040 << 144.0 << false << 18 << 16 << 20;
}

void TestApp::profile()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(qreal, dpi);
    QFETCH(bool, small);
    QFETCH(int, body);
    QFETCH(int, list);
    QFETCH(int, large);

    const UiProfile::Profile p = UiProfile::choose(width, height, dpi);
    QCOMPARE(p.smallScreen, small);
    QCOMPARE(p.fonts.body, body);
    QCOMPARE(p.fonts.list, list);
    QCOMPARE(p.fonts.large, large);
}

void TestApp::suffixLists_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");

    QTest::newRow("browse") << Formats::browseSuffixes() << 92 << "bmp"
                            << "xpm";
    QTest::newRow("open") << Formats::openSuffixes() << 34 << "bmp"
                          << "dcr";
    QTest::newRow("raw") << Formats::rawSuffixes() << 50 << "raw"
                         << "sti";
    QTest::newRow("compress") << Formats::compressSuffixes() << 3 << "png"
                              << "jpeg";
    QTest::newRow("rotate") << Formats::rotateSuffixes() << 4 << "bmp"
                            << "png";
}

void TestApp::suffixLists()
{
    QFETCH(QStringList, list);
    QFETCH(int, size);
    QFETCH(QString, first);
    QFETCH(QString, last);

    QCOMPARE(list.size(), size);
    QCOMPARE(list.first(), first);
    QCOMPARE(list.last(), last);
    QCOMPARE(list.removeDuplicates(), 0);
    for (const QString &s : qAsConst(list))
        QCOMPARE(s, s.toLower());
}

void TestApp::rawSuffix_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("raw");
    QTest::newRow("NEF") << "NEF" << true;
    QTest::newRow("nef") << "nef" << true;
    QTest::newRow("Dng") << "Dng" << true;
    QTest::newRow("jpg") << "jpg" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("partial") << "ne" << false;
}

void TestApp::rawSuffix()
{
    QFETCH(QString, suffix);
    QFETCH(bool, raw);
    QCOMPARE(Formats::isRawSuffix(suffix), raw);
}

void TestApp::startupState()
{
    QCOMPARE(QTextCodec::codecForLocale()->name(), QByteArray("UTF-8"));
    QCOMPARE(UiProfile::bodyFont().family(), QStringLiteral("Microsoft YaHei"));
    // The offscreen platform reports an 800 x 600 screen.
    QVERIFY(UiProfile::isSmallScreen());
    QCOMPARE(UiProfile::bodyFont().pixelSize(), 15);
    QVERIFY(!QApplication::windowIcon().isNull());
}

// Every resource path written in the sources must load as a real picture.
void TestApp::resourcesUsedInCodeLoad()
{
    const QString srcDir = Fixtures::testsDir() + QStringLiteral("/../src");
    const QRegularExpression pathRe(QStringLiteral(":/icons/icons/[A-Za-z0-9_.-]+\\.(png|gif)"));
    QSet<QString> paths;
    QDirIterator it(srcDir, {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.qrc")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        auto m = pathRe.globalMatch(text);
        while (m.hasNext())
            paths.insert(m.next().captured(0));
        // The bundle's own entries, written relative to the prefix.
        if (it.fileName().endsWith(QLatin1String(".qrc"))) {
            const QRegularExpression fileRe(QStringLiteral("<file>(icons/[^<]+)</file>"));
            auto f = fileRe.globalMatch(text);
            while (f.hasNext())
                paths.insert(QStringLiteral(":/icons/") + f.next().captured(1));
        }
    }
    QVERIFY2(paths.size() >= 60, qPrintable(QString::number(paths.size())));
    for (const QString &path : qAsConst(paths)) {
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(path + QLatin1String(": ") + reader.errorString()));
        QVERIFY2(image.width() >= 16 && image.height() >= 16 && image.width() <= 1024, qPrintable(path));
    }
    QMovie loading(QStringLiteral(":/icons/icons/loading.gif"));
    QVERIFY(loading.isValid());
    QVERIFY2(loading.frameCount() > 4, "the loading animation has too few frames");
}

void TestApp::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("imagePath");
    const int run = int(AppCommandLine::Action::Run);
    const int help = int(AppCommandLine::Action::Help);
    const int version = int(AppCommandLine::Action::Version);
    const int usageError = int(AppCommandLine::Action::UsageError);
    QTest::newRow("nothing") << QStringList() << run << "";
    QTest::newRow("an image") << QStringList{"/p/a.jpg"} << run << "/p/a.jpg";
    QTest::newRow("--help") << QStringList{"--help"} << help << "";
    QTest::newRow("-h") << QStringList{"-h"} << help << "";
    QTest::newRow("--version") << QStringList{"--version"} << version << "";
    QTest::newRow("-V") << QStringList{"-V"} << version << "";
    QTest::newRow("-v") << QStringList{"-v"} << version << "";
    QTest::newRow("help wins over version") << QStringList{"--version", "--help"} << help << "";
    QTest::newRow("after the image") << QStringList{"/p/a.jpg", "--help"} << help << "";
    QTest::newRow("after Qt's options") << QStringList{"-platform", "offscreen", "--version"} << version << "";
    QTest::newRow("-reverse is no bundle holding v") << QStringList{"-reverse"} << run << "";
    QTest::newRow("Qt's options around the image")
        << QStringList{"-style", "fusion", "/p/a.jpg", "--platform=offscreen"} << run << "/p/a.jpg";
    QTest::newRow("unknown option: no file named --frobnicate")
        << QStringList{"--frobnicate", "/p/a.jpg"} << usageError << "";
    QTest::newRow("unknown single-dash option") << QStringList{"-x", "/p/a.jpg"} << usageError << "";
    QTest::newRow("a name starting with a dash after --") << QStringList{"--", "--odd.jpg"} << run << "--odd.jpg";
    QTest::newRow("further paths ignored") << QStringList{"a.jpg", "b.jpg"} << run << "a.jpg";
}

void TestApp::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, imagePath);
    const AppCommandLine::Parsed parsed = AppCommandLine::parse(arguments);
    QCOMPARE(int(parsed.action), action);
    QCOMPARE(parsed.imagePath, imagePath);
    QCOMPARE(parsed.error.isEmpty(), action != int(AppCommandLine::Action::UsageError));
}

void TestApp::unknownOptionIsAUsageError()
{
    // The program itself answers before it needs a display.
    QProcess program;
    program.start(QStringLiteral(QUORVANE_BIN_DIR "/quorvane"), {"--foo", "x.jpg"});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 2);
    // The reason on one line, then where to read more; not the whole help.
    QCOMPARE(program.readAllStandardError(),
             QByteArray("quorvane: Unknown option 'foo'.\nTry 'quorvane --help' for more information.\n"));
    QVERIFY(program.readAllStandardOutput().isEmpty());
}

void TestApp::versionLine()
{
    // The project's version, whole: "quorvane 1.0.0".
    QVERIFY(QRegularExpression("^quorvane \\d+\\.\\d+\\.\\d+\n$").match(AppCommandLine::versionLine()).hasMatch());
}

// Qt's own dialogs speak Simplified Chinese whatever the locale (the tests run in C).
void TestApp::qtDialogsInChinese()
{
    QFileDialog open(nullptr, QStringLiteral("打开图片"));
    open.setOption(QFileDialog::DontUseNativeDialog);
    open.setFileMode(QFileDialog::ExistingFile);
    open.setAcceptMode(QFileDialog::AcceptOpen);
    auto *buttons = open.findChild<QDialogButtonBox *>();
    QVERIFY(buttons);
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    QCOMPARE(open.findChild<QLabel *>(QStringLiteral("lookInLabel"))->text(), QStringLiteral("查找范围："));
    QCOMPARE(open.labelText(QFileDialog::Accept), QStringLiteral("打开(&O)"));

    QPrinter printer;
    QPageSetupDialog setup(&printer);
    QCOMPARE(setup.windowTitle(), QStringLiteral("页面设置"));
}

void TestApp::viewerSilentUnlessAsked_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<bool>("talks");
    QTest::newRow("default") << QString() << false;
    QTest::newRow("viewer category on") << QStringLiteral("quorvane.*.debug=true") << true;
}

// Started from a terminal with a picture, the viewer writes nothing unless its
// categories are turned on (also outside a desktop session, with no runtime folder set).
void TestApp::viewerSilentUnlessAsked()
{
    QFETCH(QString, rules);
    QFETCH(bool, talks);
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("shown.png"));
    QVERIFY(Fixtures::writeImage(picture, QSize(300, 200)));

    QProcess viewer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    if (!rules.isEmpty())
        env.insert(QStringLiteral("QT_LOGGING_RULES"), rules);
    viewer.setProcessEnvironment(env);
    viewer.start(Fixtures::binDir() + QStringLiteral("/quorvane"), {picture});
    QVERIFY(viewer.waitForStarted());
    QByteArray said;
    if (talks) {
        QTRY_VERIFY_WITH_TIMEOUT((said += viewer.readAllStandardError()).contains("oriWidth:"), 30000);
    } else {
        // Long enough for the start-up and the picture's load and fit to have logged.
        viewer.waitForFinished(2500);
    }
    viewer.kill();
    viewer.waitForFinished();
    said += viewer.readAllStandardError() + viewer.readAllStandardOutput();
    if (talks)
        QVERIFY2(said.contains("oriWidth:"), said.constData());
    else
        QVERIFY2(said.isEmpty(), said.constData());
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
