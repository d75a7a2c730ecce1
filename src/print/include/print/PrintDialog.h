#pragma once

#include <QDialog>
#include <QPageSize>
#include <QImage>
#include <QPixmap>
#include <QStringList>

#include <functional>
#include <memory>

class StyledComboBox;
class NumberField;
class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QPrinter;

namespace PrintLayout {
struct Sheet;
}

// Prints the viewer's picture fitted to the sheet or as a grid of photo-size
// prints, to a printer or a PDF file, with a preview of the sheet as it prints.
class PrintDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PrintDialog(QWidget *parent);
    ~PrintDialog() override;

    void setPixmap(const QPixmap &pixmap);
    // The picture's file: names the PDF file offered.
    void setPicturePath(const QString &path);

    // Asks where to save a PDF, offering a path; returns the path chosen, empty when
    // cancelled. A save-file dialog unless set otherwise.
    using PdfFileChooser = std::function<QString(QWidget *parent, const QString &offered)>;
    void setPdfFileChooser(PdfFileChooser chooser);

    // The printer every print of this dialog goes to.
    QPrinter *printer() const;

    QGraphicsScene *previewScene() const;
    StyledComboBox *photoSizeBox() const;
    StyledComboBox *fillingBox() const;
    StyledComboBox *paperBox() const;
    StyledComboBox *orientationBox() const;
    StyledComboBox *marginsBox() const;
    StyledComboBox *printerBox() const;
    StyledComboBox *colourModeBox() const;
    StyledComboBox *qualityBox() const;
    NumberField *copiesField() const;
    // "未找到打印机…", shown when no printer is installed.
    QLabel *noPrinterNote() const;

    // The printer to pre-select: the first one that is not a note-taking or
    // print-to-PDF pseudo printer; -1 when there is none.
    static int preferredPrinterIndex(const QStringList &names);

    // Why a print cannot start, given the printers listed and the one selected (-1
    // for none): none installed, none chosen, or the chosen one gone.
    static QString unavailableText(int printerCount, int selectedIndex);

    // The dialog's size on a screen with the given available area: its own size,
    // shrunk to leave room for the window frame so its buttons stay reachable.
    static QSize sizeFor(const QRect &available);

public slots:
    void loadAvailablePrinters();
    void updatePreview();
    void printImage();
    void openPageSetup();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The sheet as the boxes describe it, for the preview and the print alike.
    PrintLayout::Sheet currentSheet() const;
    bool pdfChosen() const;
    // Points the printer at the box's printer; false when it names none that exists.
    bool choosePrinter();
    // The PDF file to write, asked of the user; empty when cancelled.
    QString askPdfPath();
    // Paper, orientation, copies and colour mode of the next print.
    void configurePrinter();
    // The paper the paper box names: a listed one, or the one set up under "高级设置".
    QPageSize chosenPaper() const;
    // Shows a paper in the paper box, as "自定义" when it is not listed.
    void showPaper(const QPageSize &paper);
    void updateControls();
    // A message box over the dialog.
    void tell(const QString &text);

    QGraphicsView *previewView;
    QGraphicsScene *sheetScene;
    StyledComboBox *photoSizeCombo;
    StyledComboBox *fillingCombo;
    StyledComboBox *paperCombo;
    StyledComboBox *orientationCombo;
    StyledComboBox *marginsCombo;
    StyledComboBox *printerCombo;
    StyledComboBox *colourModeCombo;
    StyledComboBox *qualityCombo;
    NumberField *copiesEdit;
    QLabel *noPrinterLabel;
    QImage picture;
    QString picturePath;
    QPageSize customPaper;
    PdfFileChooser choosePdfFile;
    std::unique_ptr<QPrinter> printDevice;
};
