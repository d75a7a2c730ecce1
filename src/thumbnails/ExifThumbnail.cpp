#include "thumbnails/ExifThumbnail.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTransform>

#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>

#include <cmath>
#include <memory>

namespace {

// The APP1 block that holds EXIF is at most 64 KiB and comes first or nearly so.
constexpr qint64 kHeadBytes = 160 * 1024;
// How far the thumbnail's width:height may differ from the picture's (its sides are
// whole pixels, 160 x 120 for 4:3).
constexpr double kShapeTolerance = 0.03;
// Embedded thumbnails are a few hundred pixels; one that claims more is not decoded.
constexpr int kMaxSide = 2048;

struct ExifFree
{
    void operator()(ExifData *data) const { exif_data_unref(data); }
};

QImage rotated(const QImage &image, int degrees)
{
    return image.transformed(QTransform().rotate(degrees));
}

int orientationOf(ExifData *data)
{
    const ExifEntry *entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1)
        return 1;
    return exif_get_short(entry->data, exif_data_get_byte_order(data));
}

bool sameShape(const QSize &a, const QSize &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const double ra = double(a.width()) / a.height();
    const double rb = double(b.width()) / b.height();
    return std::abs(ra - rb) <= kShapeTolerance * rb;
}

} // namespace

namespace ExifThumbnail {

QImage read(const QString &path, int minSide)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(kHeadBytes);
    if (head.size() < 4 || uchar(head[0]) != 0xFF || uchar(head[1]) != 0xD8)
        return {}; // not a JPEG
    std::unique_ptr<ExifData, ExifFree> data;
    {
        ExifLoader *loader = exif_loader_new();
        if (!loader)
            return {};
        exif_loader_write(loader, reinterpret_cast<unsigned char *>(const_cast<char *>(head.constData())),
                          unsigned(head.size()));
        data.reset(exif_loader_get_data(loader));
        exif_loader_unref(loader);
    }
    if (!data || !data->data || data->size == 0)
        return {};
    QByteArray embedded = QByteArray::fromRawData(reinterpret_cast<const char *>(data->data), int(data->size));
    QBuffer buffer(&embedded);
    QImageReader reader(&buffer, "jpeg");
    const QSize declared = reader.size();
    if (declared.isEmpty() || qMax(declared.width(), declared.height()) > kMaxSide)
        return {};
    const QImage thumbnail = reader.read();
    if (thumbnail.isNull() || qMax(thumbnail.width(), thumbnail.height()) < minSide)
        return {};
    file.seek(0);
    QImageReader picture(&file, "jpeg");
    if (!sameShape(thumbnail.size(), picture.size()))
        return {};
    return upright(thumbnail, orientationOf(data.get()));
}

QImage upright(const QImage &image, int orientation)
{
    switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return image.mirrored(true, true);
    case 4: return image.mirrored(false, true);
    case 5: return rotated(image, 90).mirrored(true, false);
    case 6: return rotated(image, 90);
    case 7: return rotated(image, 90).mirrored(false, true);
    case 8: return rotated(image, 270);
    default: return image;
    }
}

} // namespace ExifThumbnail
