#include "formats/ContentFormat.h"

#include <QList>

#include <climits>

namespace ContentFormat {

namespace {

quint32 littleEndian(const QByteArray &bytes, int at, int count)
{
    quint32 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

quint32 bigEndian32(const QByteArray &bytes, int at)
{
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 | quint32(quint8(bytes[at + 2])) << 8
        | quint32(quint8(bytes[at + 3]));
}

// An ISO media file's brands (major first, then the compatible ones that lie in
// head) name HEIF pictures: AV1 ones are AVIF, the others HEIC. Empty for any
// other ISO media (MP4, QuickTime).
QString isoMediaPicture(const QByteArray &head)
{
    const int boxEnd = int(qMin<quint32>(bigEndian32(head, 0), quint32(head.size())));
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
    if (head.size() >= 6 && littleEndian(head, 4, 2) >= 1 && littleEndian(head, 4, 2) <= 256) {
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
        return QSize(int(qMin<quint32>(bigEndian32(head, 16), INT_MAX)),
                     int(qMin<quint32>(bigEndian32(head, 20), INT_MAX)));
    if (format == QLatin1String("gif") && head.size() >= 10)
        return QSize(int(littleEndian(head, 6, 2)), int(littleEndian(head, 8, 2)));
    if (format == QLatin1String("bmp") && head.size() >= 26 && littleEndian(head, 14, 4) >= 40) {
        const qint32 height = qint32(littleEndian(head, 22, 4)); // negative: stored top-down
        return QSize(int(qMin<quint32>(littleEndian(head, 18, 4), INT_MAX)),
                     height == INT_MIN ? INT_MAX : qAbs(height));
    }
    return QSize();
}

} // namespace ContentFormat
