#include "print/PrintDialog.h"

#include "PrintLayout.h"
#include "PrintLog.h"
#include "widgets/CaptionLabel.h"
#include "widgets/MessageBox.h"
#include "widgets/NumberField.h"
#include "widgets/StyledComboBox.h"
#include "widgets/UiProfile.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>

#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kGreyscaleIndex = 1; // "灰度"
constexpr int kMaxCopies = 10000;
const QSize kDialogSize(1100, 800);
// Room left around the dialog for the window manager's frame and title.
const QSize kFrameRoom(40, 80);
// Preview units kept around a sheet that is scaled down to fit the view.
constexpr double kPreviewRoom = 20;

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
QString printFailedText()
{
    return QStringLiteral("打印失败，请检查打印机！");
}

void logPrintGrid(const PrintLayout::Grid &grid, const QSizeF &sheet, const QSizeF &paperMillimetres)
{
    qCDebug(lcPrint) << "rect width:" << sheet.width() << ",rect height:" << sheet.height()
                     << ",paperWidth:" << sheet.width() << ",paperHeight:" << sheet.height();
    qCDebug(lcPrint) << "cols=========:" << int(sheet.width() / grid.photo.width())
                     << ",rows===========:" << int(sheet.height() / grid.photo.height())
                     << ",paperWidth:" << sheet.width() << ",photoWidth:" << grid.photo.width();
    qCDebug(lcPrint) << "paper mills width:" << paperMillimetres.width() << ",paperWidth:" << sheet.width()
                     << ",photoWidth:" << grid.photo.width() << ",spacing x:" << grid.x.spacing
                     << ",spacing y:" << grid.y.spacing;
}

} // namespace

PrintDialog::PrintDialog(QWidget *parent)
    : QDialog(parent)
    , previewView(nullptr)
    , sheetScene(new QGraphicsScene(this))
    , photoSizeCombo(new StyledComboBox(this))
    , paperCombo(new StyledComboBox(this))
    , printerCombo(new StyledComboBox(this))
    , colourModeCombo(new StyledComboBox(this))
    , qualityBox(new StyledComboBox(this))
    , copiesEdit(new NumberField(NumberRule{1, kMaxCopies, false}, this))
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
    paperCombo->addItems(PrintLayout::paperNames());
    paperCombo->setCurrentText(QStringLiteral("A4"));
    loadAvailablePrinters();
    colourModeCombo->addItems({QStringLiteral("彩色"), QStringLiteral("灰度")});
    qualityBox->addItems({QStringLiteral("高质量"), QStringLiteral("普通质量")});
    copiesEdit->setText(QStringLiteral("1"));

    auto *grid = new QGridLayout;
    const QList<QPair<QString, QWidget *>> rows = {
        {QStringLiteral("照片尺寸:"), photoSizeCombo}, {QStringLiteral("纸张大小:"), paperCombo},
        {QStringLiteral("打印机:"), printerCombo},     {QStringLiteral("打印模式:"), colourModeCombo},
        {QStringLiteral("打印质量:"), qualityBox},     {QStringLiteral("打印份数:"), copiesEdit},
    };
    for (int row = 0; row < rows.size(); ++row) {
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

    connect(photoSizeCombo, &QComboBox::currentTextChanged, this, &PrintDialog::updatePreview);
    connect(paperCombo, &QComboBox::currentTextChanged, this, &PrintDialog::updatePreview);
    connect(printButton, &QPushButton::clicked, this, &PrintDialog::printImage);
    connect(setupButton, &QPushButton::clicked, this, &PrintDialog::openPageSetup);
}

PrintDialog::~PrintDialog() = default;

void PrintDialog::setPixmap(const QPixmap &pixmap)
{
    picture = pixmap;
    updatePreview();
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

StyledComboBox *PrintDialog::paperBox() const
{
    return paperCombo;
}

StyledComboBox *PrintDialog::printerBox() const
{
    return printerCombo;
}

StyledComboBox *PrintDialog::colourModeBox() const
{
    return colourModeCombo;
}

NumberField *PrintDialog::copiesField() const
{
    return copiesEdit;
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
    if (!names.isEmpty())
        printerCombo->setCurrentIndex(0);
    printerCombo->setCurrentIndex(preferredPrinterIndex(names));
}

void PrintDialog::updatePreview()
{
    if (picture.isNull())
        return;
    sheetScene->clear();

    const int photoIndex = photoSizeCombo->currentIndex();
    const QSizeF paper = PrintLayout::paperMillimetres(paperCombo->currentIndex()) * PrintLayout::kPreviewScale;
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
    const QRectF sheet = PrintLayout::previewSheet(paper, sceneSize);
    QGraphicsRectItem *sheetItem
        = sheetScene->addRect(QRectF(QPointF(0, 0), sheet.size()), QPen(Qt::black), QBrush(Qt::white));
    sheetItem->setPos(sheet.topLeft());

    if (photoIndex != PrintLayout::kFitPhotoIndex) {
        const QSizeF photo = PrintLayout::photoMillimetres(photoIndex) * PrintLayout::kPreviewScale;
        const PrintLayout::Grid grid = PrintLayout::previewGrid(paper, photo);
        qCDebug(lcPrint) << "cols=========:" << grid.x.count << ",rows===========:" << grid.y.count
                         << ",paperWidth:" << paper.width() << ",photoWidth:" << photo.width()
                         << ",xspan:" << grid.x.spacing << ",ySpan:" << grid.y.spacing;
    }

    const QVector<QRectF> rects = PrintLayout::previewPictures(photoIndex, sheet, picture.size());
    if (rects.isEmpty())
        return;
    const QPixmap scaled
        = picture.scaled(rects.first().size().toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (const QRectF &rect : rects)
        sheetScene->addPixmap(scaled)->setPos(rect.topLeft());
}

bool PrintDialog::choosePrinter()
{
    if (printDevice->outputFormat() == QPrinter::PdfFormat && !printDevice->outputFileName().isEmpty())
        return true;
    const QString name = printerCombo->currentIndex() < 0 ? QString() : printerCombo->currentText();
    if (name.isEmpty())
        return false;
    printDevice->setPrinterName(name);
    return printDevice->outputFormat() == QPrinter::NativeFormat && printDevice->printerName() == name;
}

void PrintDialog::tell(const QString &text)
{
    (new MessageBox(text, this))->show();
}

void PrintDialog::configurePrinter(const QSizeF &paperMillimetres)
{
    printDevice->setCopyCount(copiesEdit->value().value_or(1));
    printDevice->setColorMode(colourModeCombo->currentIndex() == kGreyscaleIndex ? QPrinter::GrayScale
                                                                                 : QPrinter::Color);
    printDevice->setFullPage(true);
    printDevice->setPageSize(QPageSize(paperMillimetres, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch));
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
        tell(unavailableText(printerCombo->count(), printerCombo->currentIndex()));
        return;
    }
    const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    const int photoIndex = photoSizeCombo->currentIndex();
    const QSizeF paperMillimetres = PrintLayout::paperMillimetres(paperCombo->currentIndex());
    configurePrinter(paperMillimetres);

    QPainter painter;
    if (!painter.begin(printDevice.get())) {
        tell(printFailedText());
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int dpi = printDevice->resolution();
    QSizeF sheet;
    if (photoIndex != PrintLayout::kFitPhotoIndex) {
        sheet = printDevice->paperRect(QPrinter::DevicePixel).size();
        logPrintGrid(PrintLayout::printGrid(sheet, PrintLayout::photoMillimetres(photoIndex), dpi), sheet,
                     paperMillimetres);
    } else {
        sheet = printDevice->pageRect(QPrinter::DevicePixel).size();
    }

    const QVector<QRectF> rects = PrintLayout::printPictures(photoIndex, sheet, dpi, image.size());
    if (!rects.isEmpty()) {
        const QSize size = rects.first().size().toSize();
        // Only shrink here: a smaller picture goes out at its own size and is enlarged
        // by the printer, so a whole sheet at 1200 dpi costs no full-size copy.
        const QImage drawn = size.width() < image.width()
            ? image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            : image;
        for (const QRectF &rect : rects)
            painter.drawImage(rect, drawn);
    }
    // Announced once the job is handed over, so a refused job is not reported as started.
    tell(painter.end() ? printStartedText() : printFailedText());
}

void PrintDialog::openPageSetup()
{
    // Set up the printer chosen in the box, not whichever the printer held before.
    choosePrinter();
    QPageSetupDialog dialog(printDevice.get(), this);
    dialog.exec();
}

void PrintDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The view has its final size only now; a picture handed over earlier was laid
    // out for a view that was not yet placed.
    updatePreview();
}
