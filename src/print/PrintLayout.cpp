#include "PrintLayout.h"

#include <QtMath>

namespace PrintLayout {

namespace {

struct NamedSize
{
    const char *name;
    double width;
    double height;
};

const NamedSize kPapers[] = {
    {"A4", 210, 297},
    {"A5", 148, 210},
    {"A6", 105, 148},
};

const NamedSize kPhotos[] = {
    {"适配纸张大小", 0, 0}, {"1寸", 25, 35}, {"大1寸", 35, 45}, {"小2寸", 35, 50},
    {"2寸", 40, 60},        {"3寸", 50, 75}, {"4寸", 60, 90},   {"5寸", 70, 100},
};

template<size_t N> QStringList namesOf(const NamedSize (&table)[N])
{
    QStringList names;
    for (const NamedSize &entry : table)
        names << QString::fromUtf8(entry.name);
    return names;
}

template<size_t N> QSizeF sizeOf(const NamedSize (&table)[N], int index)
{
    if (index < 0 || index >= int(N))
        return QSizeF();
    return QSizeF(table[index].width, table[index].height);
}

// Lays photos of length `photo` along a sheet of length `sheet`: counted on the
// whole sheet, spaced evenly between the margins `before` and `after`; when the
// gap is too tight one photo fewer is tried, once.
template<typename TooTight> Axis spread(double sheet, double before, double after, double photo, TooTight tooTight)
{
    Axis axis;
    if (photo <= 0)
        return axis;
    const double usable = sheet - before - after;
    axis.count = int(sheet / photo);
    axis.spacing = (usable - axis.count * photo) / (axis.count + 1);
    if (tooTight(axis.spacing)) {
        --axis.count;
        axis.spacing = (usable - axis.count * photo) / (axis.count + 1);
    }
    if (axis.count < 1 && photo <= sheet) {
        // Dropping the only photo would leave an empty sheet; centre it instead.
        axis.count = 1;
        axis.start = (sheet - photo) * 0.5;
        axis.spacing = axis.start - before;
        return axis;
    }
    axis.start = before + axis.spacing;
    return axis;
}

Grid gridOf(const Axis &x, const Axis &y, const QSizeF &photo)
{
    Grid grid{x, y, photo, {}};
    for (int r = 0; r < y.count; ++r) {
        for (int c = 0; c < x.count; ++c) {
            const QPointF corner(x.start + c * (photo.width() + x.spacing), y.start + r * (photo.height() + y.spacing));
            grid.cells << QRectF(corner, photo);
        }
    }
    return grid;
}

} // namespace

QStringList paperNames()
{
    return namesOf(kPapers);
}

QStringList photoNames()
{
    return namesOf(kPhotos);
}

QSizeF paperMillimetres(int paperIndex)
{
    return sizeOf(kPapers, paperIndex);
}

QSizeF photoMillimetres(int photoIndex)
{
    if (photoIndex == kFitPhotoIndex)
        return QSizeF();
    return sizeOf(kPhotos, photoIndex);
}

Grid previewGrid(const QSizeF &paper, const QSizeF &photo)
{
    const auto tooTight = [](double spacing) { return spacing <= 1; };
    return gridOf(spread(paper.width(), 0, 0, photo.width(), tooTight),
                  spread(paper.height(), 0, 0, photo.height(), tooTight), photo);
}

QRectF previewSheet(const QSizeF &paper, const QSizeF &viewSize)
{
    const QSizeF size(paper.width() + 1, paper.height() + 1);
    return QRectF(QPointF((viewSize.width() - size.width()) * 0.5, (viewSize.height() - size.height()) * 0.5), size);
}

Margins printMargins(int dpi)
{
    return Margins{dpi * 3 / 25.4f, dpi * 3 / 25.4f, dpi * 13 / 25.4f};
}

Grid printGrid(const QSizeF &paperPixels, const QSizeF &photoMillimetres, int dpi)
{
    const Margins margins = printMargins(dpi);
    const double millimetre = dpi / 25.4;
    const QSizeF photo(dpi * photoMillimetres.width() / 25.4, dpi * photoMillimetres.height() / 25.4);
    const auto tooTight = [millimetre](double spacing) { return spacing < millimetre; };
    return gridOf(spread(paperPixels.width(), margins.side, margins.side, photo.width(), tooTight),
                  spread(paperPixels.height(), margins.top, margins.bottom, photo.height(), tooTight), photo);
}

QSize scaledInto(const QSize &picture, const QSizeF &box)
{
    return picture.scaled(QSize(int(box.width()), int(box.height())), Qt::KeepAspectRatio);
}

namespace {

// The picture at the top-left corner of every cell, scaled into the cell.
QVector<QRectF> placeInCells(const Grid &grid, const QPointF &origin, const QSize &picture)
{
    const QSizeF size = scaledInto(picture, grid.photo);
    QVector<QRectF> rects;
    rects.reserve(grid.cells.size());
    for (const QRectF &cell : grid.cells)
        rects << QRectF(origin + cell.topLeft(), size);
    return rects;
}

} // namespace

QVector<QRectF> previewPictures(int photoIndex, const QRectF &sheet, const QSize &picture)
{
    const QSizeF paper(sheet.width() - 1, sheet.height() - 1);
    if (photoIndex != kFitPhotoIndex) {
        const QSizeF photo = photoMillimetres(photoIndex) * kPreviewScale;
        return placeInCells(previewGrid(paper, photo), sheet.topLeft(), picture);
    }
    const QSize size = scaledInto(picture, paper);
    const auto place = [](double paperLength, int pictureLength, double sheetStart) {
        int at = int((paperLength - pictureLength) * 0.5 + sheetStart);
        // Truncation may land on the border line; step inside it.
        if (sheetStart >= at)
            ++at;
        return at;
    };
    return {QRectF(
        QPointF(place(paper.width(), size.width(), sheet.x()), place(paper.height(), size.height(), sheet.y())), size)};
}

QVector<QRectF> printPictures(int photoIndex, const QSizeF &paperPixels, int dpi, const QSize &picture)
{
    if (photoIndex != kFitPhotoIndex)
        return placeInCells(printGrid(paperPixels, photoMillimetres(photoIndex), dpi), QPointF(), picture);
    const QSize size = scaledInto(picture, paperPixels);
    return {QRectF(
        QPointF(int((paperPixels.width() - size.width()) * 0.5), int((paperPixels.height() - size.height()) * 0.5)),
        size)};
}

} // namespace PrintLayout
