#pragma once

#include "viewer/LoadResult.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>

#include <functional>

class CurrentPicture;
class FrameAnimator;
class ImageLoader;
class ImageView;
class QTimer;

// The shown picture's load, for the view that draws it: asks the loader for the
// current picture (or takes its neighbour decoded ahead), hands each stage to the
// view, asks for the full resolution and filtered levels as the zoom needs them,
// plays animations, and keeps the neighbours decoded ahead.
class PictureLoad : public QObject
{
    Q_OBJECT

public:
    PictureLoad(ImageView *view, CurrentPicture *current);

    ImageLoader *loader() const;

    // Loads the current picture; what is on screen stays until its first paint.
    void start();
    // Nothing to show: whatever is under way is dropped.
    void stop();
    // A decoded picture as the current file's full picture (see ImageView).
    void showDecoded(QImage image, const QString &forPath);
    // The zoom or the turn changed: another level or the full resolution may be due.
    void scheduleLevel();
    void preloadNeighbours();
    void withWholePicture(QObject *context, const std::function<void(const QPixmap &)> &use);

    bool isLoading() const;
    LoadFailure failure() const;
    int currentFrame() const;
    bool isAnimating() const;

signals:
    void pictureIncomplete();
    void animationCut(int framesPlayed);

private:
    void onLoaded(const LoadResult &result);
    void onLevelReady(quint64 generation, const QImage &level);
    void prepareLevel();
    // What belonged to the last picture goes; the view begins the new one.
    void newPicture(const QSize &fullSize);
    void dropPictureState();
    void fail(LoadFailure why);
    void handWhole(const QPixmap &picture);

    ImageView *view;
    CurrentPicture *current;
    ImageLoader *imageLoader;
    FrameAnimator *animator;
    QTimer *levelTimer;
    quint64 loadGeneration = 0;
    bool loadEnded = true;
    LoadFailure failed = LoadFailure::None;
    bool fullAsked = false; // the full resolution of the shown picture is on its way
    struct WholeWanted
    {
        QPointer<QObject> context;
        std::function<void(const QPixmap &)> use;
    };
    QList<WholeWanted> wholeWanted; // waiting for the full resolution
};
