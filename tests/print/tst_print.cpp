#include "app/AppSetup.h"
#include "print/PrintDialog.h"
#include "PrintLayout.h"
#include "widgets/MessageBox.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/PdfProbe.h"

namespace {

constexpr int kA4 = 0, kA5 = 1, kA6 = 2;
constexpr int kFit = 0, kOneInch = 1, kLargeOneInch = 2, kFourInch = 6, kFiveInch = 7;

const QColor kPhotoColour(220, 20, 20);

QPixmap photo(const QSize &size = QSize(600, 840))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kPhotoColour);
    return QPixmap::fromImage(image);
}

QSizeF pixels(const QSizeF &millimetres, int dpi)
{
    return millimetres * dpi / 25.4;
}

QStringList messages(const PrintDialog &dialog)
{
    QStringList texts;
    const QList<MessageBox *> boxes = dialog.findChildren<MessageBox *>();
    for (const MessageBox *box : boxes)
        texts << box->text();
    return texts;
}

bool isPhotoColour(QRgb pixel)
{
    return qRed(pixel) > 150 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
}

bool isWhite(QRgb pixel)
{
    return qRed(pixel) > 230 && qGreen(pixel) > 230 && qBlue(pixel) > 230;
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void previewGrid_data();
    void previewGrid();
    void printGrid_data();
    void printGrid();
    void previewFit_data();
    void previewFit();
    void printFit();
    void preferredPrinter_data();
    void preferredPrinter();
    void preview_data();
    void preview();
    void noPrinter_data();
    void noPrinter();
    void sizeFitsScreen_data();
    void sizeFitsScreen();
    void dropDownRowsLikeTheToolbox();
    void failedPrintReported();
    void printToPdf_data();
    void printToPdf();
    void photoPlacementOnPaper();
    void copies_data();
    void copies();
    void colourMode_data();
    void colourMode();
    void pageSetupReturns();

private:
    // A dialog whose printer writes a PDF at dpi into the temporary folder.
    QString printToFile(PrintDialog &dialog, const QString &name, int dpi);

    QTemporaryDir tempDir;
};

void TestPrint::initTestCase()
{
    AppSetup::run();
    QVERIFY(tempDir.isValid());
}

QString TestPrint::printToFile(PrintDialog &dialog, const QString &name, int dpi)
{
    const QString path = tempDir.filePath(name);
    dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
    dialog.printer()->setOutputFileName(path);
    dialog.printer()->setResolution(dpi);
    dialog.printImage();
    return path;
}

void TestPrint::previewGrid_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("photo");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("rows");

    QTest::newRow("1寸 on A4 fills 8 x 8") << kA4 << kOneInch << 8 << 8;
    // 6 x 87.5 = 525 leaves no gap: one column fewer.
    QTest::newRow("大1寸 on A4 drops a column") << kA4 << kLargeOneInch << 5 << 6;
    QTest::newRow("5寸 on A5 shows 2 x 2") << kA5 << kFiveInch << 2 << 2;
    QTest::newRow("5寸 on A6") << kA6 << kFiveInch << 1 << 1;
}

void TestPrint::previewGrid()
{
    QFETCH(int, paper);
    QFETCH(int, photo);
    QFETCH(int, cols);
    QFETCH(int, rows);

    const QSizeF paperUnits = PrintLayout::paperMillimetres(paper) * PrintLayout::kPreviewScale;
    const PrintLayout::Grid grid
        = PrintLayout::previewGrid(paperUnits, PrintLayout::photoMillimetres(photo) * PrintLayout::kPreviewScale);
    QCOMPARE(grid.x.count, cols);
    QCOMPARE(grid.y.count, rows);
    QCOMPARE(grid.cells.size(), cols * rows);
    QVERIFY(grid.x.spacing > 1 && grid.y.spacing > 1);
    // Gaps are even: the last photo ends one gap before the sheet's edge.
    QCOMPARE(grid.cells.last().right() + grid.x.spacing, paperUnits.width());
    QCOMPARE(grid.cells.last().bottom() + grid.y.spacing, paperUnits.height());
}

void TestPrint::printGrid_data()
{
    QTest::addColumn<QSizeF>("paper"); // millimetres
    QTest::addColumn<int>("photo");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QRectF>("gaps"); // millimetres from the left, top, right and bottom edges

    const QSizeF a4 = PrintLayout::paperMillimetres(kA4);
    const QSizeF a5 = PrintLayout::paperMillimetres(kA5);
    const QSizeF a6 = PrintLayout::paperMillimetres(kA6);
    for (int dpi : {300, 1200}) {
        const QByteArray at = " at " + QByteArray::number(dpi);
        // 8 columns or rows would leave under 1 mm once the margins are off.
        QTest::newRow("1寸 on A4: 7 x 7" + at) << a4 << kOneInch << dpi << 7 << 7 << QRectF(6.625, 7.5, 6.625, 17.5);
        QTest::newRow("5寸 on A6: one photo" + at) << a6 << kFiveInch << dpi << 1 << 1 << QRectF(17.5, 19, 17.5, 29);
    }
    QTest::newRow("4寸 on A4 keeps 3 x 3") << a4 << kFourInch << 600 << 3 << 3 << QRectF(9, 5.75, 9, 15.75);
    QTest::newRow("5寸 on A5: both axes drop to one") << a5 << kFiveInch << 300 << 1 << 1 << QRectF(39, 50, 39, 60);
    // A landscape A6 (set in the page setup) leaves no room between the margins for
    // the one row: it stays, centred on the sheet, rather than an empty page.
    QTest::newRow("5寸 on landscape A6 keeps its row")
        << a6.transposed() << kFiveInch << 300 << 1 << 1 << QRectF(39, 2.5, 39, 2.5);
}

void TestPrint::printGrid()
{
    QFETCH(QSizeF, paper);
    QFETCH(int, photo);
    QFETCH(int, dpi);
    QFETCH(int, cols);
    QFETCH(int, rows);
    QFETCH(QRectF, gaps);

    const QSizeF sheet = pixels(paper, dpi);
    const PrintLayout::Grid grid = PrintLayout::printGrid(sheet, PrintLayout::photoMillimetres(photo), dpi);
    QCOMPARE(grid.x.count, cols);
    QCOMPARE(grid.y.count, rows);
    QCOMPARE(grid.cells.size(), cols * rows);

    const double perMillimetre = dpi / 25.4;
    const QRectF first = grid.cells.first();
    const QRectF last = grid.cells.last();
    QCOMPARE(first.size(), pixels(PrintLayout::photoMillimetres(photo), dpi));
    const double tolerance = 0.01;
    QVERIFY2(qAbs(first.left() / perMillimetre - gaps.x()) < tolerance,
             qPrintable(QString::number(first.left() / perMillimetre)));
    QVERIFY2(qAbs(first.top() / perMillimetre - gaps.y()) < tolerance,
             qPrintable(QString::number(first.top() / perMillimetre)));
    QVERIFY(qAbs((sheet.width() - last.right()) / perMillimetre - gaps.width()) < tolerance);
    QVERIFY(qAbs((sheet.height() - last.bottom()) / perMillimetre - gaps.height()) < tolerance);
}

void TestPrint::previewFit_data()
{
    QTest::addColumn<QSizeF>("view");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRectF>("sheet");
    QTest::addColumn<QRectF>("drawn");

    // 400 x 300 fills the width (525 x 393); truncation puts it on the sheet's left
    // border line, so it moves one unit in.
    QTest::newRow("wide picture, whole sheet x")
        << QSizeF(600, 780) << QSize(400, 300) << QRectF(37, 18.25, 526, 743.5) << QRectF(38, 193, 525, 393);
    QTest::newRow("wide picture, half sheet x")
        << QSizeF(601, 780) << QSize(400, 300) << QRectF(37.5, 18.25, 526, 743.5) << QRectF(38, 193, 525, 393);
    QTest::newRow("tall picture centred across")
        << QSizeF(600, 780) << QSize(300, 800) << QRectF(37, 18.25, 526, 743.5) << QRectF(160, 19, 278, 742);
}

void TestPrint::previewFit()
{
    QFETCH(QSizeF, view);
    QFETCH(QSize, picture);
    QFETCH(QRectF, sheet);
    QFETCH(QRectF, drawn);

    const QSizeF a4 = PrintLayout::paperMillimetres(kA4) * PrintLayout::kPreviewScale;
    QCOMPARE(a4, QSizeF(525, 742.5));
    const QRectF placed = PrintLayout::previewSheet(a4, view);
    QCOMPARE(placed, sheet);
    QCOMPARE(PrintLayout::previewPictures(kFit, placed, picture), QVector<QRectF>{drawn});
}

void TestPrint::printFit()
{
    // A4 at 300 dpi is 2480.3 x 3507.9 pixels; the picture fills the integer width.
    const QVector<QRectF> rects
        = PrintLayout::printPictures(kFit, pixels(PrintLayout::paperMillimetres(kA4), 300), 300, QSize(400, 300));
    QCOMPARE(rects, QVector<QRectF>{QRectF(0, 823, 2480, 1860)});
}

void TestPrint::preferredPrinter_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("index");

    QTest::newRow("none installed") << QStringList() << -1;
    QTest::newRow("one printer") << QStringList{QStringLiteral("HP_LaserJet")} << 0;
    QTest::newRow("pseudo printers skipped")
        << QStringList{QStringLiteral("OneNote for Windows 10"), QStringLiteral("Microsoft Print to PDF"),
                       QStringLiteral("Canon_G3000"), QStringLiteral("Epson")}
        << 2;
    QTest::newRow("case does not matter") << QStringList{QStringLiteral("SEND TO ONENOTE 2016"),
                                                         QStringLiteral("print TO pdf"), QStringLiteral("Brother")}
                                          << 2;
    QTest::newRow("all excluded: no selection")
        << QStringList{QStringLiteral("OneNote"), QStringLiteral("Microsoft Print to PDF")} << -1;
    QTest::newRow("a PDF queue is a printer") << QStringList{QStringLiteral("PDF")} << 0;
}

void TestPrint::preferredPrinter()
{
    QFETCH(QStringList, names);
    QFETCH(int, index);
    QCOMPARE(PrintDialog::preferredPrinterIndex(names), index);
}

void TestPrint::preview_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("photo");
    QTest::addColumn<int>("pictures");
    QTest::addColumn<bool>("pictureFirst"); // handed over before the dialog shows

    QTest::newRow("A4 fitted") << kA4 << kFit << 1 << false;
    QTest::newRow("A4 1寸") << kA4 << kOneInch << 64 << false;
    QTest::newRow("A5 5寸") << kA5 << kFiveInch << 4 << false;
    QTest::newRow("A6 5寸") << kA6 << kFiveInch << 1 << false;
    QTest::newRow("A6 fitted") << kA6 << kFit << 1 << false;
    QTest::newRow("A4 1寸, picture before show") << kA4 << kOneInch << 64 << true;
}

void TestPrint::preview()
{
    QFETCH(int, paper);
    QFETCH(int, photo);
    QFETCH(int, pictures);
    QFETCH(bool, pictureFirst);

    PrintDialog dialog(nullptr);
    if (pictureFirst) {
        dialog.setPixmap(::photo(QSize(300, 400)));
        dialog.photoSizeBox()->setCurrentIndex(photo);
        dialog.paperBox()->setCurrentIndex(paper);
    }
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (!pictureFirst) {
        dialog.setPixmap(::photo(QSize(300, 400)));
        // Through the boxes, as the user changes them.
        dialog.photoSizeBox()->setCurrentIndex(photo);
        dialog.paperBox()->setCurrentIndex(paper);
    }

    QList<QGraphicsRectItem *> sheets;
    QList<QGraphicsPixmapItem *> drawn;
    const QList<QGraphicsItem *> items = dialog.previewScene()->items();
    for (QGraphicsItem *item : items) {
        if (auto *rect = qgraphicsitem_cast<QGraphicsRectItem *>(item))
            sheets << rect;
        if (auto *pixmap = qgraphicsitem_cast<QGraphicsPixmapItem *>(item))
            drawn << pixmap;
    }
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(drawn.size(), pictures);

    const QRectF sheet = sheets.first()->sceneBoundingRect();
    const QSizeF paperUnits = PrintLayout::paperMillimetres(paper) * PrintLayout::kPreviewScale;
    QCOMPARE(sheets.first()->rect().size(), paperUnits + QSizeF(1, 1));
    // The whole sheet shows, centred in the view.
    const QRectF view = dialog.previewScene()->sceneRect();
    QVERIFY2(view.contains(sheet), qPrintable(QStringLiteral("view %1 x %2").arg(view.width()).arg(view.height())));
    QVERIFY(qAbs(sheet.center().x() - view.center().x()) < 1);
    QVERIFY(qAbs(sheet.center().y() - view.center().y()) < 1);
    for (const QGraphicsPixmapItem *item : qAsConst(drawn))
        QVERIFY(sheet.contains(item->sceneBoundingRect()));
}

void TestPrint::noPrinter_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("message");

    const QString none = QStringLiteral("没有可用的打印机，请先安装打印机！");
    QTest::newRow("none installed") << QStringList() << none;
    // Only pseudo printers: none is chosen for the user, who is asked to choose.
    QTest::newRow("none selected") << QStringList{QStringLiteral("OneNote"), QStringLiteral("Microsoft Print to PDF")}
                                   << QStringLiteral("请选择打印机");
    // Listed when the dialog opened, removed since.
    QTest::newRow("selected one gone") << QStringList{QStringLiteral("Quorvane_Removed_Queue")}
                                       << QStringLiteral("打印机不可用，请检查打印机！");
}

void TestPrint::noPrinter()
{
    QFETCH(QStringList, listed);
    QFETCH(QString, message);

    PrintDialog dialog(nullptr);
    dialog.setPixmap(photo());
    dialog.printerBox()->clear();
    dialog.printerBox()->addItems(listed);
    dialog.printerBox()->setCurrentIndex(PrintDialog::preferredPrinterIndex(listed));
    const QString before = dialog.printer()->printerName();
    dialog.printImage();

    QCOMPARE(messages(dialog), QStringList{message});
    // Not handed an empty name, which would turn it into a PDF writer without a file.
    QCOMPARE(dialog.printer()->printerName(), before);
    QCOMPARE(dialog.printer()->printerState(), QPrinter::Idle);
}

void TestPrint::sizeFitsScreen_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("size");
    QTest::newRow("1920 x 1040: its own size") << QRect(0, 0, 1920, 1040) << QSize(1100, 800);
    QTest::newRow("1366 x 768 less a panel") << QRect(0, 0, 1366, 738) << QSize(1100, 658);
    QTest::newRow("1024 x 600") << QRect(0, 0, 1024, 600) << QSize(984, 520);
}

// The dialog fits the screen with its frame, and its buttons stay inside it.
void TestPrint::sizeFitsScreen()
{
    QFETCH(QRect, available);
    QFETCH(QSize, size);
    QCOMPARE(PrintDialog::sizeFor(available), size);

    PrintDialog dialog(nullptr);
    dialog.setFixedSize(size);
    dialog.setPixmap(photo());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QList<QPushButton *> buttons = dialog.findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 2);
    for (const QPushButton *button : buttons) {
        const QRect placed(button->mapTo(&dialog, QPoint(0, 0)), button->size());
        QVERIFY2(dialog.rect().contains(placed), qPrintable(button->text()));
        QVERIFY(button->height() >= button->sizeHint().height());
    }
    // The whole sheet still shows in the smaller preview.
    const auto *view = dialog.findChild<QGraphicsView *>();
    QVERIFY(view->mapFromScene(dialog.previewScene()->sceneRect()).boundingRect().width() <= view->width() + 1);
}

// The print dialog's drop-down rows are as tall as everywhere else in the program.
void TestPrint::dropDownRowsLikeTheToolbox()
{
    PrintDialog dialog(nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    StyledComboBox standalone;
    standalone.addItems({QStringLiteral("PNG"), QStringLiteral("JPG")});
    for (StyledComboBox *box : {dialog.photoSizeBox(), dialog.paperBox(), dialog.colourModeBox(), &standalone}) {
        box->showPopup();
        QCOMPARE(box->view()->sizeHintForRow(0), StyledComboBox::rowHeight());
        QCOMPARE(box->view()->visualRect(box->model()->index(1, 0)).height(), StyledComboBox::rowHeight());
        box->hidePopup();
    }
}

void TestPrint::failedPrintReported()
{
    PrintDialog dialog(nullptr);
    dialog.setPixmap(photo());
    const QString path = printToFile(dialog, QStringLiteral("no-such-folder/out.pdf"), 300);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(messages(dialog), QStringList{QStringLiteral("打印失败，请检查打印机！")});
}

void TestPrint::printToPdf_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("photo");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("count");
    QTest::addColumn<QSize>("stored");

    // 1寸 at 300 dpi is 295 x 413 pixels: the 600 x 840 picture is shrunk to it.
    QTest::newRow("1寸 on A4 at 300 dpi") << kA4 << kOneInch << 300 << 49 << QSize(295, 413);
    // At 1200 dpi the photo is larger than the picture, which goes out as it is.
    QTest::newRow("1寸 on A4 at 1200 dpi") << kA4 << kOneInch << 1200 << 49 << QSize(600, 840);
    QTest::newRow("5寸 on A6 at 150 dpi") << kA6 << kFiveInch << 150 << 1 << QSize(413, 578);
    QTest::newRow("A5 fitted at 1200 dpi") << kA5 << kFit << 1200 << 1 << QSize(600, 840);
}

void TestPrint::printToPdf()
{
    QFETCH(int, paper);
    QFETCH(int, photo);
    QFETCH(int, dpi);
    QFETCH(int, count);
    QFETCH(QSize, stored);

    PrintDialog dialog(nullptr);
    dialog.setPixmap(::photo());
    dialog.paperBox()->setCurrentIndex(paper);
    dialog.photoSizeBox()->setCurrentIndex(photo);
    const QString path = printToFile(dialog, QStringLiteral("%1-%2-%3.pdf").arg(paper).arg(photo).arg(dpi), dpi);

    QCOMPARE(messages(dialog), QStringList{QStringLiteral("开始打印文件")});
    QCOMPARE(dialog.printer()->resolution(), dpi);
    QCOMPARE(PdfProbe::pageCount(path), 1);
    const QSizeF page = PdfProbe::pageSizeMillimetres(path);
    const QSizeF expected = PrintLayout::paperMillimetres(paper);
    // The PDF page is stored in whole points (0.35 mm).
    const double point = 25.4 / 72;
    QVERIFY2(qAbs(page.width() - expected.width()) < point && qAbs(page.height() - expected.height()) < point,
             qPrintable(QStringLiteral("%1 x %2 mm").arg(page.width()).arg(page.height())));
    const QList<PdfProbe::Image> images = PdfProbe::images(path);
    QCOMPARE(images.size(), count);
    for (const PdfProbe::Image &image : images)
        QCOMPARE(image.size, stored);
}

void TestPrint::photoPlacementOnPaper()
{
    // 5寸 on A6: the photo starts 17.5 mm from the left and 19 mm from the top and
    // is 70 x 100 mm; rendered at 100 dpi, probe 1 mm inside and outside each edge.
    PrintDialog dialog(nullptr);
    dialog.setPixmap(photo(QSize(700, 1000)));
    dialog.paperBox()->setCurrentIndex(kA6);
    dialog.photoSizeBox()->setCurrentIndex(kFiveInch);
    const QString path = printToFile(dialog, QStringLiteral("placement.pdf"), 300);
    const QImage page = PdfProbe::renderPage(path, 100);
    QVERIFY(!page.isNull());
    const auto at = [&page](double xMillimetres, double yMillimetres) {
        return page.pixel(int(xMillimetres * 100 / 25.4), int(yMillimetres * 100 / 25.4));
    };
    const double left = 17.5, top = 19, right = left + 70, bottom = top + 100;
    QVERIFY(isPhotoColour(at(left + 1, top + 1)));
    QVERIFY(isPhotoColour(at(right - 1, bottom - 1)));
    QVERIFY(isWhite(at(left - 1, top + 50)));
    QVERIFY(isWhite(at(right + 1, top + 50)));
    QVERIFY(isWhite(at(left + 35, top - 1)));
    QVERIFY(isWhite(at(left + 35, bottom + 1)));
}

void TestPrint::copies_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("copies"); // 0: the print is refused with the rule

    QTest::newRow("three") << QStringLiteral("3") << 3;
    QTest::newRow("upper bound") << QStringLiteral("10000") << 10000;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("zero") << QStringLiteral("0") << 0;
    QTest::newRow("decimal") << QStringLiteral("2.5") << 0;
    QTest::newRow("group separator") << QStringLiteral("1,000") << 0;
    QTest::newRow("above the bound") << QStringLiteral("10001") << 0;
}

// The copies field keeps what was typed; a text its rule refuses turns it red
// and the print says the rule instead of printing another number of copies.
void TestPrint::copies()
{
    QFETCH(QString, text);
    QFETCH(int, copies);

    PrintDialog dialog(nullptr);
    dialog.setPixmap(photo(QSize(60, 84)));
    dialog.paperBox()->setCurrentIndex(kA6);
    dialog.copiesField()->clear();
    QTest::keyClicks(dialog.copiesField(), text);
    QCOMPARE(dialog.copiesField()->text(), text);
    QCOMPARE(dialog.copiesField()->isRefused(), copies == 0);
    printToFile(dialog, QStringLiteral("copies.pdf"), 300);
    if (copies == 0) {
        QCOMPARE(dialog.copiesField()->toolTip(), QStringLiteral("1–10000 的整数"));
        QCOMPARE(messages(dialog), QStringList{QStringLiteral("1–10000 的整数")});
        return;
    }
    QCOMPARE(messages(dialog), QStringList{QStringLiteral("开始打印文件")});
    QCOMPARE(dialog.printer()->copyCount(), copies);
}

void TestPrint::colourMode_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("stored");

    QTest::newRow("彩色") << 0 << int(QPrinter::Color) << QStringLiteral("rgb");
    QTest::newRow("灰度") << 1 << int(QPrinter::GrayScale) << QStringLiteral("gray");
}

void TestPrint::colourMode()
{
    QFETCH(int, index);
    QFETCH(int, mode);
    QFETCH(QString, stored);

    PrintDialog dialog(nullptr);
    dialog.setPixmap(photo(QSize(60, 84)));
    dialog.paperBox()->setCurrentIndex(kA6);
    dialog.colourModeBox()->setCurrentIndex(index);
    const QString path = printToFile(dialog, QStringLiteral("colour-%1.pdf").arg(index), 300);
    QCOMPARE(int(dialog.printer()->colorMode()), mode);
    // The picture is sent in colour; the printer's mode decides what is stored.
    const QList<PdfProbe::Image> images = PdfProbe::images(path);
    QCOMPARE(images.size(), 1);
    QCOMPARE(images.first().colour, stored);
}

void TestPrint::pageSetupReturns()
{
    PrintDialog dialog(nullptr);
    bool seen = false;
    // Dismiss the modal page setup once it is up; give up after a few seconds.
    QTimer poll;
    int rounds = 0;
    connect(&poll, &QTimer::timeout, [&] {
        if (auto *setup = qobject_cast<QPageSetupDialog *>(QApplication::activeModalWidget())) {
            seen = setup->printer() == dialog.printer();
            setup->reject();
        } else if (++rounds > 100) {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
    poll.start(50);
    dialog.openPageSetup();
    QVERIFY(seen);
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
