// The installed tree, as `cmake --install` lays it into a scratch prefix: the
// desktop entry and the AppStream metadata pass their validators, the entry's MIME
// types are those of the viewer's suffix lists that it opens, the icons have their
// sizes, the manual pages cover the options, and the tree still runs after being moved (nothing refers to the build).
#include "formats/Formats.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kAppId = QStringLiteral("org.quorvane.Quorvane");

struct Run
{
    int exitCode = -1;
    QString output; // standard output and error together
};

Run run(const QString &program, const QStringList &arguments, const QProcessEnvironment &env = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

// The [Desktop Entry] group as key -> raw value.
QHash<QString, QString> readDesktopEntry(const QString &path)
{
    QHash<QString, QString> entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    bool inGroup = false;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            inGroup = line == QLatin1String("[Desktop Entry]");
        else if (inGroup && line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('#')))
            entry.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return entry;
}

QStringList viewerSuffixes()
{
    QStringList suffixes = Formats::browseSuffixes() + Formats::openSuffixes();
    suffixes.removeDuplicates();
    return suffixes;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void validators_data();
    void validators();
    void desktopEntry_data();
    void desktopEntry();
    void mimeTypesAreWhatTheViewerOpens();
    void icons_data();
    void icons();
    void screenshotsAreTheDocsPictures();
    void manualPagesCoverTheOptions_data();
    void manualPagesCoverTheOptions();
    void nothingRefersToTheBuild();
    void movedTreeRuns();

private:
    QTemporaryDir workDir;
    QString prefix;
    QString share(const QString &path) const { return prefix + QStringLiteral("/share/") + path; }
};

void TestInstall::initTestCase()
{
    Formats::init();
    QVERIFY(workDir.isValid());
    prefix = workDir.filePath(QStringLiteral("prefix"));
    const Run install
        = run(QStringLiteral(CMAKE_COMMAND),
              {QStringLiteral("--install"), QStringLiteral(QUORVANE_BUILD_DIR), QStringLiteral("--prefix"), prefix});
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
}

void TestInstall::validators_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList() << "applications/" + kAppId + ".desktop";
    QTest::newRow("AppStream metadata") << "appstreamcli" << QStringList{"validate", "--no-net"}
                                        << "metainfo/" + kAppId + ".metainfo.xml";
}

void TestInstall::validators()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QVERIFY(QFile::exists(share(file)));
    const Run check = run(program, arguments << share(file));
    QVERIFY2(check.exitCode == 0, qPrintable(program + ": " + check.output));
    // desktop-file-validate passes with warnings; only its hints are acceptable.
    QVERIFY2(!check.output.contains(QLatin1String("error:")) && !check.output.contains(QLatin1String("warning:")),
             qPrintable(check.output));
}

void TestInstall::desktopEntry_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("Name") << "Name"
                          << "Quorvane";
    QTest::newRow("Name[zh_CN]") << "Name[zh_CN]" << QStringLiteral("Pelmora图片查看器");
    QTest::newRow("Exec takes one file") << "Exec"
                                         << "quorvane %f";
    QTest::newRow("Icon: the theme name") << "Icon" << kAppId;
    QTest::newRow("Categories") << "Categories"
                                << "Graphics;Viewer;";
    // Docks match the window to its launcher by the window's class.
    QTest::newRow("StartupWMClass: the window class") << "StartupWMClass"
                                                      << "quorvane";
}

void TestInstall::desktopEntry()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    const auto entry = readDesktopEntry(share("applications/" + kAppId + ".desktop"));
    QCOMPARE(entry.value(key), value);
}

void TestInstall::mimeTypesAreWhatTheViewerOpens()
{
    const auto entry = readDesktopEntry(share("applications/" + kAppId + ".desktop"));
    const QStringList listed = entry.value(QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QVERIFY(entry.value(QStringLiteral("MimeType")).endsWith(QLatin1Char(';')));
    QCOMPARE(QSet<QString>(listed.begin(), listed.end()).size(), listed.size());
    const QStringList suffixes = viewerSuffixes();
    const QMimeDatabase db;

    // Every listed type is an image type that one of the suffixes names.
    for (const QString &name : listed) {
        const QMimeType type = db.mimeTypeForName(name);
        QVERIFY2(type.isValid() && type.name() == name, qPrintable(name));
        QVERIFY2(name.startsWith(QLatin1String("image/")), qPrintable(name));
        bool named = false;
        for (const QString &glob : type.globPatterns())
            named = named || suffixes.contains(glob.toLower().remove(QStringLiteral("*.")));
        QVERIFY2(named, qPrintable(name + " matches no suffix of the viewer's lists"));
    }
    // The types the viewer opens are claimed, the ones it refuses are not.
    for (const char *name : {"image/jpeg", "image/png", "image/webp", "image/tiff", "image/svg+xml", "image/x-tga",
                             "image/vnd.adobe.photoshop", "image/x-adobe-dng", "image/x-canon-cr2"})
        QVERIFY2(listed.contains(QLatin1String(name)), name);
    // EPS is refused on purpose; Debian 12's Qt has no JPEG 2000 reader.
    for (const char *name : {"image/x-eps", "image/jp2", "image/jpx", "image/x-jp2-codestream"})
        QVERIFY2(!listed.contains(QLatin1String(name)), name);
}

void TestInstall::icons_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void TestInstall::icons()
{
    QFETCH(int, size);
    const QImage icon(share(QStringLiteral("icons/hicolor/%1x%1/apps/").arg(size) + kAppId + ".png"));
    QCOMPARE(icon.size(), QSize(size, size));
    QVERIFY(icon.hasAlphaChannel());
    QVERIFY(QFile::exists(share("icons/hicolor/scalable/apps/" + kAppId + ".svg")));
}

void TestInstall::screenshotsAreTheDocsPictures()
{
    QFile file(share("metainfo/" + kAppId + ".metainfo.xml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QStringList names;
    QRegularExpressionMatchIterator images
        = QRegularExpression(QStringLiteral("<image>[^<]*/([^/<]+)</image>")).globalMatch(text);
    while (images.hasNext())
        names << images.next().captured(1);
    QStringList docs = QDir(QStringLiteral(QUORVANE_SOURCE_DIR "/docs")).entryList({QStringLiteral("*.png")});
    names.sort();
    docs.sort();
    QCOMPARE(names, docs);
}

// The rooms are linked into the programs: no private library, so no RUNPATH (an
// absolute one would load the build tree's libraries). Other text (debug info,
// assertion file names of a Debug build) never steers a run.
void TestInstall::nothingRefersToTheBuild()
{
    const QByteArray source = QByteArrayLiteral(QUORVANE_SOURCE_DIR);
    int programs = 0;
    QDirIterator it(prefix, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        if (!bytes.startsWith("\x7f"
                              "ELF")) {
            QVERIFY2(!bytes.contains(source), qPrintable(file.fileName()));
            continue;
        }
        ++programs;
        const Run dynamic = run(QStringLiteral("readelf"), {QStringLiteral("-d"), file.fileName()});
        QCOMPARE(dynamic.exitCode, 0);
        QVERIFY2(!dynamic.output.contains(QLatin1String("(RUNPATH)")) && !dynamic.output.contains(QLatin1String("(RPATH)")),
                 qPrintable(file.fileName() + ": " + dynamic.output));
        QVERIFY2(!dynamic.output.contains(QLatin1String("libquorvane")), qPrintable(file.fileName()));
    }
    QCOMPARE(programs, 4); // the two programs and the two decoders, nothing else
}

void TestInstall::movedTreeRuns()
{
    const QString moved = workDir.filePath(QStringLiteral("moved"));
    QVERIFY(QDir().rename(prefix, moved));
    prefix = moved;
    // No display needed for these, and no library path.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LD_LIBRARY_PATH", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    for (const char *program : {"quorvane", "quorvane-batch"}) {
        const Run version = run(moved + "/bin/" + program, {QStringLiteral("--version")}, env);
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.output, QLatin1String(program) + QStringLiteral(" " QUORVANE_VERSION "\n"));
    }
    QVERIFY(QFileInfo(moved + "/lib/quorvane/ConvertToJpg").isExecutable());
    QVERIFY(QFileInfo(moved + "/lib/quorvane/RawDecoder").isExecutable());
}

void TestInstall::manualPagesCoverTheOptions_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("quorvane") << "quorvane";
    QTest::newRow("quorvane-batch") << "quorvane-batch";
}

// Every option --help names is in the program's manual page, so the two cannot
// drift apart silently.
void TestInstall::manualPagesCoverTheOptions()
{
    QFETCH(QString, program);
    QFile page(prefix + "/share/man/man1/" + program + ".1");
    QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(page.fileName()));
    const QString text = QString::fromUtf8(page.readAll()).replace(QLatin1String("\\-"), QLatin1String("-"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    const Run help = run(prefix + "/bin/" + program, {QStringLiteral("--help")}, env);
    QCOMPARE(help.exitCode, 0);
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])(--?(?:[A-Za-z][\\w-]*|0))(?!\\w)"));
    int options = 0;
    QRegularExpressionMatchIterator it = option.globalMatch(help.output);
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        ++options;
        const QRegularExpression named(QStringLiteral("(?<![\\w-])%1(?![\\w-])").arg(QRegularExpression::escape(name)));
        QVERIFY2(text.contains(named), qPrintable(program + ".1 lacks " + name));
    }
    QVERIFY(options >= 4); // at least -h, --help, -V, --version
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
