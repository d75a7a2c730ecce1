#include "app/AppSetup.h"
#include "widgets/StyledComboBox.h"
#include "widgets/MessageBox.h"
#include "print/PrintDialog.h"
#include "PrintLayout.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "support/Fixtures.h"
#include "support/PdfProbe.h"

// One print through a real CUPS queue: a private cupsd with a cups-pdf printer,
// set up by setup-cups.sh. Kept apart from the other print tests because libcups
// picks its server once per process, before the first printer query.
class TestPrintCups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void printThroughCupsQueue();
    void cleanupTestCase();

private:
    bool runScript(const QString &action, QString *errors);

    QTemporaryDir serverDir;
    bool started = false;
    QStringList outputsBefore;
    QString outputDir;
    bool outputDirExisted = true;
};

void TestPrintCups::initTestCase()
{
    QVERIFY(serverDir.isValid());
    qputenv("CUPS_SERVER", QFile::encodeName(serverDir.filePath(QStringLiteral("cups.sock"))));
    AppSetup::run();
}

bool TestPrintCups::runScript(const QString &action, QString *errors)
{
    QProcess script;
    script.start(QStringLiteral("bash"),
                 {Fixtures::testsDir() + QStringLiteral("/print/setup-cups.sh"), action, serverDir.path()});
    if (!script.waitForFinished(60000)) {
        script.kill();
        script.waitForFinished(5000);
        *errors = QStringLiteral("setup-cups.sh %1 timed out").arg(action);
        return false;
    }
    *errors = QString::fromUtf8(script.readAllStandardError()).trimmed();
    if (script.exitStatus() == QProcess::NormalExit && script.exitCode() == 2)
        *errors = QStringLiteral("skip: ") + *errors;
    return script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

static QStringList pdfsIn(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files);
}

void TestPrintCups::printThroughCupsQueue()
{
    QString errors;
    if (!runScript(QStringLiteral("start"), &errors)) {
        if (errors.startsWith(QLatin1String("skip: ")))
            QSKIP(qPrintable(QStringLiteral("no private CUPS server here (%1)").arg(errors.mid(6))));
        QFAIL(qPrintable(errors));
    }
    started = true;
    QFile outdirFile(serverDir.filePath(QStringLiteral("outdir")));
    QVERIFY(outdirFile.open(QIODevice::ReadOnly));
    outputDir = QString::fromUtf8(outdirFile.readAll()).trimmed();
    outputDirExisted = QDir(outputDir).exists();
    outputsBefore = pdfsIn(outputDir);

    QVERIFY2(QPrinterInfo::availablePrinterNames().contains(QStringLiteral("PDF")),
             qPrintable(QPrinterInfo::availablePrinterNames().join(QLatin1Char(','))));

    PrintDialog dialog(nullptr);
    QCOMPARE(dialog.printerBox()->currentText(), QStringLiteral("PDF"));
    QImage picture(600, 840, QImage::Format_RGB32);
    picture.fill(QColor(30, 90, 200));
    dialog.setPixmap(QPixmap::fromImage(picture));
    // The job is titled after the picture, and cups-pdf names its file after the job:
    // another test run printing to the same queue meanwhile is told apart.
    const QString title = QStringLiteral("QuorvaneCupsTest%1").arg(QCoreApplication::applicationPid());
    dialog.setPicturePath(QDir::temp().filePath(title + QStringLiteral(".jpg")));
    dialog.photoSizeBox()->setCurrentIndex(1); // 1寸
    dialog.paperBox()->setCurrentIndex(0); // A4

    // A PDF file saved first must not catch the queue's job afterwards.
    const QString saved = serverDir.filePath(QStringLiteral("saved.pdf"));
    dialog.setPdfFileChooser([saved](QWidget *, const QString &) { return saved; });
    dialog.printerBox()->setCurrentIndex(dialog.printerBox()->count() - 1);
    dialog.printImage();
    QCOMPARE(PdfProbe::pageCount(saved), 1);
    const QByteArray savedBytes = [&saved] {
        QFile file(saved);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    qDeleteAll(dialog.findChildren<MessageBox *>());
    dialog.printerBox()->setCurrentIndex(dialog.printerBox()->findText(QStringLiteral("PDF")));
    dialog.printImage();

    QStringList shown;
    const QList<MessageBox *> boxes = dialog.findChildren<MessageBox *>();
    for (const MessageBox *box : boxes)
        shown << box->text();
    QCOMPARE(shown, QStringList{QStringLiteral("开始打印文件")});
    QCOMPARE(dialog.printer()->outputFormat(), QPrinter::NativeFormat);
    QCOMPARE(dialog.printer()->printerName(), QStringLiteral("PDF"));
    qInfo() << "queue resolution:" << dialog.printer()->resolution() << "dpi";

    // cups-pdf writes the file through Ghostscript: wait for a new PDF that reads.
    QString printed;
    const QDeadlineTimer deadline(90000);
    while (printed.isEmpty() && !deadline.hasExpired()) {
        QTest::qWait(250);
        const QStringList now = pdfsIn(outputDir);
        for (const QString &name : now) {
            const QString path = QDir(outputDir).filePath(name);
            if (!outputsBefore.contains(name) && name.contains(title) && PdfProbe::pageCount(path) == 1)
                printed = path;
        }
    }
    QVERIFY2(!printed.isEmpty(), qPrintable(QStringLiteral("no job output in %1 after 90 s").arg(outputDir)));
    QFile savedAfter(saved);
    QVERIFY(savedAfter.open(QIODevice::ReadOnly));
    QCOMPARE(savedAfter.readAll(), savedBytes);

    const QSizeF page = PdfProbe::pageSizeMillimetres(printed);
    const double point = 25.4 / 72;
    QVERIFY2(qAbs(page.width() - 210) < point && qAbs(page.height() - 297) < point,
             qPrintable(QStringLiteral("%1 x %2 mm").arg(page.width()).arg(page.height())));
    // "自动" turns A4 for 11 x 5 photos rather than 7 x 7; the queue writes the turned
    // sheet on a portrait page, each placement of the one picture turned with it.
    QCOMPARE(PdfProbe::images(printed).size(), 55);
    const int dpi = 50;
    const QList<QRect> photos = PdfProbe::regions(PdfProbe::renderPage(printed, dpi), [](QRgb pixel) {
        return qBlue(pixel) > 150 && qRed(pixel) < 90;
    });
    QCOMPARE(photos.size(), 55);
    for (const QRect &photo : photos) {
        const QSizeF millimetres = QSizeF(photo.size()) * 25.4 / dpi;
        QVERIFY2(qAbs(millimetres.width() - 35) < 1.5 && qAbs(millimetres.height() - 25) < 1.5,
                 qPrintable(QStringLiteral("%1 x %2 mm").arg(millimetres.width()).arg(millimetres.height())));
    }
}

void TestPrintCups::cleanupTestCase()
{
    if (!started)
        return;
    QString errors;
    QVERIFY2(runScript(QStringLiteral("stop"), &errors), qPrintable(errors));
    const QStringList after = pdfsIn(outputDir);
    for (const QString &name : after) {
        if (!outputsBefore.contains(name))
            QFile::remove(QDir(outputDir).filePath(name));
    }
    if (!outputDirExisted)
        QDir().rmdir(outputDir);
}

QTEST_MAIN(TestPrintCups)
#include "tst_printcups.moc"
