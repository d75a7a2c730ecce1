#pragma once

#include "viewer/LoadResult.h"

#include <QByteArray>
#include <QVector>

#include <functional>

// Animated PNG: Qt's PNG reader shows the default picture only, so the frames are
// put together here. Each frame's data is wrapped as a PNG of its own (the file's
// header chunks, the frame's size) for Qt to decode, then composed on the canvas
// by the frame's blend and dispose rules.
namespace Apng {

// True for a PNG that carries an animation control chunk before its pixel data.
bool isAnimated(const QByteArray &png);

// What the frames held in memory may take together. Every held frame is a whole
// canvas plus kFrameOverheadBytes of bookkeeping (the image's header, its place in
// the list, the pixmap made when it is shown).
struct Limits
{
    qint64 maxPixels = 0; // of the canvas
    qint64 maxBytes = 0; // of all frames held, overhead included
    int maxFrames = 0;
};
constexpr qint64 kFrameOverheadBytes = 1024;

// Bytes one held frame of that canvas costs.
qint64 frameCost(qint64 canvasPixels);

// The frames of a canvas that fit the limits; 0 when not even one does.
int framesWithin(qint64 canvasPixels, const Limits &limits);

struct Animation
{
    enum class Outcome {
        Ok,
        Broken, // chunk order, sequence numbers, frame geometry or data: not an animation
        TooLarge, // the canvas is past the limits, or its memory cannot be had
        Cancelled,
    };
    Outcome outcome = Outcome::Broken;
    QVector<AnimationFrame> frames; // whole canvases, in order
    int loopCount = -1; // QImageReader's meaning: -1 for ever, n extra rounds
    bool cut = false; // more frames than the limits hold: the first ones play
};

// Checks the canvas against the limits before anything is decoded, then decodes
// frames while they fit. Stops early once cancelled answers true.
Animation decode(const QByteArray &png, const Limits &limits, const std::function<bool()> &cancelled);

} // namespace Apng
