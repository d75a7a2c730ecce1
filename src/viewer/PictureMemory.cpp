#include "viewer/PictureMemory.h"

#include <cstdlib>
#include <limits>
#include <sys/mman.h>

namespace PictureMemory {

namespace {

constexpr size_t kHugePage = 2 * 1024 * 1024;

struct Region
{
    void *base = nullptr;
    size_t length = 0;
};

// A 2 MiB aligned region: the kernel backs only aligned 2 MiB ranges with huge pages.
char *mapHuge(size_t bytes, Region *region)
{
    const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    region->length = rounded + kHugePage;
    region->base = ::mmap(nullptr, region->length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region->base == MAP_FAILED)
        return nullptr;
    const auto address = reinterpret_cast<uintptr_t>(region->base);
    char *aligned = reinterpret_cast<char *>((address + kHugePage - 1) & ~uintptr_t(kHugePage - 1));
    // Only advice: without transparent huge pages this is ordinary memory.
    ::madvise(aligned, rounded, MADV_HUGEPAGE);
    return aligned;
}

void unmap(void *info)
{
    const auto *region = static_cast<Region *>(info);
    ::munmap(region->base, region->length);
    delete region;
}

} // namespace

QImage image(const QSize &size, QImage::Format format)
{
    if (size.isEmpty() || format == QImage::Format_Invalid)
        return QImage();
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytesPerLine = ((qint64(size.width()) * depth + 31) / 32) * 4;
    const qint64 bytes = bytesPerLine * size.height();
    if (bytes < kMinHugeBytes || bytesPerLine > std::numeric_limits<int>::max())
        return QImage(size, format);
    auto *region = new Region;
    uchar *data = reinterpret_cast<uchar *>(mapHuge(size_t(bytes), region));
    if (!data) {
        delete region;
        return QImage();
    }
    return QImage(data, size.width(), size.height(), int(bytesPerLine), format, unmap, region);
}

Bytes Bytes::allocate(qint64 size)
{
    Bytes bytes;
    if (size < 0)
        return bytes;
    if (size < kMinHugeBytes) {
        bytes.memory.reset(static_cast<char *>(std::malloc(size_t(qMax<qint64>(size, 1)))), std::free);
    } else {
        Region region;
        if (char *data = mapHuge(size_t(size), &region))
            bytes.memory.reset(data, [region](char *) { ::munmap(region.base, region.length); });
    }
    bytes.length = bytes.memory ? size : 0;
    return bytes;
}

char *Bytes::data() const
{
    return memory.get();
}

qint64 Bytes::size() const
{
    return length;
}

bool Bytes::isNull() const
{
    return !memory;
}

void Bytes::truncate(qint64 size)
{
    length = qBound<qint64>(0, size, length);
}

QByteArray Bytes::view() const
{
    return memory ? QByteArray::fromRawData(memory.get(), int(length)) : QByteArray();
}

void premultiplyInPlace(QImage &image)
{
    if (image.format() != QImage::Format_ARGB32)
        return;
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qPremultiply(row[x]);
    }
    image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace PictureMemory
