#include "viewer/ImageDecode.h"

#include "formats/Formats.h"
#include "rawdecode/RawDecode.h"
#include "viewer/Apng.h"
#include "viewer/PictureMemory.h"
#include "viewer/ViewerLog.h"
#include "viewer/ZoomModel.h"

#include <QBuffer>
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

// libpng and libtiff print a failed read straight to stderr; these decoders report
// through Qt's messages only (captured below), so only they are stopped mid-picture.
// The others read to the end and their picture is dropped.
bool stopsQuietly(const QByteArray &format)
{
    return format == "jpeg" || format == "webp" || format == "gif";
}

// What the decoders on this thread say (Qt's JPEG reader, libpng's warnings, the
// plugins), kept for the result instead of printed. Our own categories pass.
thread_local QStringList *captured = nullptr;
QtMessageHandler passOn = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (captured && !(context.category && qstrncmp(context.category, "quorvane.", 9) == 0)) {
        captured->append(text);
        return;
    }
    passOn(type, context, text);
}

class MessageCapture
{
public:
    MessageCapture()
    {
        static const bool installed = [] {
            passOn = qInstallMessageHandler(captureMessage);
            return true;
        }();
        Q_UNUSED(installed);
        outer = captured;
        captured = &messages;
    }
    ~MessageCapture() { captured = outer; }
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    QStringList messages;

private:
    QStringList *outer = nullptr;
};

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

LoadResult finished(const QString &path, QImage image, const QSize &full)
{
    LoadResult result;
    result.path = path;
    result.stage = LoadStage::Full;
    result.image = std::move(image);
    result.fullSize = full;
    return result;
}

// A decoded picture brought to the kept size by one area-averaged filter.
QImage toKeptSize(QImage image, const QSize &kept)
{
    return image.size() == kept ? image : paintable(downscale(image, kept));
}

// The embedded preview, upright; null when there is none or it does not decode.
// One that covers atMost is decoded at that size (scaled in the DCT); a smaller one
// only when wanted anyway.
QImage rawPreview(RawDecode::RawFile &raw, const QSize &atMost, bool smallerWanted)
{
    RawDecode::Preview preview;
    if (raw.preview(preview) != RawDecode::Failure::None)
        return QImage();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(preview.jpeg.data()),
                                                     int(preview.jpeg.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    const bool quarterTurned = preview.quarterTurns % 2;
    const QSize upright = uprightSize(QSize(preview.width, preview.height), quarterTurned);
    if (atMost.isValid() && upright.width() >= atMost.width() && upright.height() >= atMost.height())
        reader.setScaledSize(uprightSize(atMost, quarterTurned));
    else if (!smallerWanted)
        return QImage();
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return paintable(turned(image, preview.quarterTurns));
}

} // namespace

LoadResult loadRaw(const RawRequest &request, const Options &options, bool *notRaw)
{
    const QString &path = request.path;
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
    const QSize kept = keptSize(full, request.view, request.resolution);
    if (!fitsBudget(kept, options))
        return failed(path, LoadFailure::TooLarge);

    // A preview at least as large as the kept size is the final picture; a smaller
    // one may still be worth showing while the develop runs.
    if (kept != full || request.wantPreview) {
        const QImage preview = rawPreview(raw, kept != full ? kept : QSize(), request.wantPreview);
        if (isCancelled(options))
            return failed(path, LoadFailure::Cancelled);
        if (!preview.isNull() && kept != full && preview.width() >= kept.width() - 1
            && preview.height() >= kept.height() - 1)
            return finished(path, toKeptSize(preview, kept), full);
        if (!preview.isNull() && request.wantPreview && options.deliver && previewUseful(preview.size(), request.view)) {
            LoadResult first = finished(path, preview, full);
            first.stage = LoadStage::Preview;
            options.deliver(first);
        }
    }

    // LibRaw writes its packed rows into the picture's own memory; they are widened
    // to RGB32 in place.
    raw.setHalfSize(kept != full && halfSizeCovers(full, kept));
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
    // A half-size develop of odd sides may be a pixel short of the kept size.
    return finished(path, toKeptSize(image, kept), kept == full ? image.size() : full);
}

namespace {

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
    // Qt's smooth scaling averages every source pixel of an area when it shrinks (on
    // threads of its own for a large picture).
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QSize uprightSize(const QSize &stored, bool quarterTurned)
{
    return quarterTurned ? stored.transposed() : stored;
}

QSize keptSize(const QSize &full, const QSize &view, Resolution resolution)
{
    return resolution == Resolution::Full ? full : ZoomModel::fittedSize(full, view);
}

bool halfSizeCovers(const QSize &full, const QSize &kept)
{
    return full.width() / 2 >= kept.width() && full.height() / 2 >= kept.height();
}

namespace {

LoadResult decodeFile(const QString &path, const Options &options)
{
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    LoadResult result;

    bool notRaw = !Formats::isRawSuffix(QFileInfo(path).suffix());
    if (!notRaw) {
        result = loadRaw({path, options.view, options.resolution, options.firstPaint}, options, &notRaw);
        if (!notRaw)
            return result;
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

    CancellableDevice device(bytes, stopsQuietly(format) ? options.cancelled : std::function<bool()>());
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isValid() && qint64(stored.width()) * stored.height() > kMaxPixels)
        return failed(path, LoadFailure::TooLarge);
    const bool quarterTurned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize full = uprightSize(stored, quarterTurned);
    const QSize kept = keptSize(full, options.view, options.resolution);
    if (stored.isValid() && !fitsBudget(kept, options))
        return failed(path, LoadFailure::TooLarge);

    if (format == "png" && Apng::isAnimated(bytes)) {
        const Apng::Animation animation = Apng::decode(bytes, kMaxAnimationBytes, kMaxPixels, options.cancelled);
        if (isCancelled(options))
            return failed(path, LoadFailure::Cancelled);
        if (animation.ok) {
            result = finished(path, animation.frames.constFirst().image, animation.frames.constFirst().image.size());
            result.loopCount = animation.loopCount;
            if (animation.frames.size() > 1)
                result.frames = animation.frames;
            return result;
        }
        // A broken animation: the default picture, as any PNG reader shows it.
    }
    if (reader.supportsAnimation() && reader.imageCount() != 1)
        return loadAnimation(path, reader, full, options);

    // JPEG scales in the DCT: the reader decodes at the scale that still covers the
    // kept size and filters down once from there; that is the final picture.
    const bool scaled = stored.isValid() && kept != full && format == "jpeg";
    if (scaled)
        reader.setScaledSize(uprightSize(kept, quarterTurned));

    // These readers decode into the picture they are given when its size and format
    // are right, and set every pixel.
    QImage image;
    if (stored.isValid() && !scaled && (format == "jpeg" || format == "png"))
        image = PictureMemory::image(stored, reader.imageFormat());
    if (!reader.read(&image) || isCancelled(options)) {
        if (isCancelled(options))
            return failed(path, LoadFailure::Cancelled);
        qCDebug(lcViewer) << "cannot decode" << path << reader.errorString();
        return failed(path, LoadFailure::Corrupt);
    }
    image = paintable(std::move(image));
    const QSize upright = scaled ? full : image.size();
    if (kept == upright || scaled)
        return finished(path, image, upright);
    // No scaled decoding: the whole picture is the first paint, its level the final one.
    if (options.firstPaint && options.deliver) {
        LoadResult first = finished(path, image, upright);
        first.stage = LoadStage::Preview;
        options.deliver(first);
    }
    const QImage level = toKeptSize(std::move(image), keptSize(upright, options.view, options.resolution));
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    return finished(path, level, upright);
}

} // namespace

LoadResult load(const QString &path, const Options &options)
{
    const FileStamp stamp = FileStamp::of(path);
    MessageCapture capture;
    LoadResult result = decodeFile(path, options);
    // However the decoder ended a read that was refused, the load was cancelled.
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    if (result.stage != LoadStage::Failed)
        result.stamp = stamp;
    result.warnings = capture.messages;
    return result;
}

} // namespace ImageDecode
