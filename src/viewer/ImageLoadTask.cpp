#include "viewer/ImageLoadTask.h"

#include "viewer/ViewerLog.h"


#include <libraw/libraw.h>

#include <memory>

namespace {

struct MemImageRelease
{
    void operator()(libraw_processed_image_t *image) const { LibRaw::dcraw_clear_mem(image); }
};
using MemImage = std::unique_ptr<libraw_processed_image_t, MemImageRelease>;

// LibRaw can hand back an image record even on failure (0 x 0 here), so the record
// is checked as a whole before a single pixel is read.
bool isUsable(const libraw_processed_image_t *image)
{
    if (!image || image->type != LIBRAW_IMAGE_BITMAP || image->colors != 3 || image->bits != 8)
        return false;
    if (image->width == 0 || image->height == 0)
        return false;
    const qint64 needed = qint64(image->width) * image->height * 3;
    return qint64(image->data_size) >= needed;
}

} // namespace

ImageLoadTask::ImageLoadTask(const QString &path, QObject *parent)
    : QObject(parent)
    , filePath(path)
{ }

const QString &ImageLoadTask::path() const
{
    return filePath;
}

void ImageLoadTask::run()
{
    emit finished(decode(filePath), filePath);
}

QImage ImageLoadTask::decode(const QString &path)
{
    // The processor holds large fixed buffers; keep it off the pool thread's stack.
    auto processor = std::make_unique<LibRaw>();
    // LibRaw takes a narrow path; the locale codec is UTF-8, so Chinese names open.
    const QByteArray localPath = path.toLocal8Bit();

    if (processor->open_file(localPath.constData()) != LIBRAW_SUCCESS) {
        qCDebug(lcViewer) << "Failed to open RAW file";
        return QImage();
    }
    if (processor->unpack() != LIBRAW_SUCCESS) {
        qCDebug(lcViewer) << "Failed to unpack RAW file";
        return QImage();
    }
    if (processor->dcraw_process() != LIBRAW_SUCCESS) {
        qCDebug(lcViewer) << "Failed to process RAW file";
        return QImage();
    }
    int error = LIBRAW_SUCCESS;
    const MemImage image(processor->dcraw_make_mem_image(&error));
    if (error != LIBRAW_SUCCESS || !isUsable(image.get())) {
        qCDebug(lcViewer) << "Failed to make RAW memory image";
        return QImage();
    }

    // Converting to RGB32 here is the deep copy and saves the GUI thread the
    // conversion when the image becomes a pixmap.
    const QImage wrapped(image->data, image->width, image->height, image->width * 3, QImage::Format_RGB888);
    return wrapped.convertToFormat(QImage::Format_RGB32);
}
