#include "print/PrintDialog.h"

#include "PdfFile.h"
#include "PrintLayout.h"
#include "PrintLog.h"
#include "PrintPicture.h"
#include "widgets/CaptionLabel.h"
#include "widgets/MessageBox.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"
#include "widgets/UiProfile.h"

#include <QFileInfo>
#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kGreyscaleIndex = 1; // "灰度"
constexpr int kBorderlessIndex = 1; // "无边距"
constexpr int kMaxCopies = 10000;
const QSize kDialogSize(1100, 800);
// Room left around the dialog for the window manager's frame and title.
const QSize kFrameRoom(40, 80);
// Preview units kept around a sheet that is scaled down to fit the view.
constexpr double kPreviewRoom = 20;
// Marks the printer box's "保存为 PDF…" item, which is no printer.
const QString kPdfItem = QStringLiteral("pdf");

QString printStartedText()
{
    return QStringLiteral("开始打印文件");
}
QString noPrinterText()
{
    return QStringLiteral("没有可用的打印机，请先安装打印机！");
}
QString choosePrinterText()
{
    return QStringLiteral("请选择打印机");
}
QString printerGoneText()
{
    return QStringLiteral("打印机不可用，请检查打印机！");
}
QString photoTooLargeText()
{
    return QStringLiteral("照片尺寸大于纸张，请选择更大的纸张或更小的照片尺寸");
}
QString customPaperText()
{
    return QStringLiteral("自定义");
}

// The paper of the last print setting in this run, offered by the next dialog.
QPageSize &lastPaper()
{
    static QPageSize paper = PrintLayout::paperSize(0);
    return paper;
}

QString printerFailedText(const QString &printer)
{
    return QStringLiteral("无法把打印任务交给打印机“%1”，请检查打印机是否开启并连接！").arg(printer);
}

} // namespace

PrintDialog::PrintDialog(QWidget *parent)
    : QDialog(parent)
    , previewView(nullptr)
    , sheetScene(new QGraphicsScene(this))
    , photoSizeCombo(new StyledComboBox(this))
    , fillingCombo(new StyledComboBox(this))
    , paperCombo(new StyledComboBox(this))
    , orientationCombo(new StyledComboBox(this))
    , marginsCombo(new StyledComboBox(this))
    , printerCombo(new StyledComboBox(this))
    , colourModeCombo(new StyledComboBox(this))
    , qualityCombo(new StyledComboBox(this))
    , copiesEdit(new NumberField(NumberRule{1, kMaxCopies, false}, this))
    , noPrinterLabel(new QLabel(QStringLiteral("未找到打印机，可将照片保存为 PDF 文件"), this))
    , choosePdfFile(PdfFile::ask)
    , printDevice(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setWindowTitle(QStringLiteral("打印图片"));
    // Each press of the viewer's print button makes a new dialog; a closed one goes
    // with the copy of the picture it holds.
    setAttribute(Qt::WA_DeleteOnClose);
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    setFixedSize(screen ? sizeFor(screen->availableGeometry()) : kDialogSize);

    previewView = new QGraphicsView(sheetScene, this);
    previewView->setRenderHint(QPainter::SmoothPixmapTransform);
    previewView->setStyleSheet(QStringLiteral("QGraphicsView{border:0px;}"));
    // A grey desk, so the white sheet stands out from the view.
    sheetScene->setBackgroundBrush(QColor(0xF2, 0xF5, 0xF7));

    photoSizeCombo->addItems(PrintLayout::photoNames());
    photoSizeCombo->setCurrentIndex(PrintLayout::kFitPhotoIndex);
    fillingCombo->addItems(PrintLayout::fillingNames());
    paperCombo->addItems(PrintLayout::paperNames());
    showPaper(lastPaper());
    orientationCombo->addItems(PrintLayout::orientationNames());
    orientationCombo->setCurrentIndex(int(PrintLayout::Orientation::Automatic));
    marginsCombo->addItems({QStringLiteral("标准边距"), QStringLiteral("无边距")});
    // These two apply to one kind of layout each; greyed out for the other.
    for (StyledComboBox *box : {fillingCombo, marginsCombo})
        box->setStyleSheet(box->styleSheet()
                           + QStringLiteral("QComboBox:disabled{color:#B0B0B0;border-color:#C8D6E5;}"));
    noPrinterLabel->setObjectName(QStringLiteral("noPrinterNote"));
    noPrinterLabel->setFont(UiProfile::bodyFont());
    noPrinterLabel->setStyleSheet(QStringLiteral("color:#E0502F;"));
    noPrinterLabel->setWordWrap(true);
    loadAvailablePrinters();
    colourModeCombo->addItems({QStringLiteral("彩色"), QStringLiteral("灰度")});
    qualityCombo->addItems({QStringLiteral("高质量"), QStringLiteral("普通质量")});
    copiesEdit->setText(QStringLiteral("1"));

    auto *grid = new QGridLayout;
    const QList<QPair<QString, QWidget *>> rows = {
        {QStringLiteral("照片尺寸:"), photoSizeCombo}, {QStringLiteral("照片填充:"), fillingCombo},
        {QStringLiteral("纸张大小:"), paperCombo},     {QStringLiteral("纸张方向:"), orientationCombo},
        {QStringLiteral("页边距:"), marginsCombo},     {QStringLiteral("打印机:"), printerCombo},
        {QString(), noPrinterLabel},                   {QStringLiteral("打印模式:"), colourModeCombo},
        {QStringLiteral("打印质量:"), qualityCombo},   {QStringLiteral("打印份数:"), copiesEdit},
    };
    for (int row = 0; row < rows.size(); ++row) {
        if (!rows[row].first.isEmpty())
            grid->addWidget(new CaptionLabel(rows[row].first, this), row, 0);
        grid->addWidget(rows[row].second, row, 1);
    }

    auto *printButton = new QPushButton(QStringLiteral("打印"), this);
    auto *setupButton = new QPushButton(QStringLiteral("高级设置"), this);
    // Sized and styled like the fields above them, the print button in the
    // confirmation blue of the message dialog.
    for (QPushButton *button : {printButton, setupButton}) {
        button->setFont(UiProfile::bodyFont());
        button->setFixedHeight(UiProfile::pick(35, 45));
        button->setCursor(Qt::PointingHandCursor);
    }
    printButton->setStyleSheet(QStringLiteral(
        "QPushButton{background:#2F69F2;border-radius:5px;color:white;}QPushButton:hover{background:#487FFF;}"));
    setupButton->setStyleSheet(QStringLiteral("QPushButton{background:white;border:1px solid #027DF0;border-radius:5px;"
                                              "color:#484848;}QPushButton:hover{background:#F2F5F7;}"));
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(printButton);
    buttons->addWidget(setupButton);

    auto *panel = new QVBoxLayout;
    panel->setContentsMargins(0, 0, 0, 0);
    panel->addLayout(grid);
    panel->addStretch();
    panel->addLayout(buttons);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(previewView, 5);
    layout->addLayout(panel, 4);

    for (StyledComboBox *box : {photoSizeCombo, fillingCombo, paperCombo, orientationCombo, marginsCombo,
                                colourModeCombo})
        connect(box, &QComboBox::currentTextChanged, this, &PrintDialog::updatePreview);
    connect(paperCombo, &QComboBox::currentTextChanged, this, [this] { lastPaper() = chosenPaper(); });
    connect(printButton, &QPushButton::clicked, this, &PrintDialog::printImage);
    connect(setupButton, &QPushButton::clicked, this, &PrintDialog::openPageSetup);
    updateControls();
}

PrintDialog::~PrintDialog() = default;

void PrintDialog::setPixmap(const QPixmap &pixmap)
{
    picture = pixmap.toImage();
    updatePreview();
}

void PrintDialog::setPdfFileChooser(PdfFileChooser chooser)
{
    choosePdfFile = std::move(chooser);
}

void PrintDialog::setPicturePath(const QString &path)
{
    picturePath = path;
}

QPrinter *PrintDialog::printer() const
{
    return printDevice.get();
}

QGraphicsScene *PrintDialog::previewScene() const
{
    return sheetScene;
}

StyledComboBox *PrintDialog::photoSizeBox() const
{
    return photoSizeCombo;
}

StyledComboBox *PrintDialog::fillingBox() const
{
    return fillingCombo;
}

StyledComboBox *PrintDialog::paperBox() const
{
    return paperCombo;
}

StyledComboBox *PrintDialog::orientationBox() const
{
    return orientationCombo;
}

StyledComboBox *PrintDialog::marginsBox() const
{
    return marginsCombo;
}

StyledComboBox *PrintDialog::printerBox() const
{
    return printerCombo;
}

StyledComboBox *PrintDialog::colourModeBox() const
{
    return colourModeCombo;
}

StyledComboBox *PrintDialog::qualityBox() const
{
    return qualityCombo;
}

NumberField *PrintDialog::copiesField() const
{
    return copiesEdit;
}

QLabel *PrintDialog::noPrinterNote() const
{
    return noPrinterLabel;
}

int PrintDialog::preferredPrinterIndex(const QStringList &names)
{
    for (int i = 0; i < names.size(); ++i) {
        const QString name = names[i].toLower();
        if (!name.contains(QLatin1String("onenote")) && !name.contains(QLatin1String("print to pdf")))
            return i;
    }
    return -1;
}

QString PrintDialog::unavailableText(int printerCount, int selectedIndex)
{
    if (printerCount <= 0)
        return noPrinterText();
    if (selectedIndex < 0)
        return choosePrinterText();
    return printerGoneText();
}

QSize PrintDialog::sizeFor(const QRect &available)
{
    return kDialogSize.boundedTo(available.size() - kFrameRoom);
}

void PrintDialog::loadAvailablePrinters()
{
    printerCombo->clear();
    const QStringList names = QPrinterInfo::availablePrinterNames();
    printerCombo->addItems(names);
    printerCombo->addItem(QStringLiteral("保存为 PDF…"), kPdfItem);
    printerCombo->setCurrentIndex(names.isEmpty() ? printerCombo->count() - 1 : preferredPrinterIndex(names));
    noPrinterLabel->setVisible(names.isEmpty());
}

PrintLayout::Sheet PrintDialog::currentSheet() const
{
    PrintLayout::Request request;
    request.paper = chosenPaper().size(QPageSize::Millimeter);
    request.photo = PrintLayout::photoMillimetres(photoSizeCombo->currentIndex());
    request.picture = picture.size();
    request.orientation = PrintLayout::Orientation(orientationCombo->currentIndex());
    request.filling = PrintLayout::Filling(fillingCombo->currentIndex());
    request.borderless = marginsCombo->currentIndex() == kBorderlessIndex;
    return PrintLayout::layOut(request);
}

void PrintDialog::updatePreview()
{
    updateControls();
    if (picture.isNull())
        return;
    sheetScene->clear();

    const PrintLayout::Sheet sheet = currentSheet();
    const QSizeF paper = sheet.paper * PrintLayout::kPreviewScale;
    // The scene spans the view exactly, so the sheet sits where it is placed and an
    // earlier, larger sheet leaves no scroll range behind. On a screen too small for
    // the whole sheet the scene grows around it and the view shows it scaled down.
    const QSizeF viewSize = previewView->size();
    const QSizeF sceneSize = viewSize.expandedTo(paper + QSizeF(kPreviewRoom, kPreviewRoom));
    sheetScene->setSceneRect(QRectF(QPointF(0, 0), sceneSize));
    if (sceneSize == viewSize)
        previewView->resetTransform();
    else
        previewView->fitInView(sheetScene->sceneRect(), Qt::KeepAspectRatio);
    const QPointF origin((sceneSize.width() - paper.width()) * 0.5, (sceneSize.height() - paper.height()) * 0.5);
    QPen border(Qt::black);
    border.setCosmetic(true);
    // A photo overhanging the sheet is trimmed by it, on screen as on paper.
    QGraphicsRectItem *sheetItem = sheetScene->addRect(QRectF(origin, paper), border, QBrush(Qt::white));
    sheetItem->setFlag(QGraphicsItem::ItemClipsChildrenToShape);
    qCDebug(lcPrint) << "preview:" << sheet.paper << "mm" << sheet.orientation << sheet.cells.size() << "photos";
    if (sheet.pictures.isEmpty()) {
        auto *note = new QGraphicsTextItem(sheetItem);
        note->setFont(UiProfile::bodyFont());
        note->setDefaultTextColor(QColor(0x48, 0x48, 0x48));
        note->setTextWidth(paper.width() * 0.8);
        note->setHtml(QStringLiteral("<div align=\"center\">%1</div>").arg(photoTooLargeText().toHtmlEscaped()));
        note->setPos(origin + QPointF(paper.width() * 0.1, (paper.height() - note->boundingRect().height()) * 0.5));
        return;
    }

    // One scaled copy for every cell, each item stretched onto its exact place.
    const QRectF first = PrintLayout::scaled(sheet.pictures.first(), PrintLayout::kPreviewScale);
    // As many pixels as the screen shows, so a high-density screen gets a sharp preview.
    const QSize pixels = (first.size() * previewView->transform().m11() * previewView->devicePixelRatioF())
                             .toSize()
                             .expandedTo(QSize(1, 1));
    const QImage part = PrintPicture::prepared(picture, sheet.source, pixels,
                                               colourModeCombo->currentIndex() == kGreyscaleIndex);
    const QPixmap scaled
        = QPixmap::fromImage(part.size() == pixels ? part
                                                   : part.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    const QTransform stretch = QTransform::fromScale(first.width() / scaled.width(), first.height() / scaled.height());
    for (const QRectF &place : sheet.pictures) {
        auto *item = new QGraphicsPixmapItem(scaled, sheetItem);
        item->setTransformationMode(Qt::SmoothTransformation);
        item->setTransform(stretch);
        item->setPos(PrintLayout::scaled(place, PrintLayout::kPreviewScale, origin).topLeft());
    }
}

void PrintDialog::updateControls()
{
    const bool fitted = photoSizeCombo->currentIndex() == PrintLayout::kFitPhotoIndex;
    fillingCombo->setEnabled(!fitted);
    marginsCombo->setEnabled(fitted);
}

QPageSize PrintDialog::chosenPaper() const
{
    const QPageSize listed = PrintLayout::paperSize(paperCombo->currentIndex());
    return listed.isValid() ? listed : customPaper;
}

void PrintDialog::showPaper(const QPageSize &paper)
{
    const int listed = PrintLayout::paperIndexOf(paper);
    if (listed >= 0) {
        paperCombo->setCurrentIndex(listed);
        return;
    }
    customPaper = paper;
    const int customIndex = PrintLayout::paperNames().size();
    if (paperCombo->count() <= customIndex)
        paperCombo->addItem(customPaperText());
    // A custom paper replacing another one still has to redraw.
    if (paperCombo->currentIndex() == customIndex)
        updatePreview();
    paperCombo->setCurrentIndex(customIndex);
    lastPaper() = customPaper;
}

bool PrintDialog::pdfChosen() const
{
    return printerCombo->currentData().toString() == kPdfItem;
}

bool PrintDialog::choosePrinter()
{
    if (pdfChosen()) {
        printDevice->setOutputFormat(QPrinter::PdfFormat);
        return true;
    }
    const QString name = printerCombo->currentIndex() < 0 ? QString() : printerCombo->currentText();
    if (name.isEmpty())
        return false;
    // A file name left from a PDF print would follow the printer and catch its job.
    if (!printDevice->outputFileName().isEmpty())
        printDevice->setOutputFileName(QString());
    printDevice->setPrinterName(name);
    return printDevice->outputFormat() == QPrinter::NativeFormat && printDevice->printerName() == name;
}

QString PrintDialog::askPdfPath()
{
    return choosePdfFile(this, PdfFile::offeredPath(picturePath));
}

void PrintDialog::tell(const QString &text)
{
    (new MessageBox(text, this))->show();
}

void PrintDialog::configurePrinter()
{
    const PrintLayout::Sheet sheet = currentSheet();
    // The job's title in the printer's queue.
    printDevice->setDocName(picturePath.isEmpty() ? QStringLiteral("Quorvane") : QFileInfo(picturePath).fileName());
    printDevice->setCopyCount(copiesEdit->value().value_or(1));
    printDevice->setColorMode(colourModeCombo->currentIndex() == kGreyscaleIndex ? QPrinter::GrayScale
                                                                                 : QPrinter::Color);
    printDevice->setFullPage(true);
    printDevice->setPageSize(chosenPaper());
    printDevice->setPageOrientation(sheet.orientation);
    printDevice->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

void PrintDialog::printImage()
{
    if (picture.isNull())
        return;
    if (const QString problem = copiesEdit->problem(); !problem.isEmpty()) {
        tell(problem);
        return;
    }
    // An empty printer name would make the printer write a PDF to nowhere; say so
    // instead of announcing a print that never happens.
    if (!choosePrinter()) {
        const int printers = printerCombo->count() - (printerCombo->findData(kPdfItem) >= 0 ? 1 : 0);
        tell(unavailableText(printers, printerCombo->currentIndex()));
        return;
    }
    const PrintLayout::Sheet sheet = currentSheet();
    if (sheet.pictures.isEmpty()) {
        tell(photoTooLargeText());
        return;
    }

    QString pdfPath;
    bool pdfExisted = false;
    if (pdfChosen()) {
        pdfPath = askPdfPath();
        if (pdfPath.isEmpty())
            return;
        if (const QString reason = PdfFile::unwritableReason(pdfPath); !reason.isEmpty()) {
            tell(PdfFile::failedText(pdfPath, reason));
            return;
        }
        pdfExisted = QFileInfo::exists(pdfPath);
        printDevice->setOutputFileName(pdfPath);
    }
    configurePrinter();
    const auto failed = [&] {
        // A file this print started is not left half written.
        if (!pdfPath.isEmpty() && !pdfExisted)
            QFile::remove(pdfPath);
        tell(pdfPath.isEmpty() ? printerFailedText(printerCombo->currentText())
                               : PdfFile::failedText(pdfPath, QStringLiteral("写入失败")));
    };

    QPainter painter;
    if (!painter.begin(printDevice.get())) {
        failed();
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double dotsPerMillimetre = printDevice->resolution() / 25.4;
    const QSize largest = PrintPicture::largestFor(PrintPicture::Quality(qualityCombo->currentIndex()),
                                                   sheet.pictures.first().size());
    const QImage drawn = PrintPicture::prepared(picture, sheet.source, largest,
                                                colourModeCombo->currentIndex() == kGreyscaleIndex);
    qCDebug(lcPrint) << "print:" << sheet.paper << "mm" << sheet.orientation << sheet.pictures.size() << "photos of"
                     << drawn.size() << "pixels at" << printDevice->resolution() << "dpi";
    for (const QRectF &place : sheet.pictures)
        painter.drawImage(PrintLayout::scaled(place, dotsPerMillimetre), drawn);
    // Announced once the job is handed over, so a refused job is not reported as started.
    if (painter.end())
        tell(pdfPath.isEmpty() ? printStartedText() : PdfFile::savedText(pdfPath));
    else
        failed();
}

void PrintDialog::openPageSetup()
{
    // Set up the printer chosen in the box, not whichever the printer held before,
    // with the paper and orientation the dialog shows.
    choosePrinter();
    configurePrinter();
    const QPageLayout::Orientation before = printDevice->pageLayout().orientation();
    QPageSetupDialog dialog(printDevice.get(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QPageLayout chosen = printDevice->pageLayout();
    if (!chosen.pageSize().isEquivalentTo(chosenPaper()))
        showPaper(chosen.pageSize());
    // An orientation left as it was keeps "自动".
    if (chosen.orientation() != before)
        orientationCombo->setCurrentIndex(int(chosen.orientation() == QPageLayout::Landscape
                                                  ? PrintLayout::Orientation::Landscape
                                                  : PrintLayout::Orientation::Portrait));
}

void PrintDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The view has its final size only now; a picture handed over earlier was laid
    // out for a view that was not yet placed.
    updatePreview();
}
