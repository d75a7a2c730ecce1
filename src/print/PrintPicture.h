#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QSizeF>

// The picture as it goes to the printer and the preview.
namespace PrintPicture {

// The quality box's items, in order.
enum class Quality
{
    High, // "高质量": the picture's own pixels
    Normal, // "普通质量": at most kNormalDpi over the printed size
};

constexpr double kNormalDpi = 300;

// The most pixels a picture printed at drawnMillimetres keeps; empty for no limit.
QSize largestFor(Quality quality, const QSizeF &drawnMillimetres);

// The part `source` of the picture, shrunk to `largest` when it is larger (an empty
// size keeps it), in sRGB (converted when it carries another colour profile), and
// grey when asked: many printer drivers ignore a greyscale flag.
QImage prepared(const QImage &picture, const QRectF &source, const QSize &largest, bool greyscale);

} // namespace PrintPicture
