#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>

// Memory for whole pictures and the files they come from, in regions the kernel
// may back with huge pages (transparent huge pages in "madvise" mode). A fresh
// 24 MP picture in 4 KiB pages costs some 23 000 page faults; on a virtual machine
// these alone take longer than decoding the picture.
namespace PictureMemory {

// Smaller blocks come from the ordinary heap: huge pages would not pay, and would
// round the memory up to 2 MiB.
constexpr qint64 kMinHugeBytes = 4 * 1024 * 1024;

// A picture of that size and format for a decoder to fill, whose memory goes back
// to the system with the last copy; null for an invalid format or when memory
// cannot be had.
QImage image(const QSize &size, QImage::Format format);

// Bytes of a file: a fixed block shared by whoever holds a copy.
class Bytes
{
public:
    Bytes() = default;
    // Empty when memory cannot be had.
    static Bytes allocate(qint64 size);

    char *data() const;
    qint64 size() const;
    bool isNull() const;
    // Fewer bytes than allocated were filled.
    void truncate(qint64 size);
    // The bytes as a QByteArray that does not copy them: valid while this lives.
    QByteArray view() const;

private:
    std::shared_ptr<char> memory;
    qint64 length = 0;
};

// ARGB32 to premultiplied in the picture's own memory: Qt converts a picture it does
// not own the memory of into a new one.
void premultiplyInPlace(QImage &image);

} // namespace PictureMemory
