#pragma once

#include "viewer/LoadResult.h"

#include <QByteArray>
#include <QSize>

#include <functional>

namespace PictureMemory {
class Bytes;
}

// Turning a file into a picture, on a loader thread. Every format takes this one
// path; the refusals come before any pixel is decoded.
namespace ImageDecode {

// Pictures beyond 256 megapixels (1 GB as RGB32) are refused, whatever the format;
// the size comes from the header.
constexpr qint64 kMaxPixels = 256LL * 1000 * 1000;
// Files are read whole into memory up to this size, never further (a link to
// /dev/zero is not a regular file and is refused before that).
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
// All frames of an animation held together, each a whole canvas plus its overhead
// (Apng::kFrameOverheadBytes), and their number; past either only the first frames
// play (LoadResult::framesCut).
constexpr qint64 kMaxAnimationBytes = 256LL * 1024 * 1024;
constexpr int kMaxAnimationFrames = 5000;

// Reads a regular file whole, up to kMaxFileBytes, or only its first upTo bytes.
// The descriptor is opened without blocking and checked again, so a file swapped
// for a FIFO meanwhile cannot hang.
LoadFailure readRegularFile(const QString &path, PictureMemory::Bytes *bytes, qint64 upTo = kMaxFileBytes);

// How many pixels a load keeps: the picture at the size the view fits it to, or all.
enum class Resolution {
    Display, // fitted to the view (JPEG and RAW decode scaled, others are filtered down once)
    Full,
};

struct Options
{
    QSize view; // the view's size, which a Display load fits the picture to
    Resolution resolution = Resolution::Full;
    bool firstPaint = false; // deliver a first picture (a RAW preview, an unfiltered decode) before the final one
    qint64 maxBytes = -1; // refuse pictures whose kept pixels would take more (a preload's budget)
    std::function<bool()> cancelled;
    std::function<void(LoadResult)> deliver; // receives the first picture
};

// The final picture (stage Full: the display level or the full resolution, as
// asked) or why not (stage Failed). A first picture goes to options.deliver before.
// What the decoders say goes into the result's warnings, never to the terminal, and
// is dropped with a cancelled load.
LoadResult load(const QString &path, const Options &options);

// The picture named at start-up, decoded before the window is up (EarlyDecode): a
// still PNG the own decoder takes, whole; null for any other file.
QImage decodeEarly(const QString &path, const std::function<bool()> &cancelled = {});

// The one entry point for camera RAW files: what the loader wants of one.
struct RawRequest
{
    QString path;
    QSize view;
    Resolution resolution = Resolution::Full;
    bool wantPreview = false; // deliver the embedded preview first when it is worth showing
};

// The RAW path: the embedded preview when it covers the display size, else a develop
// (at half size when that covers it). Sets *notRaw when LibRaw does not know the
// content (a JPEG named .dng).
LoadResult loadRaw(const RawRequest &request, const Options &options, bool *notRaw);

// The size a load keeps of a picture of full (upright) size.
QSize keptSize(const QSize &full, const QSize &view, Resolution resolution);

// A half-size develop covers the kept size.
bool halfSizeCovers(const QSize &full, const QSize &kept);

// The Qt image formats the viewer decodes: those of its listed suffixes, camera RAW
// aside (LibRaw does those), and never one whose plugin starts another program
// (PostScript, EPS, PDF).
bool isAllowedFormat(const QByteArray &format);

// Why content the viewer does not decode is refused: Unsupported when it is a
// picture format it knows (Qt's name from a plugin's probe, or ContentFormat's
// from the signature) but has no decoder for here, else NotImage.
LoadFailure refusal(const QByteArray &qtFormat, const QString &contentFormat);

// Whether a file of format carries an ICC profile, as far as the colour space Qt's
// reader gave its picture is to be believed.
bool embedsProfile(const QByteArray &format, const QByteArray &bytes);

// Whether a decoded file of format ended before its picture did (a truncated
// download or copy): the picture is shown, marked incomplete.
bool endsEarly(const QByteArray &format, const QByteArray &bytes);

// A RAW preview is worth showing first when it covers at least a quarter of the
// view along one side.
bool previewUseful(const QSize &preview, const QSize &view);

// An area-averaged downscale of picture to size (a box filter: every source pixel
// counts), for painting below 100% without aliasing.
QImage downscale(const QImage &picture, const QSize &size);

// Width x height a TGA, PCX, MNG, EXR or PNG header declares, for the formats whose
// Qt reader cannot (always) tell the size before decoding; -1 when unknown or unreadable.
qint64 declaredPixels(const QByteArray &format, const QByteArray &bytes);

// The upright size of a stored size under QImageReader's transformation.
QSize uprightSize(const QSize &stored, bool quarterTurned);

} // namespace ImageDecode
