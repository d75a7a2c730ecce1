#include "FrameAnimator.h"

#include <QTimer>

FrameAnimator::FrameAnimator(QObject *parent)
    : QObject(parent)
    , timer(new QTimer(this))
{
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &FrameAnimator::next);
}

void FrameAnimator::play(const QVector<AnimationFrame> &played, int loopCount)
{
    frames = played;
    loopsLeft = loopCount;
    frameIndex = 0;
    if (frames.size() > 1)
        timer->start(frames.constFirst().delayMs);
}

void FrameAnimator::stop()
{
    timer->stop();
    frames.clear();
    frameIndex = 0;
}

bool FrameAnimator::hasFrames() const
{
    return !frames.isEmpty();
}

int FrameAnimator::currentFrame() const
{
    return frameIndex;
}

bool FrameAnimator::isRunning() const
{
    return timer->isActive();
}

void FrameAnimator::next()
{
    if (frames.size() < 2)
        return;
    int following = frameIndex + 1;
    if (following == frames.size()) {
        if (loopsLeft == 0)
            return; // played out: the last frame stays
        if (loopsLeft > 0)
            --loopsLeft;
        following = 0;
    }
    frameIndex = following;
    emit frameDue(frames.at(following).image);
    timer->start(frames.at(following).delayMs);
}
