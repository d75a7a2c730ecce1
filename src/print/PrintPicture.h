#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>

// The picture as it goes to the printer.
namespace PrintPicture {

// The quality box's items, in order.
enum class Quality
{
    High, // "高质量": the picture's own pixels
    Normal, // "普通质量": at most kNormalDpi over the printed size
};

constexpr double kNormalDpi = 300;

// The part `source` of the picture in sRGB (converted when it carries another colour
// profile), shrunk for Normal quality to kNormalDpi over drawnMillimetres, and grey
// when asked: many printer drivers ignore a greyscale flag.
QImage prepared(const QImage &picture, const QRectF &source, const QSizeF &drawnMillimetres, Quality quality,
                bool greyscale);

} // namespace PrintPicture
