#include "ImageDecode.h"

#include "formats/ByteOrder.h"
#include "formats/ContentFormat.h"
#include "formats/Formats.h"
#include "Apng.h"
#include "PngDecode.h"
#include "viewer/EarlyDecode.h"
#include "DecoderSupport.h"
#include "DisplayColour.h"
#include "PictureMemory.h"
#include "RawClient.h"
#include "ViewerLog.h"
#include "WebpDecode.h"
#include "ZoomModel.h"

#include <QBuffer>
#include <QColorSpace>
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
QImage inPaintFormat(QImage image)
{
    PictureMemory::premultiplyInPlace(image);
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    return image.format() == format ? image : std::move(image).convertToFormat(format);
}

// A picture as it is shown: in the paint format and sRGB, the colours a screen is
// taken to show. The colours are converted once, on the smallest picture shown: a
// picture already converted is tagged sRGB and passes unchanged.
QImage paintable(QImage image)
{
    DisplayColour::toSrgb(image);
    return inPaintFormat(std::move(image));
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
        const qint64 size = qint32(ByteOrder::littleEndian(bytes, typeEnd + 1, 4));
        const int value = typeEnd + 5;
        if (size < 0 || value + size > bytes.size())
            return -1;
        if (bytes.mid(at, nameEnd - at) == "dataWindow" && size == 16) {
            const qint64 width = qint64(qint32(ByteOrder::littleEndian(bytes, value + 8, 4))) - qint32(ByteOrder::littleEndian(bytes, value, 4)) + 1;
            const qint64 height
                = qint64(qint32(ByteOrder::littleEndian(bytes, value + 12, 4))) - qint32(ByteOrder::littleEndian(bytes, value + 4, 4)) + 1;
            return width > 0 && height > 0 ? width * height : -1;
        }
        at = value + int(size);
    }
    return -1;
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

// A decoded picture brought to the kept size by one area-averaged filter, as shown.
QImage toKeptSize(QImage image, const QSize &kept)
{
    return paintable(image.size() == kept ? std::move(image) : downscale(image, kept));
}

// The embedded preview, upright; null when it does not decode. One that covers
// atMost is decoded at that size (scaled in the DCT); a smaller one only when wanted
// anyway.
QImage rawPreview(const RawClient::Preview &preview, const QSize &atMost, bool smallerWanted)
{
    QBuffer buffer;
    buffer.setData(preview.jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    const bool quarterTurned = preview.quarterTurns % 2;
    const QSize upright = uprightSize(preview.size, quarterTurned);
    if (atMost.isValid() && upright.width() >= atMost.width() && upright.height() >= atMost.height())
        reader.setScaledSize(uprightSize(atMost, quarterTurned));
    else if (!smallerWanted)
        return QImage();
    QImage image;
    if (!reader.read(&image))
        return QImage();
    const QImage standing = turned(image, preview.quarterTurns);
    return paintable(preview.mirrored ? standing.mirrored(true, false) : standing);
}

} // namespace

// In the decoder process (RawClient): the header first, then the preview when it may
// serve, then the develop the kept size needs, if any.
LoadResult loadRaw(const RawRequest &request, const Options &options, bool *notRaw)
{
    const QString &path = request.path;
    QSize kept;
    LoadResult served; // the preview, when it is the final picture
    RawClient::Request ask;
    ask.path = path;
    // The preview is looked at when it may be the final picture or is wanted first.
    ask.preview = request.resolution == Resolution::Display || request.wantPreview;
    ask.maxBytes = options.maxBytes;
    const auto onPreview = [&](const RawClient::Preview &preview) {
        kept = keptSize(preview.fullSize, request.view, request.resolution);
        const bool reduced = kept != preview.fullSize;
        const QImage image = rawPreview(preview, reduced ? kept : QSize(), request.wantPreview);
        if (image.isNull() || isCancelled(options))
            return;
        // A preview at least as large as the kept size is the final picture; a
        // smaller one may still be worth showing while the develop runs.
        if (reduced && image.width() >= kept.width() - 1 && image.height() >= kept.height() - 1) {
            served = finished(path, toKeptSize(image, kept), preview.fullSize);
            return;
        }
        if (request.wantPreview && options.deliver && previewUseful(image.size(), request.view)) {
            LoadResult first = finished(path, image, preview.fullSize);
            first.stage = LoadStage::Preview;
            options.deliver(first);
        }
    };
    ask.develop = [&](const QSize &full) {
        kept = keptSize(full, request.view, request.resolution);
        if (served.stage == LoadStage::Full)
            return RawClient::Develop::None;
        return kept != full && halfSizeCovers(full, kept) ? RawClient::Develop::Half : RawClient::Develop::Full;
    };
    RawClient::Result raw = RawClient::decode(ask, options.cancelled, onPreview);
    if (raw.notRaw) {
        *notRaw = true;
        return failed(path, LoadFailure::NotImage);
    }
    if (raw.failure != LoadFailure::None) {
        qCDebug(lcViewer) << "RAW file not decoded:" << path << raw.error;
        return failed(path, raw.failure);
    }
    if (served.stage == LoadStage::Full)
        return served;
    // A half-size develop of odd sides may be a pixel short of the kept size.
    const QSize full = raw.fullSize;
    return finished(path, toKeptSize(inPaintFormat(std::move(raw.picture)), kept), full);
}

LoadFailure readRegularFile(const QString &path, PictureMemory::Bytes *bytes, qint64 upTo)
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
        *bytes = PictureMemory::Bytes::allocate(qMin<qint64>(info.st_size, upTo));
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
        if (bytes->isNull() || (upTo == kMaxFileBytes && have == kMaxFileBytes && ::read(fd, &extra, 1) > 0))
            outcome = LoadFailure::TooLarge;
    }
    ::close(fd);
    return outcome;
}

namespace {

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
    return Formats::readerFormats().contains(format.toLower());
}

LoadFailure refusal(const QByteArray &qtFormat, const QString &contentFormat)
{
    return isAllowedFormat(qtFormat) || !contentFormat.isEmpty() ? LoadFailure::Unsupported : LoadFailure::NotImage;
}

bool embedsProfile(const QByteArray &format, const QByteArray &bytes)
{
    // Qt's PNG reader makes a colour space of gAMA and cHRM chunks too, which
    // ImageMagick writes into every PNG; only an iCCP chunk (before the pixels) is a
    // profile. The other readers take colour spaces from ICC profiles alone.
    if (format != "png")
        return true;
    return bytes.left(bytes.indexOf("IDAT")).contains("iCCP");
}

bool endsEarly(const QByteArray &format, const QByteArray &bytes)
{
    // The decoders fill what is missing (grey rows) and say nothing. A JPEG's last
    // scan ends with the end-of-image marker; neither marker occurs inside the
    // coded data, and the last start of scan is the main picture's, after any
    // thumbnail in its metadata. A PNG ends with its IEND chunk.
    if (format == "jpeg") {
        const int end = bytes.lastIndexOf("\xFF\xD9");
        return end < 0 ? bytes.contains("\xFF\xDA") : bytes.indexOf("\xFF\xDA", end) >= 0;
    }
    if (format == "png")
        return bytes.lastIndexOf("IEND") < 0;
    return false;
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

qint64 declaredPixels(const QByteArray &format, const QByteArray &bytes)
{
    if (format == "tga" && bytes.size() >= 18)
        return qint64(ByteOrder::littleEndian(bytes, 12, 2)) * ByteOrder::littleEndian(bytes, 14, 2);
    if (format == "pcx" && bytes.size() >= 12) {
        const qint64 width = qint64(ByteOrder::littleEndian(bytes, 8, 2)) - ByteOrder::littleEndian(bytes, 4, 2) + 1;
        const qint64 height = qint64(ByteOrder::littleEndian(bytes, 10, 2)) - ByteOrder::littleEndian(bytes, 6, 2) + 1;
        return width > 0 && height > 0 ? width * height : -1;
    }
    // Qt's PNG reader tells no size for a side past libpng's limit of a million
    // pixels; the own decoder would still take such a file.
    if (format == "png") {
        const QSize size = ContentFormat::headerSize(bytes);
        return size.isValid() ? qint64(size.width()) * size.height() : -1;
    }
    // The signature, then the MHDR chunk: length, type, frame width and height.
    if (format == "mng" && bytes.size() >= 24 && bytes.mid(12, 4) == "MHDR")
        return qint64(ByteOrder::bigEndian(bytes, 16)) * ByteOrder::bigEndian(bytes, 20);
    if (format == "exr" && bytes.size() >= 8 && ByteOrder::littleEndian(bytes, 0, 4) == 20000630u)
        return exrPixels(bytes);
    return -1;
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

// A decoded picture as the load's result: the final picture, with the whole one
// delivered first when it still has to be filtered down for the screen. A scaled
// decode is at the kept size already.
LoadResult fromDecoded(const QString &path, QImage image, const QSize &upright, bool scaled, bool incomplete,
                       const Options &options)
{
    if (qint64(image.width()) * image.height() > kMaxPixels
        || !fitsBudget(keptSize(image.size(), options.view, options.resolution), options))
        return failed(path, LoadFailure::TooLarge);
    const auto finalPicture = [&](QImage picture) {
        LoadResult result = finished(path, std::move(picture), upright);
        result.incomplete = incomplete;
        return result;
    };
    const QSize kept = keptSize(upright, options.view, options.resolution);
    if (kept == upright || scaled)
        return finalPicture(paintable(std::move(image)));
    // No scaled decoding: the whole picture is the first paint, its level the final
    // one. The colours of the whole are converted only when it is shown; the level
    // filtered from it is then sRGB already.
    const bool firstShown = options.firstPaint && options.deliver;
    image = firstShown ? paintable(std::move(image)) : inPaintFormat(std::move(image));
    if (firstShown) {
        LoadResult first = finished(path, image, upright);
        first.stage = LoadStage::Preview;
        options.deliver(first);
    }
    const QImage level = toKeptSize(std::move(image), kept);
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    return finalPicture(level);
}

LoadResult decodeFile(const QString &path, const FileStamp &stamp, const Options &options)
{
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    // The picture named at start-up may be decoded already.
    QImage early = EarlyDecode::take(path, stamp, options.cancelled);
    if (!early.isNull())
        return fromDecoded(path, early, early.size(), false, false, options);
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
        return failed(path, LoadFailure::Empty);

    // The format from the content alone, and only among the allowed ones: a plugin
    // is asked whether it can read, never asked to read, before that.
    CancellableDevice probe(bytes, options.cancelled);
    const QByteArray format = QImageReader::imageFormat(&probe);
    if (!isAllowedFormat(format) || !DecoderSupport::canDecode(format)) {
        const LoadFailure why = refusal(format, ContentFormat::of(bytes.left(ContentFormat::kHeadBytes), QString()));
        qCDebug(lcViewer) << "refused content format" << format << "of" << path << failureReason(why);
        return failed(path, why);
    }

    CancellableDevice device(bytes, stopsQuietly(format) ? options.cancelled : std::function<bool()>());
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
    const QSize kept = keptSize(full, options.view, options.resolution);
    if (stored.isValid() && !fitsBudget(kept, options))
        return failed(path, LoadFailure::TooLarge);

    if (format == "png" && Apng::isAnimated(bytes)) {
        const Apng::Animation animation = Apng::decode(bytes, animationLimits(), options.cancelled);
        switch (animation.outcome) {
        case Apng::Animation::Outcome::Cancelled: return failed(path, LoadFailure::Cancelled);
        case Apng::Animation::Outcome::TooLarge: return failed(path, LoadFailure::TooLarge);
        case Apng::Animation::Outcome::Ok: {
            // The frames are drawn on canvases of no colour space: a profile the file
            // embeds is theirs, shown as sRGB as any picture's.
            const QColorSpace space = QColorSpace::fromIccProfile(DisplayColour::embeddedProfile(bytes));
            QVector<AnimationFrame> frames = animation.frames;
            for (AnimationFrame &frame : frames) {
                if (space.isValid())
                    frame.image.setColorSpace(space);
                frame.image = paintable(std::move(frame.image));
            }
            result = finished(path, frames.constFirst().image, frames.constFirst().image.size());
            result.loopCount = animation.loopCount;
            result.framesCut = animation.cut;
            if (frames.size() > 1)
                result.frames = frames;
            return result;
        }
        case Apng::Animation::Outcome::Broken:
            break; // the default picture, as any PNG reader shows it
        }
    }
    if (reader.supportsAnimation() && reader.imageCount() != 1)
        return loadAnimation(path, reader, full, options);

    // JPEG scales in the DCT: the reader decodes at the scale that still covers the
    // kept size and filters down once from there; that is the final picture. A still
    // WebP is decoded by libwebp at the kept size.
    const bool ownWebp = format == "webp" && stored.isValid() && !quarterTurned && WebpDecode::takes(bytes);
    const bool scaled = stored.isValid() && kept != full && (format == "jpeg" || ownWebp);
    if (scaled && !ownWebp)
        reader.setScaledSize(uprightSize(kept, quarterTurned));

    // These readers decode into the picture they are given when its size and format
    // are right, and set every pixel.
    QImage image;
    if (ownWebp)
        image = WebpDecode::decode(bytes, scaled ? kept : stored);
    else if (format == "png" && reader.transformation() == QImageIOHandler::TransformationNone)
        image = PngDecode::decode(bytes, options.cancelled);
    // What the own decoders leave (a damaged or unusual PNG) Qt's reader decides.
    const bool byQt = !ownWebp && image.isNull() && !isCancelled(options);
    if (byQt && stored.isValid() && !scaled && (format == "jpeg" || format == "png"))
        image = PictureMemory::image(stored, reader.imageFormat());
    if ((ownWebp && image.isNull()) || (byQt && !reader.read(&image)) || isCancelled(options)) {
        if (isCancelled(options))
            return failed(path, LoadFailure::Cancelled);
        qCDebug(lcViewer) << "cannot decode" << path << reader.errorString();
        return failed(path, LoadFailure::Corrupt);
    }
    // A "successful" read of nothing (an empty SVG), or of a drawing Qt cannot
    // render, is no picture; one past the bounds is not kept.
    if (image.isNull() || ((format == "svg" || format == "svgz") && fullyTransparent(image))) {
        qCDebug(lcViewer) << "decoded nothing from" << path;
        return failed(path, LoadFailure::Corrupt);
    }
    if (image.colorSpace().isValid() && !embedsProfile(format, bytes))
        image.setColorSpace(QColorSpace());
    const QSize upright = scaled ? full : image.size();
    return fromDecoded(path, std::move(image), upright, scaled, endsEarly(format, bytes), options);
}

} // namespace

QImage decodeEarly(const QString &path, const std::function<bool()> &cancelled)
{
    // Only a still PNG the own decoder takes (within the bounds of every load): the
    // header says so before the file is read.
    PictureMemory::Bytes head, file;
    if (readRegularFile(path, &head, PngDecode::kHeaderBytes) != LoadFailure::None || !PngDecode::takes(head.view())
        || readRegularFile(path, &file) != LoadFailure::None || Apng::isAnimated(file.view()))
        return QImage();
    return PngDecode::decode(file.view(), cancelled);
}

LoadResult load(const QString &path, const Options &options)
{
    const FileStamp stamp = FileStamp::of(path);
    MessageCapture capture;
    LoadResult result = decodeFile(path, stamp, options);
    // However the decoder ended a read that was refused, the load was cancelled.
    if (isCancelled(options))
        return failed(path, LoadFailure::Cancelled);
    if (result.stage != LoadStage::Failed)
        result.stamp = stamp;
    result.warnings = capture.messages;
    return result;
}

} // namespace ImageDecode
