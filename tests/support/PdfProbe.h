#pragma once

#include <QImage>
#include <QRect>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>

// Reads a PDF the way a user's tools would: page size from pdfinfo, the images
// placed on the pages from pdfimages -list (poppler-utils).
namespace PdfProbe {

struct Image
{
    int page;
    QSize size; // stored pixels
    QString colour; // "rgb", "gray", ...
};

// Size of the first page in millimetres; empty when pdfinfo cannot read the file.
QSizeF pageSizeMillimetres(const QString &path);

// Number of pages; -1 when pdfinfo cannot read the file.
int pageCount(const QString &path);

// The first page rendered by pdftoppm at dpi; null when it cannot be rendered.
QImage renderPage(const QString &path, int dpi);

// Bounding boxes of the connected areas (four-neighbour) of pixels that pass
// `matches`, top to bottom and left to right by their first pixel.
QList<QRect> regions(const QImage &page, bool (*matches)(QRgb));

// Every image drawn, one entry per placement (soft masks left out), in page order.
QList<Image> images(const QString &path);

} // namespace PdfProbe
