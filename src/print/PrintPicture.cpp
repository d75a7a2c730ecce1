#include "PrintPicture.h"

#include <QColorSpace>

namespace PrintPicture {

QSize largestFor(Quality quality, const QSizeF &drawnMillimetres)
{
    return quality == Quality::Normal ? (drawnMillimetres * kNormalDpi / 25.4).toSize() : QSize();
}

QImage prepared(const QImage &picture, const QRectF &source, const QSize &largest, bool greyscale)
{
    const QRect part = source.toRect().intersected(picture.rect());
    QImage image = part == picture.rect() ? picture : picture.copy(part);
    if (image.isNull())
        return image;
    // Shrunk before the colour conversion, which then works on fewer pixels; never
    // enlarged: the printer enlarges at no cost here.
    if (!largest.isEmpty() && (largest.width() < image.width() || largest.height() < image.height())) {
        const QColorSpace profile = image.colorSpace();
        image = image.scaled(largest.boundedTo(image.size()), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image.setColorSpace(profile);
    }
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
    if (greyscale)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    return image;
}

} // namespace PrintPicture
