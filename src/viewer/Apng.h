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

struct Animation
{
    QVector<AnimationFrame> frames; // whole canvases, in order
    int loopCount = -1; // QImageReader's meaning: -1 for ever, n extra rounds
    bool ok = false;
};

// Decodes every frame, at most maxBytes of canvases in all (the frames read until
// then play). Stops early once cancelled answers true.
Animation decode(const QByteArray &png, qint64 maxBytes, qint64 maxPixels, const std::function<bool()> &cancelled);

} // namespace Apng
