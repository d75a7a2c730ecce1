#include "viewer/ImageDecode.h"

#include "formats/Formats.h"
#include "rawdecode/RawDecode.h"
#include "viewer/Apng.h"
#include "viewer/PictureMemory.h"
#include "viewer/ViewerLog.h"
#include "viewer/ZoomModel.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QImageReader>
#include <QTransform>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ImageDecode {

namespace {

// Serves bytes already in memory in small reads, and fails every read once the load
// is no longer wanted, so a decoder stops early. Not a QBuffer: Qt's JPEG reader
// takes a QBuffer's bytes in one piece and could not be stopped.
class CancellableDevice : public QIODevice
{
public:
    CancellableDevice(const QByteArray &bytes, const std::function<bool()> &cancelled)
        : bytes(bytes)
        , cancelled(cancelled)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return bytes.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (cancelled && cancelled())
            return -1;
        const qint64 n = qMin(maxSize, qint64(bytes.size()) - pos());
        if (n <= 0)
            return 0;
        std::memcpy(data, bytes.constData() + pos(), size_t(n));
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray bytes;
    const std::function<bool()> cancelled;
};

LoadResult failed(const QString &path, LoadFailure failure)
{
    LoadResult result;
    result.path = path;
    result.stage = LoadStage::Failed;
    result.failure = failure;
    return result;
}

bool isCancelled(const Options &options)
{
    return options.cancelled && options.cancelled();
}

// One format for painting: opaque pictures as RGB32, others premultiplied, so the
// pixmap made from it on the GUI thread shares its pixels instead of converting.
QImage paintable(QImage image)
{
    PictureMemory::premultiplyInPlace(image);
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    return image.format() == format ? image : std::move(image).convertToFormat(format);
}

QImage turned(const QImage &image, int quarterTurns)
{
    return quarterTurns ? image.transformed(QTransform().rotate(90.0 * quarterTurns)) : image;
}

bool fitsBudget(const QSize &size, const Options &options)
{
    return options.maxBytes < 0 || qint64(size.width()) * size.height() * 4 <= options.maxBytes;
}

LoadFailure fromRaw(RawDecode::Failure failure)
{
    switch (failure) {
    case RawDecode::Failure::None: return LoadFailure::None;
    case RawDecode::Failure::Missing: return LoadFailure::NotFound;
    case RawDecode::Failure::NotAFile: return LoadFailure::NotAFile;
    case RawDecode::Failure::Empty: return LoadFailure::NotImage;
    case RawDecode::Failure::Unreadable: return LoadFailure::Unreadable;
    case RawDecode::Failure::NotRaw: return LoadFailure::NotImage;
    case RawDecode::Failure::Corrupt: return LoadFailure::Corrupt;
    case RawDecode::Failure::TooLarge:
    case RawDecode::Failure::NoMemory: return LoadFailure::TooLarge;
    case RawDecode::Failure::Cancelled: return LoadFailure::Cancelled;
    }
    return LoadFailure::Corrupt;
}

// Rows of packed 8-bit RGB or grey pixels at the start of each row of an RGB32
// picture, widened to RGB32 from the right: no pixel is overwritten before it is read.
void widenInPlace(QImage &image, int colours)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        auto *out = reinterpret_cast<QRgb *>(row);
        for (int x = image.width() - 1; x >= 0; --x) {
            const uchar *in = row + x * colours;
            out[x] = colours == 3 ? qRgb(in[0], in[1], in[2]) : qRgb(in[0], in[0], in[0]);
        }
    }
}

// The RAW path: the embedded preview first when asked and useful, then the develop.
// Sets *notRaw when LibRaw does not know the content (a JPEG named .dng).
LoadResult loadRaw(const QString &path, const Options &options, bool *notRaw)
{
    RawDecode::RawFile raw;
    const QByteArray local = QFile::encodeName(path);
    RawDecode::Failure failure = raw.open(local.constData());
    if (failure == RawDecode::Failure::NotRaw) {
        *notRaw = true;
        return failed(path, LoadFailure::NotImage);
    }
    if (failure != RawDecode::Failure::None) {
        qCDebug(lcViewer) << "RAW file refused:" << QString::fromStdString(raw.error());
        return failed(path, fromRaw(failure));
    }
    const QSize full(raw.width(), raw.height());
    if (!fitsBudget(full, options))
        return failed(path, LoadFailure::TooLarge);

    if (options.fastFirst && options.deliver) {
        RawDecode::Preview preview;
        if (raw.preview(preview) == RawDecode::Failure::None
            && previewUseful(uprightSize(QSize(preview.width, preview.height), preview.quarterTurns % 2),
                             options.view)) {
            QImage image = QImage::fromData(preview.jpeg.data(), int(preview.jpeg.size()), "JPEG");
            if (!image.isNull() && !isCancelled(options)) {
                LoadResult result;
                result.path = path;
                result.stage = LoadStage::Preview;
                result.image = paintable(turned(image, preview.quarterTurns));
                result.fullSize = full;
                options.deliver(result);
            }
        }
    }

    // LibRaw writes its packed rows into the picture's own memory; they are widened
    // to RGB32 in place.
    QImage image;
    int colours = 0;
    failure = raw.developInto(
        [&image, &colours](int width, int height, int channels, int *stride) -> std::uint8_t * {
            image = PictureMemory::image(QSize(width, height), QImage::Format_RGB32);
            colours = channels;
            *stride = image.bytesPerLine();
            return image.isNull() ? nullptr : image.bits();
        },
        options.cancelled);
    if (failure != RawDecode::Failure::None) {
        qCDebug(lcViewer) << "RAW file not developed:" << QString::fromStdString(raw.error());
        return failed(path, fromRaw(failure));
    }
    widenInPlace(image, colours);
    LoadResult result;
    result.path = path;
    result.stage = LoadStage::Full;
    result.image = image;
    result.fullSize = result.image.size();
    return result;
}

// Reads a regular file whole, up to the cap. The descriptor is opened without
// blocking and checked again, so a file swapped for a FIFO meanwhile cannot hang.
LoadFailure readRegularFile(const QString &path, PictureMemory::Bytes *bytes)
{
    const QByteArray local = QFile::encodeName(path);
    struct stat info;
    if (::stat(local.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? LoadFailure::NotFound : LoadFailure::Unreadable;
    if (!S_ISREG(info.st_mode))
        return LoadFailure::NotAFile;
    if (info.st_size > kMaxFileBytes)
        return LoadFailure::TooLarge;
    const int fd = ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return LoadFailure::Unreadable;
    LoadFailure outcome = LoadFailure::None;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        outcome = LoadFailure::NotAFile;
    } else {
        *bytes = PictureMemory::Bytes::allocate(qMin<qint64>(info.st_size, kMaxFileBytes));
        qint64 have = 0;
        while (have < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + have, size_t(bytes->size() - have));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            have += n;
        }
        bytes->truncate(have); // a file that shrank meanwhile
        char extra;
        if (bytes->isNull() || (have == kMaxFileBytes && ::read(fd, &extra, 1) > 0))
            outcome = LoadFailure::TooLarge;
    }
    ::close(fd);
    return outcome;
}

LoadResult loadAnimation(const QString &path, QImageReader &reader, const QSize &full, const Options &options)
{
    LoadResult result;
    result.path = path;
    result.stage = LoadStage::Full;
    result.fullSize = full;
    result.loopCount = reader.loopCount();
    qint64 bytes = 0;
    QImage frame;
    while (bytes < kMaxAnimationBytes && !isCancelled(options) && reader.read(&frame)) {
        // Browsers treat delays of 10 ms or less as "as fast as possible" and show
        // such frames for 100 ms; so does this view.
        const int delay = reader.nextImageDelay();
        result.frames.append({paintable(frame), delay > 10 ? delay : 100});
        bytes += frame.sizeInBytes();
        if (!reader.canRead())
            break;
    }
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    if (result.frames.isEmpty())
        return failed(path, LoadFailure::Corrupt);
    result.image = result.frames.constFirst().image;
    result.fullSize = result.image.size();
    if (result.frames.size() == 1)
        result.frames.clear();
    return result;
}

} // namespace

bool isAllowedFormat(const QByteArray &format)
{
    return Formats::readerFormats().contains(format.toLower());
}

bool previewUseful(const QSize &preview, const QSize &view)
{
    return preview.width() * 4 >= view.width() || preview.height() * 4 >= view.height();
}

QImage downscale(const QImage &picture, const QSize &size)
{
    // Qt's smooth scaling averages every source pixel of an area when it shrinks.
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QSize uprightSize(const QSize &stored, bool quarterTurned)
{
    return quarterTurned ? stored.transposed() : stored;
}

LoadResult load(const QString &path, const Options &options)
{
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    const FileStamp stamp = FileStamp::of(path);
    LoadResult result;

    bool notRaw = !Formats::isRawSuffix(QFileInfo(path).suffix());
    if (!notRaw) {
        result = loadRaw(path, options, &notRaw);
        if (!notRaw) {
            result.stamp = stamp;
            return result;
        }
    }

    PictureMemory::Bytes file;
    const LoadFailure read = readRegularFile(path, &file);
    if (read != LoadFailure::None)
        return failed(path, read);
    const QByteArray bytes = file.view();
    if (bytes.isEmpty())
        return failed(path, LoadFailure::NotImage);

    // The format from the content alone, and only among the allowed ones: a plugin
    // is asked whether it can read, never asked to read, before that.
    CancellableDevice probe(bytes, options.cancelled);
    const QByteArray format = QImageReader::imageFormat(&probe);
    if (!isAllowedFormat(format)) {
        qCDebug(lcViewer) << "refused content format" << format << "of" << path;
        return failed(path, LoadFailure::NotImage);
    }

    CancellableDevice device(bytes, options.cancelled);
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isValid() && qint64(stored.width()) * stored.height() > kMaxPixels)
        return failed(path, LoadFailure::TooLarge);
    const bool quarterTurned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize full = uprightSize(stored, quarterTurned);
    if (stored.isValid() && !fitsBudget(full, options))
        return failed(path, LoadFailure::TooLarge);

    if (format == "png" && Apng::isAnimated(bytes)) {
        const Apng::Animation animation = Apng::decode(bytes, kMaxAnimationBytes, kMaxPixels, options.cancelled);
        if (isCancelled(options))
            return failed(path, LoadFailure::Cancelled);
        if (animation.ok) {
            result.path = path;
            result.stage = LoadStage::Full;
            result.image = animation.frames.constFirst().image;
            result.fullSize = result.image.size();
            result.loopCount = animation.loopCount;
            if (animation.frames.size() > 1)
                result.frames = animation.frames;
            result.stamp = stamp;
            return result;
        }
        // A broken animation: the default picture, as any PNG reader shows it.
    }
    if (reader.supportsAnimation() && reader.imageCount() != 1) {
        result = loadAnimation(path, reader, full, options);
        result.stamp = stamp;
        return result;
    }

    // JPEG scales in the DCT: the fitted picture costs about half a full decode, and
    // runs beside it.
    if (options.fastFirst && options.deliver && stored.isValid() && format == "jpeg"
        && !ZoomModel::showsAtActualSize(QSizeF(full), options.view)) {
        const QSize fitted = full.scaled(options.view, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        auto fast = [path, file, format, full, options, scaled = uprightSize(fitted, quarterTurned)] {
            CancellableDevice device(file.view(), options.cancelled);
            QImageReader reader(&device, format);
            reader.setAutoDetectImageFormat(false);
            reader.setAutoTransform(true);
            reader.setScaledSize(scaled);
            QImage image;
            if (!reader.read(&image) || isCancelled(options))
                return;
            LoadResult preview;
            preview.path = path;
            preview.stage = LoadStage::Preview;
            preview.image = paintable(std::move(image));
            preview.fullSize = full;
            options.deliver(preview);
        };
        if (options.spawn)
            options.spawn(fast);
        else
            fast();
    }

    // These readers decode into the picture they are given when its size and format
    // are right, and set every pixel.
    QImage image;
    if (stored.isValid() && (format == "jpeg" || format == "png"))
        image = PictureMemory::image(stored, reader.imageFormat());
    if (!reader.read(&image)) {
        if (isCancelled(options))
            return failed(path, LoadFailure::Cancelled);
        qCDebug(lcViewer) << "cannot decode" << path << reader.errorString();
        return failed(path, LoadFailure::Corrupt);
    }
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    result.path = path;
    result.stage = LoadStage::Full;
    result.image = paintable(std::move(image));
    result.fullSize = result.image.size();
    result.stamp = stamp;
    return result;
}

} // namespace ImageDecode
