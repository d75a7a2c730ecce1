#pragma once

#include <QByteArray>
#include <QImage>

// The picture as the viewer paints it, from Qt's own PNG reader (libpng): what the
// own PNG decoder must give, pixel for pixel. Header-only: the fuzz harnesses,
// built apart, use it too.
inline QImage libpngPicture(const QByteArray &bytes)
{
    QImage image = QImage::fromData(bytes, "png");
    if (image.isNull())
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}
