#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QStringList>
#include <QVector>

// Where the picture goes on a sheet, in millimetres from the paper's top-left
// corner: the fitted layout and the grid of identical photo-size prints. The sheet
// is laid out once; the preview draws it at kPreviewScale, the printer at its
// resolution, so both show the same photos in the same places.
namespace PrintLayout {

constexpr double kPreviewScale = 2.5; // preview units per millimetre
constexpr int kFitPhotoIndex = 0; // "适配纸张大小": no photo size, fit the sheet

// The orientation box's items, in order.
enum class Orientation
{
    Portrait, // "纵向"
    Landscape, // "横向"
    Automatic, // "自动"
};

// The filling box's items, in order: how a picture meets a photo cell of another shape.
enum class Filling
{
    Crop, // fills the cell, cut to its shape from the middle
    WholePicture, // the whole picture inside the cell, white beside it
};

// Item texts of the boxes, in table order.
QStringList paperNames();
QStringList photoNames();
QStringList orientationNames();
QStringList fillingNames();

// The listed paper at an index, portrait; an invalid size for an unknown index.
QPageSize paperSize(int paperIndex);
// The listed paper of the same size (either way round, within a millimetre); -1 when
// none is.
int paperIndexOf(const QPageSize &size);

// The photo size in millimetres, portrait; empty for the fitted layout or an unknown index.
QSizeF photoMillimetres(int photoIndex);

// Margins kept free in millimetres, as the sheet is seen: 3 mm at the sides and the
// top, 13 mm at the bottom; none for a borderless print.
QMarginsF margins(bool borderless);

struct Request
{
    QSizeF paper; // millimetres, portrait
    QSizeF photo; // millimetres, portrait; empty: the picture fitted to the sheet
    QSize picture; // pixels
    Orientation orientation = Orientation::Automatic;
    Filling filling = Filling::Crop;
    bool borderless = false; // the fitted layout only
};

struct Sheet
{
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QSizeF paper; // millimetres, turned as it prints
    QVector<QRectF> cells; // the photos' places, row by row; one for the fitted layout
    QVector<QRectF> pictures; // where the picture is drawn, one per cell
    QRectF source; // the part of the picture drawn, in its pixels
};

// Photos of a grid: as many as leave at least a millimetre between them and the
// margins, spaced evenly. A lone photo that fits the sheet (or overhangs it by at most
// a millimetre, as a 4×6 in print on 4×6 in paper) but not between the margins is
// centred on the sheet; one larger than that leaves the sheet empty. A landscape
// picture gets landscape cells. "自动" turns the fitted sheet the picture's way and a
// grid's sheet the way that holds more photos, the picture's way on a tie.
Sheet layOut(const Request &request);

// A rectangle of the sheet in another unit, from an origin: the preview's scene or the
// printer's device pixels.
QRectF scaled(const QRectF &millimetres, double unitsPerMillimetre, const QPointF &origin = QPointF());

} // namespace PrintLayout
