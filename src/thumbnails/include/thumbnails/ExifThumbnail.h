#pragma once

#include <QImage>
#include <QString>

// The cheapest source of a photo's thumbnail: the small JPEG a camera or phone
// stores in the EXIF block, read with libexif from the file's first bytes.
namespace ExifThumbnail {

// The embedded thumbnail of path, upright by the picture's EXIF orientation, when its
// longest side is at least minSide and its shape is the picture's (a thumbnail padded
// with bars to another shape is no use); null otherwise.
QImage read(const QString &path, int minSide);

// image turned and mirrored as an EXIF orientation (1-8) says, to stand upright.
QImage upright(const QImage &image, int orientation);

} // namespace ExifThumbnail
