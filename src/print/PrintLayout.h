#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QStringList>
#include <QVector>

// Where the picture goes on a sheet: the fitted layout and the grid of identical
// photo-size prints, once in preview units (the dialog's scene) and once in printer
// device pixels. The preview and the printer both draw from these rectangles.
namespace PrintLayout {

constexpr double kPreviewScale = 2.5; // preview units per millimetre
constexpr int kFitPhotoIndex = 0; // "适配纸张大小": no photo size, fit the sheet

// Item texts of the paper and photo size boxes, in table order.
QStringList paperNames();
QStringList photoNames();

// Sizes in millimetres; an empty size for the fitted layout or an unknown index.
QSizeF paperMillimetres(int paperIndex);
QSizeF photoMillimetres(int photoIndex);

// One axis of a grid: how many photos, the gap between them, and where the first
// one starts, measured from the sheet's edge.
struct Axis
{
    int count = 0;
    double spacing = 0;
    double start = 0;
};

struct Grid
{
    Axis x;
    Axis y;
    QSizeF photo;
    QVector<QRectF> cells; // row by row, each of the photo's size
};

// Photos on the whole sheet (no margins); a gap of one unit or less costs a photo.
Grid previewGrid(const QSizeF &paper, const QSizeF &photo);

// The sheet: paper + 1 unit each way, centred in the view's widget size.
QRectF previewSheet(const QSizeF &paper, const QSizeF &viewSize);

// Margins in device pixels: 3 mm at the sides and the top, 13 mm at the bottom.
struct Margins
{
    float side;
    float top;
    float bottom;
};
Margins printMargins(int dpi);

// Photos counted on the whole sheet, spaced inside the margins; a gap under one
// millimetre costs a photo. Never fewer than one photo when it fits the sheet: a
// lone photo that does not fit between the margins is centred on the sheet.
Grid printGrid(const QSizeF &paperPixels, const QSizeF &photoMillimetres, int dpi);

// The picture scaled into a box of box's integer size, keeping its aspect ratio.
QSize scaledInto(const QSize &picture, const QSizeF &box);

// The rectangles to draw the picture into, in preview units. The fitted picture is
// centred on the paper and kept off the sheet's left and top border line.
QVector<QRectF> previewPictures(int photoIndex, const QRectF &sheet, const QSize &picture);

// The rectangles to draw the picture into on a sheet of paperPixels device pixels
// (full page, origin at the paper's corner).
QVector<QRectF> printPictures(int photoIndex, const QSizeF &paperPixels, int dpi, const QSize &picture);

} // namespace PrintLayout
