#pragma once

#include <QImage>
#include <QString>

#include <functional>

// How the thumbnailer reads a picture it has no cached or EXIF thumbnail for: the
// loader's own decode at display resolution, so a JPEG is read at its DCT scale, a
// RAW file gives its embedded preview through the decoder process (or a half-size
// develop), anything else is decoded and filtered down; upright, within the limits
// every load keeps.
namespace ThumbnailDecode {

QImage decode(const QString &path, int longSide, const std::function<bool()> &cancelled);

} // namespace ThumbnailDecode
