#include "PngDecode.h"

#include "ImageDecode.h"
#include "PictureMemory.h"
#include "formats/ByteOrder.h"

#include <QColorSpace>

#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace PngDecode {

namespace {

constexpr uchar kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// Larger profiles than any camera or screen writes are left to libpng.
constexpr size_t kMaxProfileBytes = 4 * 1024 * 1024;
constexpr int kRowsBetweenChecks = 128;

struct Span
{
    const uchar *data = nullptr;
    size_t size = 0;
};

struct Layout
{
    quint32 width = 0;
    quint32 height = 0;
    int channels = 0; // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    // The IDAT chunks, one run of them: where the first begins, how many, their
    // bytes together. No record per chunk: a file of millions of empty ones costs
    // nothing but the walk.
    size_t dataAt = 0;
    size_t dataChunks = 0;
    size_t dataBytes = 0;
    Span profile; // iCCP after its name: method byte, then the zlib stream
};

bool isCritical(const uchar *type)
{
    return type[0] >= 'A' && type[0] <= 'Z';
}

bool isChunkName(const uchar *type)
{
    return std::all_of(type, type + 4, [](uchar c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

bool readHeader(const uchar *data, Layout *layout)
{
    layout->width = ByteOrder::bigEndian(data);
    layout->height = ByteOrder::bigEndian(data + 4);
    const int depth = data[8], colourType = data[9];
    const bool plain = data[10] == 0 && data[11] == 0 && data[12] == 0; // deflate, adaptive filters, no interlace
    switch (colourType) {
    case 0: layout->channels = 1; break;
    case 2: layout->channels = 3; break;
    case 4: layout->channels = 2; break;
    case 6: layout->channels = 4; break;
    default: return false; // palette pictures are small to decode anyway
    }
    // Within the viewer's picture bound, so that no size below wraps, whatever the
    // width of size_t.
    return depth == 8 && plain && layout->width > 0 && layout->height > 0
        && quint64(layout->width) * layout->height <= quint64(ImageDecode::kMaxPixels);
}

// Walks the chunks as libpng would read them; false for anything left to libpng: a
// bad checksum, a transparent colour, IDAT chunks apart, an unknown critical chunk,
// a file that ends early.
bool readChunks(const uchar *data, size_t size, Layout *layout)
{
    if (size < 8 || std::memcmp(data, kSignature, 8) != 0)
        return false;
    size_t at = 8;
    bool header = false, inData = false, sRgb = false;
    while (size - at >= 12) {
        const size_t length = ByteOrder::bigEndian(data + at);
        const uchar *type = data + at + 4;
        const uchar *body = type + 4;
        if (length > 0x7fffffffu || length > size - at - 12 || !isChunkName(type))
            return false;
        const auto is = [type](const char *name) { return std::memcmp(type, name, 4) == 0; };
        if (header == is("IHDR"))
            return false; // the header is the first chunk and only there
        const bool checked = isCritical(type) || is("iCCP");
        if (checked && libdeflate_crc32(0, type, length + 4) != ByteOrder::bigEndian(body + length))
            return false;
        const bool wasData = inData;
        inData = is("IDAT");
        if (is("IHDR")) {
            if (length != 13 || !readHeader(body, layout))
                return false;
            header = true;
        } else if (is("IDAT")) {
            if (!wasData && layout->dataChunks > 0)
                return false;
            if (layout->dataChunks++ == 0)
                layout->dataAt = at;
            layout->dataBytes += length;
        } else if (is("IEND")) {
            // Both colour chunks: which one wins is libpng's and Qt's business.
            return layout->dataChunks > 0 && !(sRgb && layout->profile.data);
        } else if (is("PLTE")) {
            if (layout->channels < 3)
                return false;
        } else if (is("tRNS")) {
            return false;
        } else if (is("iCCP")) {
            if (layout->dataChunks == 0) {
                const uchar *end = static_cast<const uchar *>(std::memchr(body, 0, length));
                if (!end || end + 1 >= body + length || end[1] != 0)
                    return false;
                layout->profile = {end + 2, size_t(body + length - end - 2)};
            }
        } else if (is("sRGB")) {
            sRgb = true;
        } else if (isCritical(type)) {
            return false;
        }
        at += length + 12;
    }
    return false;
}

using Decompressor = std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)>;

Decompressor decompressor()
{
    return Decompressor(libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
}

int paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

#ifdef __SSE2__
// Pixels of 3 or 4 bytes in the low lanes of a register, one at a time: each
// depends on the one before. A 3-byte pixel is written as 4, the fourth byte
// landing where the next pixel (or the row's padding) goes.
__m128i loadPixel(const uchar *p, int bpp)
{
    int value = 0;
    std::memcpy(&value, p, size_t(bpp));
    return _mm_cvtsi32_si128(value);
}

void storePixel(uchar *p, __m128i pixel)
{
    const int value = _mm_cvtsi128_si32(pixel);
    std::memcpy(p, &value, 4);
}

__m128i absolute(__m128i v)
{
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

__m128i select(__m128i mask, __m128i yes, __m128i no)
{
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// predict(left, above, upperLeft) on 16-bit lanes.
template<class Predict>
void unfilterPixels(const uchar *raw, const uchar *prev, uchar *cur, size_t length, int bpp, Predict predict)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i left = zero, upperLeft = zero;
    for (size_t i = 0; i < length; i += size_t(bpp)) {
        const __m128i above = _mm_unpacklo_epi8(loadPixel(prev + i, bpp), zero);
        const __m128i guess = _mm_packus_epi16(predict(left, above, upperLeft), zero);
        const __m128i pixel = _mm_add_epi8(guess, loadPixel(raw + i, bpp));
        storePixel(cur + i, pixel);
        left = _mm_unpacklo_epi8(pixel, zero);
        upperLeft = above;
    }
}

void unfilterWide(int filter, const uchar *raw, const uchar *prev, uchar *cur, size_t length, int bpp)
{
    switch (filter) {
    case 1: unfilterPixels(raw, prev, cur, length, bpp, [](__m128i a, __m128i, __m128i) { return a; }); break;
    case 3:
        unfilterPixels(raw, prev, cur, length, bpp,
                       [](__m128i a, __m128i b, __m128i) { return _mm_srli_epi16(_mm_add_epi16(a, b), 1); });
        break;
    case 4:
        unfilterPixels(raw, prev, cur, length, bpp, [](__m128i a, __m128i b, __m128i c) {
            const __m128i towardsB = _mm_sub_epi16(b, c), towardsA = _mm_sub_epi16(a, c);
            const __m128i pa = absolute(towardsB), pb = absolute(towardsA);
            const __m128i pc = absolute(_mm_add_epi16(towardsA, towardsB));
            const __m128i useC = _mm_and_si128(_mm_cmplt_epi16(pc, pa), _mm_cmplt_epi16(pc, pb));
            return select(useC, c, select(_mm_cmplt_epi16(pb, pa), b, a));
        });
        break;
    }
}
#endif

// One row: the filter byte's rule undone from raw into cur, given the row above
// (zeros above the first). false for an unknown filter.
bool unfilterRow(int filter, const uchar *raw, const uchar *prev, uchar *cur, size_t length, int bpp)
{
    if (filter < 0 || filter > 4)
        return false;
    if (filter == 0) {
        std::memcpy(cur, raw, length);
        return true;
    }
    if (filter == 2) {
        size_t i = 0;
#ifdef __SSE2__
        for (; i + 16 <= length; i += 16) {
            const auto load = [](const uchar *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); };
            _mm_storeu_si128(reinterpret_cast<__m128i *>(cur + i), _mm_add_epi8(load(raw + i), load(prev + i)));
        }
#endif
        for (; i < length; ++i)
            cur[i] = uchar(raw[i] + prev[i]);
        return true;
    }
#ifdef __SSE2__
    if (bpp >= 3) {
        unfilterWide(filter, raw, prev, cur, length, bpp);
        return true;
    }
#endif
    const size_t step = size_t(bpp);
    for (size_t i = 0; i < length; ++i) {
        const int a = i >= step ? cur[i - step] : 0, b = prev[i], c = i >= step ? prev[i - step] : 0;
        const int guess = filter == 1 ? a : filter == 3 ? (a + b) / 2 : paeth(a, b, c);
        cur[i] = uchar(raw[i] + guess);
    }
    return true;
}

// The unfiltered row in the paint format: B, G, R, A in memory, premultiplied as
// qPremultiply does it.
void toPaintRow(const uchar *row, quint32 width, int channels, QRgb *out)
{
    quint32 x = 0;
#ifdef __SSE2__
    if (channels == 4) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
        const __m128i half = _mm_set1_epi16(0x80);
        const auto premultiply = [&](__m128i two) {
            const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(two, 0xFF), 0xFF);
            __m128i t = _mm_mullo_epi16(two, alpha);
            t = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), half), 8);
            t = select(alphaLanes, two, t);
            // R and B change places.
            return _mm_shufflehi_epi16(_mm_shufflelo_epi16(t, _MM_SHUFFLE(3, 0, 1, 2)), _MM_SHUFFLE(3, 0, 1, 2));
        };
        for (; x + 4 <= width; x += 4) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + 4 * size_t(x)));
            const __m128i low = premultiply(_mm_unpacklo_epi8(four, zero));
            const __m128i high = premultiply(_mm_unpackhi_epi8(four, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_packus_epi16(low, high));
        }
    }
#endif
    for (; x < width; ++x) {
        const uchar *p = row + size_t(x) * size_t(channels);
        switch (channels) {
        case 1: out[x] = qRgb(p[0], p[0], p[0]); break;
        case 2: out[x] = qPremultiply(qRgba(p[0], p[0], p[0], p[1])); break;
        case 3: out[x] = qRgb(p[0], p[1], p[2]); break;
        default: out[x] = qPremultiply(qRgba(p[0], p[1], p[2], p[3])); break;
        }
    }
}

} // namespace

QByteArray iccProfile(const QByteArray &packed)
{
    const Decompressor inflater = decompressor();
    if (!inflater)
        return QByteArray();
    // The stream does not say how long it unpacks; try growing buffers.
    for (size_t room = 64 * 1024; room <= kMaxProfileBytes; room *= 4) {
        QByteArray icc(int(room), Qt::Uninitialized);
        size_t length = 0;
        const libdeflate_result result = libdeflate_zlib_decompress(inflater.get(), packed.constData(),
                                                                    size_t(packed.size()), icc.data(), room, &length);
        if (result == LIBDEFLATE_SUCCESS) {
            icc.truncate(int(length));
            return icc;
        }
        if (result != LIBDEFLATE_INSUFFICIENT_SPACE)
            break;
    }
    return QByteArray();
}

bool takes(const QByteArray &head)
{
    const auto *data = reinterpret_cast<const uchar *>(head.constData());
    Layout layout;
    return head.size() >= kHeaderBytes && std::memcmp(data, kSignature, 8) == 0 && ByteOrder::bigEndian(data + 8) == 13
        && std::memcmp(data + 12, "IHDR", 4) == 0 && readHeader(data + 16, &layout);
}

QImage decode(const QByteArray &bytes, const std::function<bool()> &cancelled)
{
    const auto *file = reinterpret_cast<const uchar *>(bytes.constData());
    Layout layout;
    if (!readChunks(file, size_t(bytes.size()), &layout))
        return QImage();
    QColorSpace space;
    if (layout.profile.data) {
        space = QColorSpace::fromIccProfile(iccProfile(QByteArray::fromRawData(
            reinterpret_cast<const char *>(layout.profile.data), int(layout.profile.size))));
        if (!space.isValid())
            return QImage();
    }

    const size_t width = layout.width, height = layout.height, channels = size_t(layout.channels);
    const size_t rowIn = width * channels, rowOut = width * 4;
    const size_t filtered = height * (rowIn + 1);
    // The picture's memory holds the unpacked stream at its end; rows are unfiltered
    // from there into the front, each written only over bytes already read.
    const size_t total = std::max(height * rowOut, filtered);
    const PictureMemory::Bytes block = PictureMemory::Bytes::allocate(qint64(total));
    if (block.isNull())
        return QImage();
    auto *front = reinterpret_cast<uchar *>(block.data());
    uchar *stream = front + (total - filtered);

    Span packed{file + layout.dataAt + 8, layout.dataBytes};
    PictureMemory::Bytes joined;
    if (layout.dataChunks > 1) {
        joined = PictureMemory::Bytes::allocate(qint64(layout.dataBytes));
        if (joined.isNull())
            return QImage();
        // The run walked again: readChunks checked every length in it.
        auto *to = reinterpret_cast<uchar *>(joined.data());
        size_t at = layout.dataAt;
        for (size_t chunk = 0; chunk < layout.dataChunks; ++chunk) {
            const size_t length = ByteOrder::bigEndian(file + at);
            std::memcpy(to, file + at + 8, length);
            to += length;
            at += length + 12;
        }
        packed = {reinterpret_cast<const uchar *>(joined.data()), layout.dataBytes};
    }
    const Decompressor inflater = decompressor();
    size_t unpacked = 0;
    if (!inflater
        || libdeflate_zlib_decompress(inflater.get(), packed.data, packed.size, stream, filtered, &unpacked)
            != LIBDEFLATE_SUCCESS
        || unpacked != filtered)
        return QImage();
    joined = PictureMemory::Bytes();

    const bool alpha = channels == 2 || channels == 4;
    // Two rows with room for a 3-byte pixel written as 4.
    std::vector<uchar> rows(2 * (rowIn + 16), 0);
    uchar *prev = rows.data(), *cur = rows.data() + rowIn + 16;
    for (size_t y = 0; y < height; ++y) {
        if (y % kRowsBetweenChecks == 0 && cancelled && cancelled())
            return QImage();
        const uchar *raw = stream + y * (rowIn + 1);
        if (!unfilterRow(raw[0], raw + 1, prev, cur, rowIn, layout.channels))
            return QImage();
        toPaintRow(cur, layout.width, layout.channels, reinterpret_cast<QRgb *>(front + y * rowOut));
        std::swap(prev, cur);
    }

    QImage image(
        front, int(width), int(height), int(rowOut), alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32,
        [](void *held) { delete static_cast<PictureMemory::Bytes *>(held); }, new PictureMemory::Bytes(block));
    if (space.isValid())
        image.setColorSpace(space);
    return image;
}

} // namespace PngDecode
