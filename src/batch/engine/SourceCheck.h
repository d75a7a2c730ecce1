#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// What the engine makes sure of before it hands a source to a tool.
//
// Only regular files are opened (a FIFO would block the tool, a device would be
// read without end). A name that came from bytes that are not valid UTF-8 cannot
// be passed on exactly, so it is refused rather than swapped for a file whose
// name looks the same. ImageMagick picks its decoder from the content, not the
// suffix: the content must be one of the picture formats the program lists, and
// ImageMagick is then told that format ("png:FILE"), so a PNG named .jpg still
// converts while PostScript, SVG or MVG named .png never reach their decoders.
namespace SourceCheck {

struct Source
{
    QString problem; // why the file cannot be used; empty when it can
    QString coder; // ContentFormat::of() the first bytes: ImageMagick's name, empty when not a listed picture
    QSize size; // from the header when the format keeps it where it is cheap to read (PNG, GIF, BMP)
};

// "file name is not valid UTF-8" when path has a character that stands for bytes
// that were not valid UTF-8 (U+FFFD) and the file system holds such a name, or
// the literal name does not exist; empty otherwise.
QString nameProblem(const QString &path);

// Opens path without blocking, refuses anything but a regular file, and reads
// its header. wantContent: also require a listed picture format.
Source inspect(const QString &path, bool wantContent);

} // namespace SourceCheck
