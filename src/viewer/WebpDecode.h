#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// Still WebP pictures through libwebp itself rather than Qt's plugin: straight into
// memory of ours (PictureMemory), and scaled while decoding when the view keeps less
// than the whole picture, as JPEG is scaled in the DCT.
namespace WebpDecode {

// Whether this decoder takes the file: a still picture without a colour profile (a
// profile is left to Qt's reader, which hands it on for the conversion to sRGB).
bool takes(const QByteArray &bytes);

// The picture at size (the stored size, or smaller for a scaled decode), RGB32 when
// opaque, else premultiplied ARGB32; null when the bytes do not decode.
QImage decode(const QByteArray &bytes, const QSize &size);

} // namespace WebpDecode
