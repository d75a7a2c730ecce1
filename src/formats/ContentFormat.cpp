#include "formats/ContentFormat.h"

#include "formats/ByteOrder.h"

#include <QList>

#include <climits>

namespace ContentFormat {

namespace {

// An ISO media file's brands (major first, then the compatible ones that lie in
// head) name HEIF pictures: AV1 ones are AVIF, the others HEIC. Empty for any
// other ISO media (MP4, QuickTime).
QString isoMediaPicture(const QByteArray &head)
{
    const int boxEnd = int(qMin<quint32>(ByteOrder::bigEndian(head, 0), quint32(head.size())));
    QList<QByteArray> brands{head.mid(8, 4)};
    for (int at = 16; at + 4 <= boxEnd; at += 4)
        brands << head.mid(at, 4);
    bool heif = false;
    for (const QByteArray &brand : qAsConst(brands)) {
        if (brand == "avif" || brand == "avis")
            return QStringLiteral("avif");
        for (const char *still : {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"})
            heif = heif || brand == still;
    }
    return heif ? QStringLiteral("heic") : QString();
}

// Reads a JPEG XL code stream's bits, least significant first.
class BitReader
{
public:
    BitReader(const QByteArray &bytes, int at)
        : bytes(bytes)
        , bit(qint64(at) * 8)
    { }

    quint32 read(int count)
    {
        quint32 value = 0;
        for (int i = 0; i < count; ++i, ++bit) {
            if (bit / 8 >= bytes.size()) {
                ok = false;
                return 0;
            }
            value |= quint32((quint8(bytes[int(bit / 8)]) >> (bit % 8)) & 1) << i;
        }
        return value;
    }

    // The SizeHeader's U32 of a dimension: 1 + 9, 13, 18 or 30 bits.
    quint32 dimension()
    {
        static const int bits[4] = {9, 13, 18, 30};
        return 1 + read(bits[read(2)]);
    }

    bool ok = true;

private:
    const QByteArray &bytes;
    qint64 bit;
};

// The picture size a JPEG XL code stream at offset at declares (after FF 0A).
QSize jxlCodestreamSize(const QByteArray &head, int at)
{
    BitReader bits(head, at + 2);
    const bool small = bits.read(1);
    const quint32 height = small ? (bits.read(5) + 1) * 8 : bits.dimension();
    const quint32 ratio = bits.read(3);
    static const double ratios[8] = {0, 1, 1.2, 4.0 / 3, 1.5, 16.0 / 9, 1.25, 2};
    const double width = ratio ? height * ratios[ratio] : small ? (bits.read(5) + 1) * 8 : bits.dimension();
    if (!bits.ok)
        return QSize();
    return QSize(int(qMin(width, double(INT_MAX))), int(qMin<quint32>(height, INT_MAX)));
}

// The same inside the ISO box container, when its code stream box lies in head.
QSize jxlSize(const QByteArray &head)
{
    if (head.startsWith("\xFF\x0A"))
        return jxlCodestreamSize(head, 0);
    for (qint64 at = 0; at + 8 <= head.size();) {
        const quint32 size = ByteOrder::bigEndian(head, int(at));
        const QByteArray type = head.mid(int(at) + 4, 4);
        if (type == "jxlc")
            return jxlCodestreamSize(head, int(at) + 8);
        if (type == "jxlp")
            return jxlCodestreamSize(head, int(at) + 12);
        if (size < 8)
            break;
        at += size;
    }
    return QSize();
}

} // namespace

QString of(const QByteArray &head, const QString &suffix)
{
    const auto starts = [&head](const char *magic, int size, int at = 0) {
        return head.size() >= at + size && head.mid(at, size) == QByteArray::fromRawData(magic, size);
    };
    if (starts("\xFF\xD8\xFF", 3))
        return QStringLiteral("jpeg");
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return QStringLiteral("png");
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return QStringLiteral("gif");
    if (starts("BM", 2) && head.size() >= 18)
        return QStringLiteral("bmp");
    if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4))
        return QStringLiteral("tiff");
    if (starts("RIFF", 4) && starts("WEBP", 4, 8))
        return QStringLiteral("webp");
    if (starts("8BPS", 4))
        return QStringLiteral("psd");
    if (starts("ftyp", 4, 4) && head.size() >= 12)
        return isoMediaPicture(head);
    // JPEG XL: a bare code stream or the ISO box container.
    if (starts("\xFF\x0A", 2) || starts("\0\0\0\x0CJXL \r\n\x87\n", 12))
        return QStringLiteral("jxl");
    // No signature: the suffix names the format, and ImageMagick is held to it. An
    // uncompressed TGA starts like a cursor, so the suffix goes first.
    if (suffix == QLatin1String("tga") || suffix == QLatin1String("wbmp"))
        return suffix;
    // Icons: a weak signature, so the count of images must be sensible too.
    if (head.size() >= 6 && ByteOrder::littleEndian(head, 4, 2) >= 1 && ByteOrder::littleEndian(head, 4, 2) <= 256) {
        if (starts("\0\0\1\0", 4))
            return QStringLiteral("ico");
        if (starts("\0\0\2\0", 4))
            return QStringLiteral("cur");
    }
    return QString();
}

QSize headerSize(const QByteArray &head)
{
    const QString format = of(head, QString());
    if (format == QLatin1String("png") && head.size() >= 24 && head.mid(12, 4) == "IHDR")
        return QSize(int(qMin<quint32>(ByteOrder::bigEndian(head, 16), INT_MAX)),
                     int(qMin<quint32>(ByteOrder::bigEndian(head, 20), INT_MAX)));
    if (format == QLatin1String("gif") && head.size() >= 10)
        return QSize(int(ByteOrder::littleEndian(head, 6, 2)), int(ByteOrder::littleEndian(head, 8, 2)));
    if (format == QLatin1String("bmp") && head.size() >= 26 && ByteOrder::littleEndian(head, 14, 4) >= 40) {
        const qint32 height = qint32(ByteOrder::littleEndian(head, 22, 4)); // negative: stored top-down
        return QSize(int(qMin<quint32>(ByteOrder::littleEndian(head, 18, 4), INT_MAX)),
                     height == INT_MIN ? INT_MAX : qAbs(height));
    }
    if (format == QLatin1String("jxl"))
        return jxlSize(head);
    return QSize();
}

} // namespace ContentFormat
