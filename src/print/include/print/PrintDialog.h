#pragma once

#include <QDialog>
#include <QPixmap>
#include <QStringList>

#include <memory>

class StyledComboBox;
class NumberField;
class QGraphicsScene;
class QGraphicsView;
class QPrinter;

// Prints the viewer's picture fitted to the sheet or as a grid of photo-size
// prints, with a preview of the sheet.
class PrintDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PrintDialog(QWidget *parent);
    ~PrintDialog() override;

    void setPixmap(const QPixmap &pixmap);

    // The printer every print of this dialog goes to.
    QPrinter *printer() const;

    QGraphicsScene *previewScene() const;
    StyledComboBox *photoSizeBox() const;
    StyledComboBox *paperBox() const;
    StyledComboBox *printerBox() const;
    StyledComboBox *colourModeBox() const;
    NumberField *copiesField() const;

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
    // A PDF file set up on the printer is printed as it is; otherwise the printer
    // box must name a printer.
    bool choosePrinter();
    // Paper, margins, copies and colour mode of the next print.
    void configurePrinter(const QSizeF &paperMillimetres);
    // A message box over the dialog.
    void tell(const QString &text);

    QGraphicsView *previewView;
    QGraphicsScene *sheetScene;
    StyledComboBox *photoSizeCombo;
    StyledComboBox *paperCombo;
    StyledComboBox *printerCombo;
    StyledComboBox *colourModeCombo;
    StyledComboBox *qualityBox;
    NumberField *copiesEdit;
    QPixmap picture;
    std::unique_ptr<QPrinter> printDevice;
};
