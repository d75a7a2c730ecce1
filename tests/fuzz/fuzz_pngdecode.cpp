// The own PNG decoder against libpng (Qt's PNG reader): for any bytes it returns
// nothing (Qt's reader then decides) or exactly libpng's pixels, in the paint format.

#include "PngDecode.h"
#include "support/LibpngPicture.h"

#include <libdeflate.h>

#include <cstdint>
#include <cstdlib>

namespace {

quint32 bigEndian(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

// Every chunk's checksum made right, so that a mutation reaches what lies past the
// checksum test (left as it is for inputs of an even length).
void fixChecksums(QByteArray &png)
{
    auto *data = reinterpret_cast<uchar *>(png.data());
    const quint32 size = quint32(png.size());
    for (quint32 at = 8; size >= 12 && at <= size - 12;) {
        const quint32 length = bigEndian(data + at);
        if (length > size - 12 - at)
            return;
        const quint32 crc = quint32(libdeflate_crc32(0, data + at + 4, length + 4));
        uchar *tail = data + at + 8 + length;
        tail[0] = uchar(crc >> 24), tail[1] = uchar(crc >> 16), tail[2] = uchar(crc >> 8), tail[3] = uchar(crc);
        at += length + 12;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 16 * 1024 * 1024)
        return 0;
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    if (size % 2)
        fixChecksums(bytes);
    const QByteArray head = bytes.left(PngDecode::kHeaderBytes);
    const bool taken = PngDecode::takes(head);
    const QImage mine = PngDecode::decode(bytes, {});
    if (mine.isNull())
        return 0;
    if (!taken)
        std::abort(); // decoded what its own header check refuses
    const QImage libpng = libpngPicture(bytes);
    if (libpng.size() != mine.size() || libpng.format() != mine.format())
        std::abort();
    for (int y = 0; y < mine.height(); ++y) {
        const auto *a = reinterpret_cast<const QRgb *>(mine.constScanLine(y));
        const auto *b = reinterpret_cast<const QRgb *>(libpng.constScanLine(y));
        for (int x = 0; x < mine.width(); ++x) {
            if (a[x] != b[x])
                std::abort();
        }
    }
    return 0;
}
