#include "PrintPicture.h"

#include <QColorSpace>

namespace PrintPicture {

QImage prepared(const QImage &picture, const QRectF &source, const QSizeF &drawnMillimetres, Quality quality,
                bool greyscale)
{
    const QRect part = source.toRect().intersected(picture.rect());
    QImage image = part == picture.rect() ? picture : picture.copy(part);
    if (image.isNull())
        return image;
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
    if (quality == Quality::Normal) {
        const QSize wanted = (drawnMillimetres * kNormalDpi / 25.4).toSize();
        // Only shrink: a smaller picture is enlarged by the printer at no cost here.
        if (!wanted.isEmpty() && (wanted.width() < image.width() || wanted.height() < image.height()))
            image = image.scaled(wanted.boundedTo(image.size()), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (greyscale)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    return image;
}

} // namespace PrintPicture
