#include "support/Fixtures.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPair>
#include <QProcess>
#include <QtEndian>

#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>

namespace Fixtures {

QString testsDir()
{
    return QStringLiteral(QUORVANE_TESTS_DIR);
}

QString binDir()
{
    return QStringLiteral(QUORVANE_BIN_DIR);
}

bool writeImage(const QString &path, const QSize &size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path);
}

bool writeDng(const QString &path, int width, int height, const QStringList &extra)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 QStringList{testsDir() + QStringLiteral("/support/mkdng.py"), path, QString::number(width),
                             QString::number(height)}
                     + extra);
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0
        && QFile::exists(path);
}

namespace {

// image as a JPEG with exif ("Exif\0\0" and a TIFF block) as its APP1 segment.
bool writeJpegWithExif(const QString &path, const QImage &image, const QByteArray &exif)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", 95))
        return false;
    QByteArray app1("\xff\xe1", 2);
    app1 += char((exif.size() + 2) >> 8);
    app1 += char((exif.size() + 2) & 0xff);
    app1 += exif;
    return writeBytes(path, jpeg.left(2) + app1 + jpeg.mid(2));
}

} // namespace

bool writeJpegWithOrientation(const QString &path, const QImage &image, int orientation)
{
    // APP1 "Exif": a little-endian TIFF block with one IFD entry, Orientation (0x0112).
    QByteArray exif("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24);
    exif += char(orientation);
    exif += QByteArray(3, '\0'); // rest of the value field
    exif += QByteArray(4, '\0'); // no next IFD
    return writeJpegWithExif(path, image, exif);
}

namespace {

// Adds an entry of components values of format to ifd; returns its data to fill.
unsigned char *addExif(ExifData *exif, ExifIfd ifd, ExifTag tag, ExifFormat format, unsigned components)
{
    ExifEntry *entry = exif_entry_new();
    entry->tag = tag;
    entry->format = format;
    entry->components = components;
    entry->size = exif_format_get_size(format) * components;
    entry->data = static_cast<unsigned char *>(calloc(1, entry->size)); // freed by libexif's default allocator
    exif_content_add_entry(exif->ifd[ifd], entry);
    exif_entry_unref(entry);
    return entry->data;
}

void addText(ExifData *exif, ExifIfd ifd, ExifTag tag, const char *text)
{
    const unsigned size = unsigned(std::strlen(text)) + 1;
    std::memcpy(addExif(exif, ifd, tag, EXIF_FORMAT_ASCII, size), text, size);
}

// image as a JPEG with exif's block (saved by libexif, which is then released).
bool writeJpegWithExifData(const QString &path, const QImage &image, ExifData *exif)
{
    unsigned char *bytes = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &bytes, &size); // "Exif\0\0" and the TIFF block
    exif_data_unref(exif);
    if (!bytes)
        return false;
    const QByteArray block(reinterpret_cast<const char *>(bytes), int(size));
    free(bytes);
    return writeJpegWithExif(path, image, block);
}

void addRationals(ExifData *exif, ExifIfd ifd, ExifTag tag, const QList<QPair<quint32, quint32>> &values)
{
    unsigned char *data = addExif(exif, ifd, tag, EXIF_FORMAT_RATIONAL, unsigned(values.size()));
    for (int i = 0; i < values.size(); ++i)
        exif_set_rational(data + 8 * i, EXIF_BYTE_ORDER_INTEL, {values.at(i).first, values.at(i).second});
}

} // namespace

bool writeJpegWithCameraExif(const QString &path, const QImage &image)
{
    ExifData *exif = exif_data_new();
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    addText(exif, EXIF_IFD_0, EXIF_TAG_MAKE, "Quorvane");
    addText(exif, EXIF_IFD_0, EXIF_TAG_MODEL, "Test Cam 1");
    addText(exif, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, "2024:05:01 10:20:30");
    addRationals(exif, EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME, {{1, 250}});
    addRationals(exif, EXIF_IFD_EXIF, EXIF_TAG_FNUMBER, {{28, 10}});
    exif_set_short(addExif(exif, EXIF_IFD_EXIF, EXIF_TAG_ISO_SPEED_RATINGS, EXIF_FORMAT_SHORT, 1),
                   EXIF_BYTE_ORDER_INTEL, 400);
    addRationals(exif, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH, {{50, 1}});
    addText(exif, EXIF_IFD_EXIF, EXIF_TAG_LENS_MODEL, "Test Lens 50mm");
    addText(exif, EXIF_IFD_GPS, ExifTag(EXIF_TAG_GPS_LATITUDE_REF), "N");
    addRationals(exif, EXIF_IFD_GPS, ExifTag(EXIF_TAG_GPS_LATITUDE), {{39, 1}, {54, 1}, {0, 1}});
    addText(exif, EXIF_IFD_GPS, ExifTag(EXIF_TAG_GPS_LONGITUDE_REF), "E");
    addRationals(exif, EXIF_IFD_GPS, ExifTag(EXIF_TAG_GPS_LONGITUDE), {{116, 1}, {24, 1}, {0, 1}});
    return writeJpegWithExifData(path, image, exif);
}

bool writeJpegWithExifThumbnail(const QString &path, const QImage &image, const QImage &thumbnail, int orientation)
{
    QByteArray small;
    QBuffer buffer(&small);
    buffer.open(QIODevice::WriteOnly);
    if (!thumbnail.save(&buffer, "JPEG", 90))
        return false;
    ExifData *exif = exif_data_new();
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    exif_set_short(addExif(exif, EXIF_IFD_0, EXIF_TAG_ORIENTATION, EXIF_FORMAT_SHORT, 1), EXIF_BYTE_ORDER_INTEL,
                   ExifShort(orientation));
    exif->data = static_cast<unsigned char *>(malloc(size_t(small.size()))); // freed by exif_data_unref
    std::memcpy(exif->data, small.constData(), size_t(small.size()));
    exif->size = unsigned(small.size());
    return writeJpegWithExifData(path, image, exif);
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray out;
    QDataStream(&out, QIODevice::WriteOnly) << quint32(data.size());
    const QByteArray body = type + data;
    // PNG's CRC-32 (Qt's qChecksum is a CRC-16).
    quint32 c = 0xffffffffu;
    for (unsigned char byte : body) {
        c ^= byte;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    }
    QByteArray tail;
    QDataStream(&tail, QIODevice::WriteOnly) << quint32(c ^ 0xffffffffu);
    return out + body + tail;
}

namespace {

// The IHDR data and the concatenated IDAT data of a PNG.
QPair<QByteArray, QByteArray> pngParts(const QByteArray &png)
{
    QPair<QByteArray, QByteArray> parts;
    int at = 8;
    while (at + 12 <= png.size()) {
        const int length = int(qFromBigEndian<quint32>(png.constData() + at));
        const QByteArray type = png.mid(at + 4, 4);
        if (type == "IHDR")
            parts.first = png.mid(at + 8, length);
        else if (type == "IDAT")
            parts.second += png.mid(at + 8, length);
        at += 12 + length;
    }
    return parts;
}

} // namespace

bool writeApng(const QString &path, const QList<QImage> &frames, int delayMs, int plays)
{
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    quint32 sequence = 0;
    for (int i = 0; i < frames.size(); ++i) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!frames.at(i).save(&buffer, "PNG"))
            return false;
        const auto parts = pngParts(png);
        if (i == 0) {
            out += pngChunk("IHDR", parts.first);
            QByteArray control;
            QDataStream(&control, QIODevice::WriteOnly) << quint32(frames.size()) << quint32(plays);
            out += pngChunk("acTL", control);
        }
        QByteArray control;
        QDataStream(&control, QIODevice::WriteOnly)
            << sequence++ << quint32(frames.at(i).width()) << quint32(frames.at(i).height()) << quint32(0) << quint32(0)
            << quint16(delayMs) << quint16(1000) << quint8(0) << quint8(0);
        out += pngChunk("fcTL", control);
        if (i == 0) {
            out += pngChunk("IDAT", parts.second);
        } else {
            QByteArray data;
            QDataStream(&data, QIODevice::WriteOnly) << sequence++;
            out += pngChunk("fdAT", data + parts.second);
        }
    }
    out += pngChunk("IEND", QByteArray());
    return writeBytes(path, out);
}

QByteArray pngDeclaring(const QSize &size)
{
    const auto chunk = pngChunk;
    QByteArray header;
    QDataStream stream(&header, QIODevice::WriteOnly);
    stream << quint32(size.width()) << quint32(size.height()) << quint8(8) << quint8(2) << quint8(0) << quint8(0)
           << quint8(0);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header)
        + chunk("IDAT", qCompress(QByteArray(64, '\0')).mid(4)) + chunk("IEND", QByteArray());
}

namespace {

// Deflate's bits, first bit in the lowest place; Huffman codes go most significant
// bit first.
class BitWriter
{
public:
    void bits(quint32 value, int count)
    {
        for (int i = 0; i < count; ++i)
            put((value >> i) & 1u);
    }
    void code(quint32 value, int length)
    {
        for (int i = length - 1; i >= 0; --i)
            put((value >> i) & 1u);
    }
    QByteArray finished()
    {
        if (filled)
            out += char(current);
        filled = 0;
        current = 0;
        return out;
    }

private:
    void put(quint32 bit)
    {
        current |= bit << filled;
        if (++filled == 8) {
            out += char(current);
            filled = 0;
            current = 0;
        }
    }
    QByteArray out;
    quint32 current = 0;
    int filled = 0;
};

// A zlib stream of count zero bytes: one block of the fixed codes, a literal zero,
// then copies of 258 bytes from one back, the rest as literals.
QByteArray zlibOfZeros(quint64 count)
{
    BitWriter writer;
    writer.bits(1, 1); // the last block
    writer.bits(1, 2); // fixed codes
    const auto literalZero = [&writer] { writer.code(0x30, 8); };
    quint64 left = count;
    if (left > 0) {
        literalZero();
        --left;
    }
    for (; left >= 258; left -= 258) {
        writer.code(0xc5, 8); // length 258 (symbol 285)
        writer.code(0, 5); // distance 1
    }
    for (; left > 0; --left)
        literalZero();
    writer.code(0, 7); // end of block (symbol 256)
    // Adler-32 of zeros: the first sum stays 1, the second adds 1 a byte.
    const quint32 adler = quint32(count % 65521) << 16 | 1u;
    QByteArray stream("\x78\x01", 2);
    stream += writer.finished();
    uchar tail[4];
    qToBigEndian(adler, tail);
    return stream + QByteArray(reinterpret_cast<const char *>(tail), 4);
}

} // namespace

QByteArray pngOfZeros(quint32 width, quint32 height, int colourType)
{
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly) << width << height << quint8(8) << quint8(colourType) << quint8(0)
                                               << quint8(0) << quint8(0);
    const quint64 rows = quint64(height) * (quint64(width) * quint64(channels) + 1);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", zlibOfZeros(rows))
        + pngChunk("IEND", QByteArray());
}

QList<qint64> childProcesses()
{
    QList<qint64> children;
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // pid (comm) state ppid ...: comm may hold spaces, so read after the last ')'.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == self)
            children.append(pid);
    }
    return children;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

namespace {

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray bigEndian(quint32 value)
{
    return QByteArray(1, char(value >> 24)) + char(value >> 16) + char(value >> 8) + char(value);
}

QByteArray chunk(const QByteArray &type, const QByteArray &data)
{
    return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
}

} // namespace

bool writePngHeader(const QString &path, quint32 width, quint32 height)
{
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
    return writeBytes(path,
                      QByteArray("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header)
                          + chunk("IDAT", QByteArray("\x78\x9C\x03\x00\x00\x00\x00\x01", 8))
                          + chunk("IEND", QByteArray()));
}

QSize imageSize(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.canRead() ? reader.size() : QSize();
}

QByteArray imageFormat(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.canRead() ? reader.format() : QByteArray();
}

} // namespace Fixtures
