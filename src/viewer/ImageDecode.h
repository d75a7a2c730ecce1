#pragma once

#include "viewer/LoadResult.h"

#include <QByteArray>
#include <QSize>

#include <functional>

// Turning a file into a picture, on a loader thread. Every format takes this one
// path; the refusals come before any pixel is decoded.
namespace ImageDecode {

// Pictures beyond 256 megapixels (1 GB as RGB32) are refused, whatever the format;
// the size comes from the header.
constexpr qint64 kMaxPixels = 256LL * 1000 * 1000;
// Files are read whole into memory up to this size, never further (a link to
// /dev/zero is not a regular file and is refused before that).
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
// All frames of an animation together; past it only the frames read so far play.
constexpr qint64 kMaxAnimationBytes = 256LL * 1024 * 1024;

struct Options
{
    QSize view; // the view's size: a picture larger than it is first decoded fitted
    bool fastFirst = false; // deliver a fitted decode or a RAW preview before the full picture
    qint64 maxBytes = -1; // refuse pictures whose decoded pixels would take more (a preload's budget)
    std::function<bool()> cancelled;
    std::function<void(LoadResult)> deliver; // receives the fast first picture
    // Runs a side job (the fitted decode) beside the full decode; inline when empty.
    std::function<void(std::function<void()>)> spawn;
};

// The full picture (stage Full) or why not (stage Failed). Preview results go to
// options.deliver first, possibly from the side job's thread.
LoadResult load(const QString &path, const Options &options);

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

// The upright size of a stored size under QImageReader's transformation.
QSize uprightSize(const QSize &stored, bool quarterTurned);

} // namespace ImageDecode
