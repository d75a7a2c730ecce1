#include "viewer/ImageDecode.h"

#include "formats/Formats.h"
#include "viewer/Apng.h"
#include "viewer/PictureMemory.h"
#include "viewer/RawClient.h"
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

bool fitsBudget(qint64 pixels, const Options &options)
{
    return options.maxBytes < 0 || pixels * 4 <= options.maxBytes;
}

bool fitsBudget(const QSize &size, const Options &options)
{
    return fitsBudget(qint64(size.width()) * size.height(), options);
}

bool withinBounds(qint64 pixels, const Options &options)
{
    return pixels <= kMaxPixels && fitsBudget(pixels, options);
}

// A picture that paints nothing at all: what Qt's SVG reader makes of a drawing it
// cannot render.
bool fullyTransparent(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(row[x]))
                return false;
        }
    }
    return true;
}

quint32 littleEndian(const QByteArray &bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

quint32 bigEndian32(const QByteArray &bytes, int at)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

// OpenEXR: the dataWindow attribute (box2i: xMin, yMin, xMax, yMax) of the header
// that follows the magic number and version.
qint64 exrPixels(const QByteArray &bytes)
{
    int at = 8;
    while (at < bytes.size()) {
        const int nameEnd = bytes.indexOf('\0', at);
        if (nameEnd < 0 || nameEnd == at)
            return -1;
        const int typeEnd = bytes.indexOf('\0', nameEnd + 1);
        if (typeEnd < 0 || typeEnd + 5 > bytes.size())
            return -1;
        const qint64 size = qint32(littleEndian(bytes, typeEnd + 1, 4));
        const int value = typeEnd + 5;
        if (size < 0 || value + size > bytes.size())
            return -1;
        if (bytes.mid(at, nameEnd - at) == "dataWindow" && size == 16) {
            const qint64 width = qint64(qint32(littleEndian(bytes, value + 8, 4))) - qint32(littleEndian(bytes, value, 4)) + 1;
            const qint64 height
                = qint64(qint32(littleEndian(bytes, value + 12, 4))) - qint32(littleEndian(bytes, value + 4, 4)) + 1;
            return width > 0 && height > 0 ? width * height : -1;
        }
        at = value + int(size);
    }
    return -1;
}

// The picture a RAW file's embedded preview shows, upright.
QImage previewImage(const RawClient::Preview &preview)
{
    const QImage image = QImage::fromData(preview.jpeg, "JPEG");
    if (image.isNull())
        return image;
    const QImage upright = turned(image, preview.quarterTurns);
    return preview.mirrored ? upright.mirrored(true, false) : upright;
}

// The RAW path, in the decoder process: the embedded preview first when asked and
// useful, then the develop. Sets *notRaw when LibRaw does not know the content (a
// JPEG named .dng).
LoadResult loadRaw(const QString &path, const Options &options, bool *notRaw)
{
    RawClient::Request request;
    request.path = path;
    request.preview = options.fastFirst && options.deliver;
    request.maxBytes = options.maxBytes;
    const auto onPreview = [&](const RawClient::Preview &preview) {
        if (!previewUseful(uprightSize(preview.size, preview.quarterTurns % 2), options.view))
            return;
        const QImage image = previewImage(preview);
        if (image.isNull() || isCancelled(options))
            return;
        LoadResult result;
        result.path = path;
        result.stage = LoadStage::Preview;
        result.image = paintable(image);
        result.fullSize = preview.fullSize;
        options.deliver(result);
    };
    const RawClient::Result raw = RawClient::decode(request, options.cancelled, onPreview);
    if (raw.notRaw) {
        *notRaw = true;
        return failed(path, LoadFailure::NotImage);
    }
    if (raw.failure != LoadFailure::None) {
        qCDebug(lcViewer) << "RAW file not decoded:" << path << raw.error;
        return failed(path, raw.failure);
    }
    LoadResult result;
    result.path = path;
    result.stage = LoadStage::Full;
    result.image = raw.picture;
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

Apng::Limits animationLimits()
{
    return Apng::Limits{kMaxPixels, kMaxAnimationBytes, kMaxAnimationFrames};
}

// GIF, WebP and MNG through Qt's readers, which compose whole canvases: as many as
// the limits hold, the canvas checked before the first is decoded.
LoadResult loadAnimation(const QString &path, QImageReader &reader, const QSize &full, const Options &options)
{
    LoadResult result;
    result.path = path;
    result.stage = LoadStage::Full;
    result.fullSize = full;
    result.loopCount = reader.loopCount();
    const int held = full.isValid() ? Apng::framesWithin(qint64(full.width()) * full.height(), animationLimits())
                                    : kMaxAnimationFrames;
    if (held == 0)
        return failed(path, LoadFailure::TooLarge);
    qint64 bytes = 0;
    QImage frame;
    while (!isCancelled(options) && reader.read(&frame)) {
        if (frame.isNull())
            break;
        const qint64 cost = Apng::frameCost(qint64(frame.width()) * frame.height());
        if (result.frames.size() >= held || bytes + cost > kMaxAnimationBytes) {
            result.framesCut = true;
            break;
        }
        // Browsers treat delays of 10 ms or less as "as fast as possible" and show
        // such frames for 100 ms; so does this view.
        const int delay = reader.nextImageDelay();
        const QImage image = paintable(frame);
        if (image.isNull()) {
            result.framesCut = true;
            break;
        }
        result.frames.append({image, delay > 10 ? delay : 100});
        bytes += cost;
        if (!reader.canRead())
            break;
    }
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    if (result.frames.isEmpty())
        return failed(path, frame.isNull() || !result.framesCut ? LoadFailure::Corrupt : LoadFailure::TooLarge);
    result.image = result.frames.constFirst().image;
    result.fullSize = result.image.size();
    if (result.frames.size() == 1)
        result.frames.clear();
    return result;
}

} // namespace

bool isAllowedFormat(const QByteArray &format)
{
    static const QList<QByteArray> allowed{"bmp", "jpeg", "jpg",  "png", "tif",  "tiff", "wbmp", "webp", "gif", "tga",
                                           "ico", "cur",  "icns", "jp2", "mng",  "pbm",  "pgm",  "ppm",  "pnm", "xbm",
                                           "xpm", "svg",  "svgz", "psd", "heic", "heif", "exr",  "kra",  "ora", "pcx"};
    return allowed.contains(format.toLower());
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

qint64 declaredPixels(const QByteArray &format, const QByteArray &bytes)
{
    if (format == "tga" && bytes.size() >= 18)
        return qint64(littleEndian(bytes, 12, 2)) * littleEndian(bytes, 14, 2);
    if (format == "pcx" && bytes.size() >= 12) {
        const qint64 width = qint64(littleEndian(bytes, 8, 2)) - littleEndian(bytes, 4, 2) + 1;
        const qint64 height = qint64(littleEndian(bytes, 10, 2)) - littleEndian(bytes, 6, 2) + 1;
        return width > 0 && height > 0 ? width * height : -1;
    }
    // The signature, then the MHDR chunk: length, type, frame width and height.
    if (format == "mng" && bytes.size() >= 24 && bytes.mid(12, 4) == "MHDR")
        return qint64(bigEndian32(bytes, 16)) * bigEndian32(bytes, 20);
    if (format == "exr" && bytes.size() >= 8 && littleEndian(bytes, 0, 4) == 20000630u)
        return exrPixels(bytes);
    return -1;
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
    if (!stored.isValid()) {
        const qint64 declared = declaredPixels(format, bytes);
        if (declared >= 0 && !withinBounds(declared, options))
            return failed(path, LoadFailure::TooLarge);
    }
    const bool quarterTurned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize full = uprightSize(stored, quarterTurned);
    if (stored.isValid() && !fitsBudget(full, options))
        return failed(path, LoadFailure::TooLarge);

    if (format == "png" && Apng::isAnimated(bytes)) {
        const Apng::Animation animation = Apng::decode(bytes, animationLimits(), options.cancelled);
        switch (animation.outcome) {
        case Apng::Animation::Outcome::Cancelled: return failed(path, LoadFailure::Cancelled);
        case Apng::Animation::Outcome::TooLarge: return failed(path, LoadFailure::TooLarge);
        case Apng::Animation::Outcome::Ok:
            result.path = path;
            result.stage = LoadStage::Full;
            result.image = animation.frames.constFirst().image;
            result.fullSize = result.image.size();
            result.loopCount = animation.loopCount;
            result.framesCut = animation.cut;
            if (animation.frames.size() > 1)
                result.frames = animation.frames;
            result.stamp = stamp;
            return result;
        case Apng::Animation::Outcome::Broken:
            break; // the default picture, as any PNG reader shows it
        }
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
    // A "successful" read of nothing (an empty SVG), or of a drawing Qt cannot
    // render, is no picture; one past the bounds is not kept.
    if (image.isNull() || ((format == "svg" || format == "svgz") && fullyTransparent(image))) {
        qCDebug(lcViewer) << "decoded nothing from" << path;
        return failed(path, LoadFailure::Corrupt);
    }
    if (!withinBounds(qint64(image.width()) * image.height(), options))
        return failed(path, LoadFailure::TooLarge);
    result.path = path;
    result.stage = LoadStage::Full;
    result.image = paintable(std::move(image));
    result.fullSize = result.image.size();
    result.stamp = stamp;
    return result;
}

} // namespace ImageDecode
