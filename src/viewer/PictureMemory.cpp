#include "PictureMemory.h"

#include <cstdlib>
#include <limits>
#include <sys/mman.h>

namespace PictureMemory {

namespace {

constexpr size_t kHugePage = 2 * 1024 * 1024;

// A 2 MiB aligned block of bytes, owned by the returned pointer: the kernel backs
// only aligned 2 MiB ranges with huge pages.
std::shared_ptr<char> mapHuge(size_t bytes)
{
    const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    const size_t length = rounded + kHugePage;
    void *base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return nullptr;
    const auto address = reinterpret_cast<uintptr_t>(base);
    char *aligned = reinterpret_cast<char *>((address + kHugePage - 1) & ~uintptr_t(kHugePage - 1));
    // Only advice: without transparent huge pages this is ordinary memory.
    ::madvise(aligned, rounded, MADV_HUGEPAGE);
    return std::shared_ptr<char>(aligned, [base, length](char *) { ::munmap(base, length); });
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
    // The picture holds a copy of the block and lets it go with its last copy.
    const Bytes block = Bytes::allocate(bytes);
    if (block.isNull())
        return QImage();
    return QImage(
        reinterpret_cast<uchar *>(block.data()), size.width(), size.height(), int(bytesPerLine), format,
        [](void *held) { delete static_cast<Bytes *>(held); }, new Bytes(block));
}

Bytes Bytes::allocate(qint64 size)
{
    Bytes bytes;
    if (size < 0)
        return bytes;
    if (size < kMinHugeBytes)
        bytes.memory.reset(static_cast<char *>(std::malloc(size_t(qMax<qint64>(size, 1)))), std::free);
    else
        bytes.memory = mapHuge(size_t(size));
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
