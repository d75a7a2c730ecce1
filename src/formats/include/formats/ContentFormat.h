#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// Which picture format a file's first bytes show, told by signature alone and
// without any decoder: the viewer and the batch engine both ask it, so a format
// they know but cannot decode here is told apart from a file that is no picture.
namespace ContentFormat {

// How many leading bytes of() needs at most.
constexpr int kHeadBytes = 64;

// The format's ImageMagick name in lower case ("jpeg", "png", "heic", "avif",
// "jxl"...); suffix (lower case) decides only for formats without a signature
// (TGA, WBMP). Empty when the content is not one of the program's picture formats.
QString of(const QByteArray &head, const QString &suffix);

// Width and height that a PNG, GIF, BMP or JPEG XL header declares; invalid otherwise.
QSize headerSize(const QByteArray &head);

} // namespace ContentFormat
