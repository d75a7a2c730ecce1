#pragma once

#include "viewer/LoadResult.h"

#include <QImage>
#include <QObject>
#include <QVector>

class QTimer;

// Plays an animation's frames at their own delays, as many rounds as the file asks;
// the last frame stays when it has played out.
class FrameAnimator : public QObject
{
    Q_OBJECT

public:
    explicit FrameAnimator(QObject *parent = nullptr);

    // Starts on the first frame (already on screen); one frame is no animation.
    void play(const QVector<AnimationFrame> &frames, int loopCount);
    void stop();
    bool hasFrames() const;
    int currentFrame() const;
    bool isRunning() const;

signals:
    void frameDue(const QImage &frame);

private:
    void next();

    QVector<AnimationFrame> frames;
    int frameIndex = 0;
    int loopsLeft = 0;
    QTimer *timer;
};
