#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// JPEG headers, through libjpeg (and libexif for the orientation tag): what a
// file's header says without decoding its pixels, and a one-pixel JPEG that
// carries an EXIF block, which is how ImageMagick takes a block from a file
// (it keeps a block read from a JPEG as the picture's "exif" profile, which
// every output format writes).
namespace JpegMarkers {

struct Facts
{
    QSize size; // as stored; invalid when the header could not be read
    int orientation = 1; // EXIF orientation 1-8; 1 without a (valid) tag
};

Facts read(const QString &path);

// A one-pixel JPEG whose only marker beside the picture is exif (an APP1
// block: "Exif\0\0" and the TIFF structure); empty when it does not fit in one
// marker or cannot be written.
QByteArray carrying(const QByteArray &exif);

} // namespace JpegMarkers
