#include "app/AppSetup.h"
#include "print/PrintDialog.h"
#include "PdfFile.h"
#include "PrintLayout.h"
#include "PrintPicture.h"
#include "widgets/MessageBox.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QColorSpace>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "support/PdfProbe.h"

using PrintLayout::Filling;
using PrintLayout::Orientation;

namespace {

constexpr int kA4 = 0, kA5 = 1, kA6 = 2, kLetter = 3, kFourBySix = 4, kFiveBySeven = 5;
constexpr int kFit = 0, kOneInch = 1, kThreeInch = 5, kFiveInch = 7, kSixInch = 8, kSevenInch = 9;
constexpr int kPaperCount = 8, kPhotoCount = 10;

const QColor kPhotoColour(220, 20, 20);
const QColor kRightColour(20, 40, 220);
const QColor kEdgeColour(20, 200, 40);

QPixmap photo(const QSize &size = QSize(600, 840))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kPhotoColour);
    return QPixmap::fromImage(image);
}

// Red on the left half, blue on the right, a green band of `edge` pixels at the left
// and right edges: shows which way a picture was drawn and whether it was cropped.
QPixmap markedPhoto(const QSize &size, int edge)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kPhotoColour);
    QPainter painter(&image);
    painter.fillRect(QRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height()), kRightColour);
    painter.fillRect(QRect(0, 0, edge, size.height()), kEdgeColour);
    painter.fillRect(QRect(size.width() - edge, 0, edge, size.height()), kEdgeColour);
    painter.end();
    return QPixmap::fromImage(image);
}

QStringList messages(const PrintDialog &dialog)
{
    QStringList texts;
    const QList<MessageBox *> boxes = dialog.findChildren<MessageBox *>();
    for (const MessageBox *box : boxes)
        texts << box->text();
    return texts;
}

QString savedText(const QString &path)
{
    return QStringLiteral("已保存为 PDF 文件：%1").arg(path);
}

bool isPhotoColour(QRgb pixel)
{
    return qRed(pixel) > 150 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
}

bool isRightColour(QRgb pixel)
{
    return qBlue(pixel) > 150 && qRed(pixel) < 90 && qGreen(pixel) < 110;
}

bool isEdgeColour(QRgb pixel)
{
    return qGreen(pixel) > 150 && qRed(pixel) < 90 && qBlue(pixel) < 90;
}

QSizeF paperMillimetres(int paper)
{
    return PrintLayout::paperSize(paper).size(QPageSize::Millimeter);
}

PrintLayout::Sheet layOut(int paper, int photo, Orientation orientation, const QSize &picture,
                          Filling filling = Filling::Crop, bool borderless = false)
{
    PrintLayout::Request request;
    request.paper = paperMillimetres(paper);
    request.photo = PrintLayout::photoMillimetres(photo);
    request.picture = picture;
    request.orientation = orientation;
    request.filling = filling;
    request.borderless = borderless;
    return PrintLayout::layOut(request);
}

// Calls `row` for every photo size from firstPhoto on every paper, portrait and
// landscape, with a row name.
void forEveryLayout(int firstPhoto, const std::function<void(int, int, Orientation, const QString &)> &row)
{
    const QStringList papers = PrintLayout::paperNames();
    const QStringList photos = PrintLayout::photoNames();
    for (int paper = 0; paper < kPaperCount; ++paper) {
        for (int photo = firstPhoto; photo < kPhotoCount; ++photo) {
            for (Orientation orientation : {Orientation::Portrait, Orientation::Landscape}) {
                const QString way = orientation == Orientation::Portrait ? QStringLiteral("纵向") : QStringLiteral("横向");
                row(paper, photo, orientation, QStringLiteral("%1 on %2 %3").arg(photos[photo], papers[paper], way));
            }
        }
    }
}

// The preview's sheet and its photos, in millimetres from the sheet's corner.
struct PreviewSheet
{
    QSizeF paper;
    QVector<QRectF> photos;
};

PreviewSheet previewOf(const PrintDialog &dialog)
{
    PreviewSheet preview;
    QList<QGraphicsRectItem *> sheets;
    const QList<QGraphicsItem *> items = dialog.previewScene()->items(Qt::AscendingOrder);
    for (QGraphicsItem *item : items) {
        if (auto *rect = qgraphicsitem_cast<QGraphicsRectItem *>(item))
            sheets << rect;
    }
    if (sheets.size() != 1)
        return preview;
    const QRectF sheet = sheets.first()->rect();
    preview.paper = sheet.size() / PrintLayout::kPreviewScale;
    for (QGraphicsItem *item : items) {
        if (qgraphicsitem_cast<QGraphicsPixmapItem *>(item)) {
            const QRectF place = item->sceneBoundingRect();
            preview.photos << QRectF((place.topLeft() - sheet.topLeft()) / PrintLayout::kPreviewScale,
                                     place.size() / PrintLayout::kPreviewScale);
        }
    }
    return preview;
}

bool near(const QRectF &a, const QRectF &b, double tolerance)
{
    return qAbs(a.left() - b.left()) <= tolerance && qAbs(a.top() - b.top()) <= tolerance
        && qAbs(a.right() - b.right()) <= tolerance && qAbs(a.bottom() - b.bottom()) <= tolerance;
}

QString describe(const QRectF &r)
{
    return QStringLiteral("(%1, %2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Answers the next file dialog with `path` (cancels it when empty) and keeps the
// file it offered; closes it after 10 s.
class FileDialogAnswer : public QObject
{
public:
    explicit FileDialogAnswer(const QString &path) : answer(path)
    {
        connect(&poll, &QTimer::timeout, this, [this] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                if (++rounds > 500)
                    poll.stop();
                return;
            }
            poll.stop();
            offered = dialog->selectedFiles().value(0);
            // Typed, as the user does: selectFile() leaves a focused name field alone.
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (answer.isEmpty() || !name) {
                dialog->reject();
                return;
            }
            name->setText(answer);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        poll.start(20);
    }

    QString offered;

private:
    QString answer;
    QTimer poll;
    int rounds = 0;
};

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void papers_data();
    void papers();
    void layoutRules_data();
    void layoutRules();
    void layoutCounts_data();
    void layoutCounts();
    void fittedLayout_data();
    void fittedLayout();
    void cropFromTheMiddle();
    void preferredPrinter_data();
    void preferredPrinter();
    void preview_data();
    void preview();
    void previewMatchesPrint_data();
    void previewMatchesPrint();
    void landscapePictureOnPortraitPaper_data();
    void landscapePictureOnPortraitPaper();
    void noPrinter_data();
    void noPrinter();
    void missingPrinterSelectsPdf();
    void pdfPath_data();
    void pdfPath();
    void pdfAsksForTheFile();
    void sizeFitsScreen_data();
    void sizeFitsScreen();
    void dropDownRowsLikeTheToolbox();
    void failedPrintReported();
    void quality_data();
    void quality();
    void copies_data();
    void copies();
    void greyscale();
    void colourProfileConverted();
    void pageSetupReturns();
    void pageSetupChangesReachTheDialog();
    void dialogChangesReachPageSetup();
    void lastPaperPreselected();

private:
    // Prints through "保存为 PDF…" at dpi into the temporary folder, the file named
    // without the file dialog (which pdfAsksForTheFile answers).
    QString printToFile(PrintDialog &dialog, const QString &name, int dpi);

    QTemporaryDir tempDir;
};

void TestPrint::initTestCase()
{
    QVERIFY(tempDir.isValid());
    // No CUPS server answers here: whatever the machine has installed, the dialog
    // finds no printer and nothing reaches a real one.
    qputenv("CUPS_SERVER", QFile::encodeName(tempDir.filePath(QStringLiteral("no-cupsd.sock"))));
    qputenv("HOME", QFile::encodeName(tempDir.path()));
    AppSetup::run();
}

QString TestPrint::printToFile(PrintDialog &dialog, const QString &name, int dpi)
{
    const QString path = tempDir.filePath(name);
    dialog.printerBox()->setCurrentIndex(dialog.printerBox()->count() - 1);
    dialog.printer()->setResolution(dpi);
    dialog.setPdfFileChooser([path](QWidget *, const QString &) { return path; });
    dialog.printImage();
    return path;
}

void TestPrint::papers_data()
{
    QTest::addColumn<QPageSize>("size");
    QTest::addColumn<int>("index");

    QTest::newRow("A4") << QPageSize(QPageSize::A4) << kA4;
    QTest::newRow("Letter") << QPageSize(QPageSize::Letter) << kLetter;
    QTest::newRow("4×6 in given landscape")
        << QPageSize(QSizeF(152.4, 101.6), QPageSize::Millimeter, QString(), QPageSize::ExactMatch) << kFourBySix;
    QTest::newRow("5×7 in in points") << QPageSize(QSize(360, 504), QString(), QPageSize::ExactMatch)
                                      << kFiveBySeven;
    QTest::newRow("10×15 cm") << QPageSize(QSizeF(100, 150), QPageSize::Millimeter) << 6;
    QTest::newRow("Legal: not listed") << QPageSize(QPageSize::Legal) << -1;
    QTest::newRow("4×6 in is not 10×15 cm")
        << QPageSize(QSizeF(98, 148), QPageSize::Millimeter, QString(), QPageSize::ExactMatch) << -1;
}

void TestPrint::papers()
{
    QFETCH(QPageSize, size);
    QFETCH(int, index);
    QCOMPARE(PrintLayout::paperIndexOf(size), index);
    const QStringList names = PrintLayout::paperNames();
    QCOMPARE(names.size(), kPaperCount);
    QCOMPARE(names.value(kLetter), QStringLiteral("Letter"));
    QCOMPARE(names.value(kFourBySix), QStringLiteral("4×6 英寸 (10×15 厘米)"));
    QCOMPARE(PrintLayout::photoNames().value(kSixInch), QStringLiteral("6寸"));
    QCOMPARE(PrintLayout::photoMillimetres(kSevenInch), QSizeF(127, 178));
}

// Every photo size on every paper, both ways round, for a portrait and a landscape
// picture: photos inside the margins (a lone one at least on the sheet), at least a
// millimetre apart, as many as fit, shaped like the picture.
void TestPrint::layoutRules_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("photo");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("picture");

    forEveryLayout(1, [](int paper, int photo, Orientation orientation, const QString &name) {
        for (const QSize &picture : {QSize(300, 400), QSize(400, 300)}) {
            const QString row = name + (picture.width() > picture.height() ? ", landscape" : ", portrait")
                + QStringLiteral(" picture");
            QTest::newRow(qPrintable(row)) << paper << photo << int(orientation) << picture;
        }
    });
}

void TestPrint::layoutRules()
{
    QFETCH(int, paper);
    QFETCH(int, photo);
    QFETCH(int, orientation);
    QFETCH(QSize, picture);

    const PrintLayout::Sheet sheet = layOut(paper, photo, Orientation(orientation), picture);
    const bool landscapeSheet = orientation == int(Orientation::Landscape);
    QCOMPARE(sheet.orientation, landscapeSheet ? QPageLayout::Landscape : QPageLayout::Portrait);
    QCOMPARE(sheet.paper.width() > sheet.paper.height(), landscapeSheet);
    QCOMPARE(sheet.pictures, sheet.cells);

    QSizeF size = PrintLayout::photoMillimetres(photo);
    if (picture.width() > picture.height())
        size.transpose();
    const QRectF paperRect(QPointF(), sheet.paper);
    const QRectF printable = paperRect.marginsRemoved(PrintLayout::margins(false));
    const double slack = 1e-6;
    // How many fit along one side with the margins and the gaps.
    const auto fitting = [](double length, double photoLength) { return int((length - 1 + 1e-9) / (photoLength + 1)); };
    const int columns = fitting(printable.width(), size.width());
    const int rows = fitting(printable.height(), size.height());
    if (columns > 0 && rows > 0) {
        QCOMPARE(sheet.cells.size(), columns * rows);
    } else if (size.width() <= sheet.paper.width() + 1 && size.height() <= sheet.paper.height() + 1) {
        // Lone photos along a side too short for the margins sit centred on the sheet.
        QCOMPARE(sheet.cells.size(), qMax(columns, 1) * qMax(rows, 1));
    } else {
        QVERIFY(sheet.cells.isEmpty());
        return;
    }
    for (int i = 0; i < sheet.cells.size(); ++i) {
        const QRectF cell = sheet.cells[i];
        QCOMPARE(cell.size(), size);
        if (columns > 0)
            QVERIFY2(cell.left() >= printable.left() + 1 - slack && cell.right() <= printable.right() - 1 + slack,
                     qPrintable(describe(cell)));
        else
            QVERIFY(qAbs(cell.center().x() - paperRect.center().x()) < slack);
        if (rows > 0)
            QVERIFY2(cell.top() >= printable.top() + 1 - slack && cell.bottom() <= printable.bottom() - 1 + slack,
                     qPrintable(describe(cell)));
        else
            QVERIFY(qAbs(cell.center().y() - paperRect.center().y()) < slack);
        for (int j = i + 1; j < sheet.cells.size(); ++j) {
            const QRectF grown = cell.adjusted(-1 + slack, -1 + slack, 1 - slack, 1 - slack);
            QVERIFY2(!grown.intersects(sheet.cells[j]), qPrintable(describe(cell) + describe(sheet.cells[j])));
        }
    }
}

void TestPrint::layoutCounts_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("photo");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<int>("count");
    QTest::addColumn<QRectF>("first"); // millimetres
    QTest::addColumn<bool>("landscapeSheet");

    const QSize portrait(300, 400), landscape(400, 300);
    const int upright = int(Orientation::Portrait), automatic = int(Orientation::Automatic);
    // 8 columns or rows would leave under 1 mm once the margins are off.
    QTest::newRow("1寸 on A4: 7 x 7") << kA4 << kOneInch << upright << portrait << 49
                                      << QRectF(6.625, 7.5, 25, 35) << false;
    QTest::newRow("3寸 on A4: 3 x 3") << kA4 << kThreeInch << upright << portrait << 9
                                      << QRectF(16.5, 17, 50, 75) << false;
    QTest::newRow("5寸 on A6: one photo") << kA6 << kFiveInch << upright << portrait << 1
                                          << QRectF(17.5, 19, 70, 100) << false;
    // Turned cells: 2 x 3 landscape photos where 2 x 2 portrait ones would go.
    QTest::newRow("landscape 5寸 on portrait A4")
        << kA4 << kFiveInch << upright << landscape << 6 << QRectF(4.333, 20.75, 100, 70) << false;
    // The photo is the paper: centred, the sheet trims 0.2 mm each side.
    QTest::newRow("6寸 on 4×6 in fills it") << kFourBySix << kSixInch << upright << portrait << 1
                                            << QRectF(-0.2, 0.2, 102, 152) << false;
    QTest::newRow("7寸 on 5×7 in fills it") << kFiveBySeven << kSevenInch << upright << portrait << 1
                                            << QRectF(0, -0.1, 127, 178) << false;
    QTest::newRow("7寸 does not fit A6") << kA6 << kSevenInch << upright << portrait << 0 << QRectF() << false;
    // "自动": the way that holds more photos, the picture's way on a tie.
    QTest::newRow("auto: 1寸 on A4 turns the sheet for 55")
        << kA4 << kOneInch << automatic << portrait << 55 << QRectF(4.333, 6.167, 25, 35) << true;
    QTest::newRow("auto: 5寸 portrait on A4 ties, stays portrait")
        << kA4 << kFiveInch << automatic << portrait << 4 << QRectF(24.333, 30, 70, 100) << false;
    QTest::newRow("auto: landscape 5寸 on A4, portrait holds 6")
        << kA4 << kFiveInch << automatic << landscape << 6 << QRectF(4.333, 20.75, 100, 70) << false;
    QTest::newRow("auto: landscape 5寸 on A6 turns the sheet")
        << kA6 << kFiveInch << automatic << landscape << 1 << QRectF(24, 12.5, 100, 70) << true;
}

void TestPrint::layoutCounts()
{
    QFETCH(int, paper);
    QFETCH(int, photo);
    QFETCH(int, orientation);
    QFETCH(QSize, picture);
    QFETCH(int, count);
    QFETCH(QRectF, first);
    QFETCH(bool, landscapeSheet);

    const PrintLayout::Sheet sheet = layOut(paper, photo, Orientation(orientation), picture);
    QCOMPARE(sheet.cells.size(), count);
    QCOMPARE(sheet.orientation == QPageLayout::Landscape, landscapeSheet);
    if (count > 0)
        QVERIFY2(near(sheet.cells.first(), first, 0.01), qPrintable(describe(sheet.cells.first())));
}

void TestPrint::fittedLayout_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("borderless");
    QTest::addColumn<QSizeF>("paper"); // as it prints
    QTest::addColumn<QRectF>("drawn");

    const int automatic = int(Orientation::Automatic);
    // A4 less 3 mm at the sides and the top and 13 mm at the bottom: 204 x 281 at (3, 3).
    QTest::newRow("portrait picture, margins") << automatic << QSize(300, 400) << false << QSizeF(210, 297)
                                               << QRectF(3, 7.5, 204, 272);
    QTest::newRow("portrait picture, borderless") << automatic << QSize(300, 400) << true << QSizeF(210, 297)
                                                  << QRectF(0, 8.5, 210, 280);
    // "自动" turns the sheet: 291 x 194 at (3, 3) holds 258.667 x 194.
    QTest::newRow("landscape picture turns the sheet")
        << automatic << QSize(400, 300) << false << QSizeF(297, 210) << QRectF(19.167, 3, 258.667, 194);
    QTest::newRow("landscape picture on a portrait sheet")
        << int(Orientation::Portrait) << QSize(400, 300) << false << QSizeF(210, 297) << QRectF(3, 67, 204, 153);
}

void TestPrint::fittedLayout()
{
    QFETCH(int, orientation);
    QFETCH(QSize, picture);
    QFETCH(bool, borderless);
    QFETCH(QSizeF, paper);
    QFETCH(QRectF, drawn);

    const PrintLayout::Sheet sheet
        = layOut(kA4, kFit, Orientation(orientation), picture, Filling::Crop, borderless);
    QVERIFY(qAbs(sheet.paper.width() - paper.width()) < 0.1 && qAbs(sheet.paper.height() - paper.height()) < 0.1);
    QCOMPARE(sheet.pictures.size(), 1);
    QVERIFY2(near(sheet.pictures.first(), drawn, 0.01), qPrintable(describe(sheet.pictures.first())));
    // The fitted layout always shows the whole picture.
    QCOMPARE(sheet.source, QRectF(QPointF(), picture));
}

void TestPrint::cropFromTheMiddle()
{
    // A 3:2 picture in 5寸 cells (100 x 70 once turned): cropped, its middle 257 x 180
    // of 300 x 180 fills the cell; whole, it is 100 x 60 centred in the cell.
    const QSize picture(300, 180);
    const PrintLayout::Sheet cropped = layOut(kA6, kFiveInch, Orientation::Landscape, picture, Filling::Crop);
    QCOMPARE(cropped.cells.size(), 1);
    QVERIFY2(near(cropped.source, QRectF(21.43, 0, 257.14, 180), 0.01), qPrintable(describe(cropped.source)));
    QCOMPARE(cropped.pictures, cropped.cells);

    const PrintLayout::Sheet whole = layOut(kA6, kFiveInch, Orientation::Landscape, picture, Filling::WholePicture);
    QCOMPARE(whole.source, QRectF(QPointF(), picture));
    const QRectF cell = whole.cells.first();
    QVERIFY(near(whole.pictures.first(), QRectF(cell.left(), cell.top() + 5, 100, 60), 0.01));
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
    QTest::newRow("A4 1寸, as printed") << kA4 << kOneInch << 49 << false;
    QTest::newRow("A4 3寸, as printed") << kA4 << kThreeInch << 9 << false;
    QTest::newRow("A6 5寸") << kA6 << kFiveInch << 1 << false;
    QTest::newRow("4×6 in 6寸") << kFourBySix << kSixInch << 1 << false;
    QTest::newRow("A4 1寸, picture before show") << kA4 << kOneInch << 49 << true;
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
        dialog.orientationBox()->setCurrentIndex(int(Orientation::Portrait));
    }
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (!pictureFirst) {
        dialog.setPixmap(::photo(QSize(300, 400)));
        // Through the boxes, as the user changes them.
        dialog.photoSizeBox()->setCurrentIndex(photo);
        dialog.paperBox()->setCurrentIndex(paper);
        dialog.orientationBox()->setCurrentIndex(int(Orientation::Portrait));
    }

    QList<QGraphicsRectItem *> sheets;
    const QList<QGraphicsItem *> items = dialog.previewScene()->items();
    for (QGraphicsItem *item : items) {
        if (auto *rect = qgraphicsitem_cast<QGraphicsRectItem *>(item))
            sheets << rect;
    }
    QCOMPARE(sheets.size(), 1);
    const PreviewSheet preview = previewOf(dialog);
    QCOMPARE(preview.photos.size(), pictures);
    const QSizeF expected = paperMillimetres(paper);
    QVERIFY(qAbs(preview.paper.width() - expected.width()) < 1e-6);

    // The whole sheet shows, centred in the view.
    const QRectF sheet = sheets.first()->sceneBoundingRect();
    const QRectF view = dialog.previewScene()->sceneRect();
    QVERIFY2(view.contains(sheet), qPrintable(QStringLiteral("view %1 x %2").arg(view.width()).arg(view.height())));
    QVERIFY(qAbs(sheet.center().x() - view.center().x()) < 1);
    QVERIFY(qAbs(sheet.center().y() - view.center().y()) < 1);
    // Photos show only on the sheet, however far they reach.
    QVERIFY(sheets.first()->flags() & QGraphicsItem::ItemClipsChildrenToShape);
    for (QGraphicsItem *item : items) {
        if (qgraphicsitem_cast<QGraphicsPixmapItem *>(item))
            QCOMPARE(item->parentItem(), sheets.first());
    }
}

// What the preview shows is what prints: every photo size on every paper, both ways
// round, printed to PDF and read back; the photos found on the page lie within half a
// millimetre of the preview's.
void TestPrint::previewMatchesPrint_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("photo");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("borderless");

    forEveryLayout(0, [](int paper, int photo, Orientation orientation, const QString &name) {
        QTest::newRow(qPrintable(name)) << paper << photo << int(orientation) << false;
    });
    for (int paper = 0; paper < kPaperCount; ++paper) {
        QTest::newRow(qPrintable(PrintLayout::paperNames()[paper] + QStringLiteral(" 适配纸张大小 无边距")))
            << paper << kFit << int(Orientation::Automatic) << true;
    }
}

void TestPrint::previewMatchesPrint()
{
    QFETCH(int, paper);
    QFETCH(int, photo);
    QFETCH(int, orientation);
    QFETCH(bool, borderless);

    PrintDialog dialog(nullptr);
    dialog.setPixmap(::photo(QSize(60, 84)));
    dialog.paperBox()->setCurrentIndex(paper);
    dialog.photoSizeBox()->setCurrentIndex(photo);
    dialog.orientationBox()->setCurrentIndex(orientation);
    dialog.marginsBox()->setCurrentIndex(borderless ? 1 : 0);
    const PreviewSheet preview = previewOf(dialog);
    const QString path = printToFile(dialog, QStringLiteral("match-%1-%2-%3-%4.pdf")
                                                 .arg(paper).arg(photo).arg(orientation).arg(borderless), 300);

    if (preview.photos.isEmpty()) {
        QCOMPARE(messages(dialog), QStringList{QStringLiteral("照片尺寸大于纸张，请选择更大的纸张或更小的照片尺寸")});
        QVERIFY(!QFile::exists(path));
        return;
    }
    QCOMPARE(messages(dialog), QStringList{savedText(path)});
    const QSizeF page = PdfProbe::pageSizeMillimetres(path);
    const double point = 25.4 / 72;
    QVERIFY2(qAbs(page.width() - preview.paper.width()) < point && qAbs(page.height() - preview.paper.height()) < point,
             qPrintable(QStringLiteral("page %1 x %2 mm, preview %3 x %4 mm")
                            .arg(page.width()).arg(page.height()).arg(preview.paper.width()).arg(preview.paper.height())));

    // 0.35 mm a pixel: an edge found to half a pixel is well inside the half millimetre.
    const int dpi = 72;
    const QImage rendered = PdfProbe::renderPage(path, dpi);
    QVERIFY(!rendered.isNull());
    const QList<QRect> found = PdfProbe::regions(rendered, isPhotoColour);
    QCOMPARE(found.size(), preview.photos.size());
    const QRectF sheet(QPointF(), preview.paper);
    for (const QRectF &shown : preview.photos) {
        // The page trims an overhanging photo as the preview's sheet does.
        const QRectF expected = shown.intersected(sheet);
        bool matched = false;
        for (const QRect &region : found) {
            const QRectF printed(QPointF(region.x(), region.y()) * 25.4 / dpi,
                                 QSizeF(region.width(), region.height()) * 25.4 / dpi);
            matched = matched || near(printed, expected, 0.5);
        }
        QVERIFY2(matched, qPrintable(QStringLiteral("preview photo %1 not printed").arg(describe(expected))));
    }
}

void TestPrint::landscapePictureOnPortraitPaper_data()
{
    QTest::addColumn<int>("filling");
    QTest::newRow("cropped") << int(Filling::Crop);
    QTest::newRow("完整显示（留白）") << int(Filling::WholePicture);
}

// A landscape picture in "5寸" on portrait A4: six landscape photos, each drawn as the
// picture is (red left, blue right); cropped, its green side bands are cut away.
void TestPrint::landscapePictureOnPortraitPaper()
{
    QFETCH(int, filling);

    PrintDialog dialog(nullptr);
    dialog.setPixmap(markedPhoto(QSize(300, 180), 12));
    dialog.paperBox()->setCurrentIndex(kA4);
    dialog.orientationBox()->setCurrentIndex(int(Orientation::Portrait));
    dialog.photoSizeBox()->setCurrentIndex(kFiveInch);
    dialog.fillingBox()->setCurrentIndex(filling);
    const QString path = printToFile(dialog, QStringLiteral("landscape-%1.pdf").arg(filling), 300);
    const QSizeF page = PdfProbe::pageSizeMillimetres(path);
    QVERIFY(page.height() > page.width());

    const int dpi = 50;
    const QImage rendered = PdfProbe::renderPage(path, dpi);
    const QList<QRect> reds = PdfProbe::regions(rendered, isPhotoColour);
    const QList<QRect> blues = PdfProbe::regions(rendered, isRightColour);
    QCOMPARE(reds.size(), 6);
    QCOMPARE(blues.size(), 6);
    const double perMillimetre = dpi / 25.4;
    for (int i = 0; i < 6; ++i) {
        const QRect photo = reds[i] | blues[i];
        QVERIFY(blues[i].left() > reds[i].right() - 1);
        QVERIFY2(photo.width() > photo.height(), qPrintable(describe(photo)));
        const double height = filling == int(Filling::Crop) ? 70 : 60;
        QVERIFY(qAbs(photo.height() / perMillimetre - height) < 1.5);
    }
    const QList<QRect> edges = PdfProbe::regions(rendered, isEdgeColour);
    QCOMPARE(edges.size(), filling == int(Filling::Crop) ? 0 : 12);
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

void TestPrint::missingPrinterSelectsPdf()
{
    PrintDialog dialog(nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.printerBox()->count(), 1);
    QCOMPARE(dialog.printerBox()->currentText(), QStringLiteral("保存为 PDF…"));
    QVERIFY(dialog.noPrinterNote()->isVisible());
    QCOMPARE(dialog.noPrinterNote()->text(), QStringLiteral("未找到打印机，可将照片保存为 PDF 文件"));
}

void TestPrint::pdfPath_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("offered");

    QTest::newRow("beside the picture") << "/home/u/Pictures/IMG_0001.JPG" << true << "/home/u/Pictures/IMG_0001.pdf";
    QTest::newRow("cut at the last dot") << "/home/u/a.b.png" << true << "/home/u/a.b.pdf";
    QTest::newRow("folder not writable") << "/media/cd/photo.jpg" << false << "/home/u/Documents/photo.pdf";
    QTest::newRow("no picture file") << "" << true << "/home/u/Documents/图片.pdf";
    QTest::newRow("name is only a suffix") << "/home/u/.jpg" << true << "/home/u/图片.pdf";
}

void TestPrint::pdfPath()
{
    QFETCH(QString, picture);
    QFETCH(bool, writable);
    QFETCH(QString, offered);
    QCOMPARE(PdfFile::offeredPathFor(picture, writable, QStringLiteral("/home/u/Documents")), offered);
}

void TestPrint::pdfAsksForTheFile()
{
    PrintDialog dialog(nullptr);
    dialog.setPixmap(photo(QSize(60, 84)));
    dialog.setPicturePath(tempDir.filePath(QStringLiteral("holiday.jpg")));
    dialog.printerBox()->setCurrentIndex(dialog.printerBox()->count() - 1);
    {
        // Cancelled: nothing written, nothing said.
        FileDialogAnswer cancel{QString()};
        dialog.printImage();
        QCOMPARE(cancel.offered, tempDir.filePath(QStringLiteral("holiday.pdf")));
        QVERIFY(messages(dialog).isEmpty());
        QVERIFY(!QFile::exists(cancel.offered));
    }
    // Without the picture's folder, in Documents, or the home folder while there is none.
    PrintDialog unnamed(nullptr);
    unnamed.setPixmap(photo(QSize(60, 84)));
    unnamed.printerBox()->setCurrentIndex(unnamed.printerBox()->count() - 1);
    QString offered;
    unnamed.setPdfFileChooser([&offered](QWidget *, const QString &path) {
        offered = path;
        return QString();
    });
    unnamed.printImage();
    QCOMPARE(offered, QDir(tempDir.path()).filePath(QStringLiteral("图片.pdf")));

    FileDialogAnswer answer(tempDir.filePath(QStringLiteral("holiday.pdf")));
    dialog.printImage();
    QCOMPARE(messages(dialog), QStringList{savedText(tempDir.filePath(QStringLiteral("holiday.pdf")))});
    QCOMPARE(PdfProbe::pageCount(tempDir.filePath(QStringLiteral("holiday.pdf"))), 1);
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
    QCOMPARE(messages(dialog), QStringList{QStringLiteral("无法保存 PDF 文件“%1”：文件夹不存在").arg(path)});
}

void TestPrint::quality_data()
{
    QTest::addColumn<int>("photo");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QSize>("stored");

    // 1寸 at 300 dpi is 295 x 413 pixels: the 1000 x 1400 picture is shrunk to it.
    QTest::newRow("普通质量: 300 dpi of the photo") << kOneInch << int(PrintPicture::Quality::Normal) << QSize(295, 413);
    QTest::newRow("高质量: every pixel") << kOneInch << int(PrintPicture::Quality::High) << QSize(1000, 1400);
    // A picture smaller than 300 dpi of the sheet goes out as it is.
    QTest::newRow("普通质量, fitted to A6") << kFit << int(PrintPicture::Quality::Normal) << QSize(1000, 1400);
}

void TestPrint::quality()
{
    QFETCH(int, photo);
    QFETCH(int, quality);
    QFETCH(QSize, stored);

    PrintDialog dialog(nullptr);
    dialog.setPixmap(::photo(QSize(1000, 1400)));
    dialog.paperBox()->setCurrentIndex(kA6);
    dialog.photoSizeBox()->setCurrentIndex(photo);
    dialog.qualityBox()->setCurrentIndex(quality);
    const QString path = printToFile(dialog, QStringLiteral("quality-%1-%2.pdf").arg(photo).arg(quality), 1200);
    const QList<PdfProbe::Image> images = PdfProbe::images(path);
    QVERIFY(!images.isEmpty());
    for (const PdfProbe::Image &image : images)
        QCOMPARE(image.size, stored);
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
    const QString path = printToFile(dialog, QStringLiteral("copies.pdf"), 300);
    if (copies == 0) {
        QCOMPARE(dialog.copiesField()->toolTip(), QStringLiteral("1–10000 的整数"));
        QCOMPARE(messages(dialog), QStringList{QStringLiteral("1–10000 的整数")});
        return;
    }
    QCOMPARE(messages(dialog), QStringList{savedText(path)});
    QCOMPARE(dialog.printer()->copyCount(), copies);
}

// "灰度" sends grey pixels, not only the printer's flag; the preview shows them grey too.
void TestPrint::greyscale()
{
    const QImage sent
        = PrintPicture::prepared(markedPhoto(QSize(60, 40), 4).toImage(), QRectF(0, 0, 60, 40), QSize(), true);
    QVERIFY(sent.isGrayscale());
    QVERIFY(qGray(sent.pixel(10, 10)) != qGray(sent.pixel(50, 10)));

    PrintDialog dialog(nullptr);
    dialog.setPixmap(markedPhoto(QSize(60, 84), 4));
    dialog.paperBox()->setCurrentIndex(kA6);
    dialog.colourModeBox()->setCurrentIndex(1);
    const QString path = printToFile(dialog, QStringLiteral("grey.pdf"), 300);
    QCOMPARE(dialog.printer()->colorMode(), QPrinter::GrayScale);
    const QList<PdfProbe::Image> images = PdfProbe::images(path);
    QCOMPARE(images.size(), 1);
    QCOMPARE(images.first().colour, QStringLiteral("gray"));
    const QImage page = PdfProbe::renderPage(path, 30);
    int inked = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QRgb pixel = page.pixel(x, y);
            QVERIFY(qAbs(qRed(pixel) - qGreen(pixel)) <= 2 && qAbs(qGreen(pixel) - qBlue(pixel)) <= 2);
            inked += qGray(pixel) < 200;
        }
    }
    QVERIFY(inked > page.width() * page.height() / 4);

    for (QGraphicsItem *item : dialog.previewScene()->items()) {
        if (auto *shown = qgraphicsitem_cast<QGraphicsPixmapItem *>(item))
            QVERIFY(shown->pixmap().toImage().isGrayscale());
    }
}

// A picture carrying another colour profile is printed as sRGB, with the colours
// it shows rather than its numbers.
void TestPrint::colourProfileConverted()
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 80));
    picture.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    QImage expected = picture.copy(10, 0, 20, 30);
    expected.convertToColorSpace(QColorSpace(QColorSpace::SRgb));

    const QImage sent = PrintPicture::prepared(picture, QRectF(10, 0, 20, 30), QSize(), false);
    QCOMPARE(sent.size(), QSize(20, 30));
    QCOMPARE(sent.colorSpace(), QColorSpace(QColorSpace::SRgb));
    QCOMPARE(sent.pixel(5, 5), expected.pixel(5, 5));
    QVERIFY(sent.pixel(5, 5) != picture.pixel(5, 5));
    // Shrunk first ("普通质量", the preview), still converted.
    const QImage shrunk = PrintPicture::prepared(picture, QRectF(10, 0, 20, 30), QSize(10, 15), false);
    QCOMPARE(shrunk.size(), QSize(10, 15));
    QCOMPARE(shrunk.pixel(5, 5), expected.pixel(5, 5));
    // sRGB and untagged pictures are sent as they are.
    picture.setColorSpace(QColorSpace(QColorSpace::SRgb));
    QCOMPARE(PrintPicture::prepared(picture, picture.rect(), QSize(), false), picture);
}

namespace {

// Runs `act` on the page setup dialog once it is up, then accepts it (or rejects it
// when act returns false); closes whatever is modal after a few seconds.
bool onPageSetup(PrintDialog &dialog, const std::function<bool(QPageSetupDialog *)> &act)
{
    bool seen = false;
    QTimer poll;
    int rounds = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *setup = qobject_cast<QPageSetupDialog *>(QApplication::activeModalWidget())) {
            poll.stop();
            seen = setup->printer() == dialog.printer();
            if (act(setup))
                setup->accept();
            else
                setup->reject();
        } else if (++rounds > 100) {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
    poll.start(50);
    dialog.openPageSetup();
    return seen;
}

QComboBox *pageSizeBox(QPageSetupDialog *setup)
{
    return setup->findChild<QComboBox *>(QStringLiteral("pageSizeCombo"));
}

// Chooses a paper in the page setup's size box, whatever language it speaks.
bool choosePaper(QPageSetupDialog *setup, QPageSize::PageSizeId id)
{
    QComboBox *sizes = pageSizeBox(setup);
    int index = -1;
    for (int i = 0; sizes && i < sizes->count() && index < 0; ++i) {
        if (sizes->itemData(i).value<QPageSize>().id() == id)
            index = i;
    }
    if (index < 0)
        return false;
    sizes->setCurrentIndex(index);
    return true;
}

} // namespace

void TestPrint::pageSetupReturns()
{
    PrintDialog dialog(nullptr);
    dialog.setPixmap(photo(QSize(60, 84)));
    QVERIFY(onPageSetup(dialog, [](QPageSetupDialog *) { return false; }));
    // Dismissed: the dialog's own choices stand.
    QCOMPARE(dialog.orientationBox()->currentText(), QStringLiteral("自动"));
}

// A paper and an orientation chosen under "高级设置" show on the dialog, in the
// preview and on paper; a paper not listed shows as "自定义" and is the one printed.
void TestPrint::pageSetupChangesReachTheDialog()
{
    PrintDialog dialog(nullptr);
    dialog.setPixmap(photo(QSize(60, 84)));
    // Portrait under "自动": a tie, the picture's way.
    dialog.photoSizeBox()->setCurrentIndex(kFiveInch);
    QVERIFY(onPageSetup(dialog, [](QPageSetupDialog *setup) {
        auto *landscape = setup->findChild<QAbstractButton *>(QStringLiteral("landscape"));
        if (!landscape || !choosePaper(setup, QPageSize::Letter))
            return false;
        landscape->click();
        return true;
    }));
    QCOMPARE(dialog.paperBox()->currentText(), QStringLiteral("Letter"));
    QCOMPARE(dialog.orientationBox()->currentText(), QStringLiteral("横向"));
    PreviewSheet preview = previewOf(dialog);
    QVERIFY(qAbs(preview.paper.width() - 279.4) < 0.01);

    QVERIFY(onPageSetup(dialog, [](QPageSetupDialog *setup) { return choosePaper(setup, QPageSize::Legal); }));
    QCOMPARE(dialog.paperBox()->currentText(), QStringLiteral("自定义"));
    preview = previewOf(dialog);
    QVERIFY(qAbs(preview.paper.width() - 355.6) < 0.01);
    const QString path = printToFile(dialog, QStringLiteral("legal.pdf"), 300);
    const QSizeF page = PdfProbe::pageSizeMillimetres(path);
    QVERIFY2(qAbs(page.width() - 355.6) < 0.5 && qAbs(page.height() - 215.9) < 0.5,
             qPrintable(QStringLiteral("%1 x %2").arg(page.width()).arg(page.height())));
}

void TestPrint::dialogChangesReachPageSetup()
{
    PrintDialog dialog(nullptr);
    dialog.setPixmap(photo(QSize(60, 84)));
    dialog.paperBox()->setCurrentIndex(kFiveBySeven);
    dialog.orientationBox()->setCurrentIndex(int(Orientation::Landscape));
    bool landscape = false;
    QVariant size;
    QVERIFY(onPageSetup(dialog, [&](QPageSetupDialog *setup) {
        auto *button = setup->findChild<QAbstractButton *>(QStringLiteral("landscape"));
        landscape = button && button->isChecked();
        size = setup->printer()->pageLayout().fullRect(QPageLayout::Millimeter).size();
        return false;
    }));
    QVERIFY(landscape);
    QVERIFY2(qAbs(size.toSizeF().width() - 177.8) < 0.1, qPrintable(QString::number(size.toSizeF().width())));
}

void TestPrint::lastPaperPreselected()
{
    {
        PrintDialog first(nullptr);
        first.paperBox()->setCurrentIndex(kFiveBySeven);
    }
    PrintDialog next(nullptr);
    QCOMPARE(next.paperBox()->currentIndex(), kFiveBySeven);
    next.paperBox()->setCurrentIndex(kA4);
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
