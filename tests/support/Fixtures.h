#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// Small generated inputs for the tests: images written by Qt, camera RAW (DNG)
// files written by mkdng.py.
namespace Fixtures {

// Writes a width x height image filled with colour; the format follows the suffix.
// Returns false when Qt could not write it.
bool writeImage(const QString &path, const QSize &size, const QColor &colour = QColor(200, 60, 40));

// Writes a minimal DNG that LibRaw decodes (four colour bands, brighter downwards).
// extra: more mkdng.py arguments ("--grey"; "--preview", a JPEG file).
bool writeDng(const QString &path, int width, int height, const QStringList &extra = {});

// Writes image as a JPEG carrying an EXIF orientation tag (1-8).
bool writeJpegWithOrientation(const QString &path, const QImage &image, int orientation);

// Writes image as a JPEG with a camera's EXIF, written by libexif: Make "Quorvane",
// Model "Test Cam 1", DateTimeOriginal 2024:05:01 10:20:30, ExposureTime 1/250,
// FNumber 2.8, ISO 400, FocalLength 50, LensModel "Test Lens 50mm", GPS 39°54' N 116°24' E.
bool writeJpegWithCameraExif(const QString &path, const QImage &image);

// Writes image as a JPEG whose EXIF block holds thumbnail (as a camera stores it, not
// turned) and an orientation tag (1-8).
bool writeJpegWithExifThumbnail(const QString &path, const QImage &image, const QImage &thumbnail, int orientation);
// Writes frames (one size, one format) as an animated PNG: each frame shown for
// delayMs, the whole played plays times (0: for ever).
bool writeApng(const QString &path, const QList<QImage> &frames, int delayMs, int plays);

// One PNG chunk: length, type, data and CRC.
QByteArray pngChunk(const QByteArray &type, const QByteArray &data);

// A PNG whose header declares size but whose pixel data is a few bytes.
QByteArray pngDeclaring(const QSize &size);

// A whole, valid 8-bit PNG of width x height of colourType whose every pixel is
// zero: its stream really unpacks to the full picture (deflate's longest matches,
// some 1000 : 1), so a 1,048,576 x 400 grey picture is a 1.6 MB file. Made without
// holding the unpacked bytes.
QByteArray pngOfZeros(quint32 width, quint32 height, int colourType);

// Child processes of this process still alive (by /proc).
QList<qint64> childProcesses();

// Writes raw bytes to path (for corrupt or empty files).
bool writeBytes(const QString &path, const QByteArray &bytes);

// Writes a PNG whose header declares width x height, with one tiny IDAT chunk:
// small on disk, huge when decoded.
bool writePngHeader(const QString &path, quint32 width, quint32 height);

// Size of the image stored at path, read by content; invalid when unreadable.
QSize imageSize(const QString &path);

// The format Qt detects from the content ("png", "jpeg", ...); empty when unreadable.
QByteArray imageFormat(const QString &path);

// The tests folder in the source tree (where mkdng.py lives).
QString testsDir();

// build/bin: the application folder of every test program.
QString binDir();

} // namespace Fixtures
