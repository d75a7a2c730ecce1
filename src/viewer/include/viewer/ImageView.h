#pragma once

#include "viewer/LoadResult.h"

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QUrl>
#include <QWidget>


#include <functional>

class CurrentPicture;
class DropArea;
class ImageLoader;
class PictureItem;
class PictureLoad;
class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QMovie;
class QPushButton;
class QTimer;

// The image view: the empty-state drop area until the first picture, then one
// picture in a graphics view with zoom, pan, quarter turns and two arrow buttons.
class ImageView : public QWidget
{
    Q_OBJECT

public:
    // Nothing new on screen for this long after a step: the spinner shows.
    static constexpr int kSpinnerDelayMs = 300;

    explicit ImageView(QWidget *parent = nullptr);

    void zoomIn();
    void zoomOut();
    void toOrigin(bool notify);
    void fitToScreen();
    void rotateView(double angle);

    QString imgFilePath() const;
    // The shown picture and its folder: what the view shows and steps through.
    CurrentPicture *currentPicture() const;
    QPixmap currentPixmap() const;
    // Hands the current picture whole, turned as the view shows it, to use (what
    // copying and printing take): at once when the full resolution is held, else when
    // its decode in the background arrives. Dropped when the picture changes first or
    // context goes.
    void withWholePicture(QObject *context, const std::function<void(const QPixmap &)> &use);
    // The view's quarter turn in degrees: 0, 90, 180 or -90.
    int turnDegrees() const;
    void setImgPath(const QString &path);
    // What setImgPath named (a file or a folder); empty when nothing was.
    QString startingPath() const { return startPath; }
    void showImg(const QString &path);
    bool nextImg();
    bool prevImg();
    // Back to the empty view (the drop area): nothing shown, no current file.
    void closePicture();
    // Decodes the current picture's neighbours ahead (done after every load; again
    // when what the neighbours are changes, as when a slideshow starts looping).
    void preloadNeighbours();

    // The current file's picture (or its first paint) is on screen: zoom, turns and
    // printing have something to act on. The previous file's picture, left on screen
    // while this one loads, does not count.
    bool hasPicture() const;
    // The current file's load has not ended yet (no full picture, no failure).
    bool isLoading() const;
    // Why the current file is not shown; None while loading or shown.
    LoadFailure loadFailure() const;
    // The animation frame on screen (0 for a still picture).
    int currentFrame() const;
    bool isAnimating() const;

    double zoomFactor() const;
    QSizeF pictureSize() const;
    QPushButton *leftArrowBtn() const;
    QPushButton *rightArrowBtn() const;
    QGraphicsView *graphicsView() const;
    QLabel *loadingLabel() const;
    QLabel *messageLabel() const;
    DropArea *dropArea() const;
    ImageLoader *loader() const;
    PictureItem *pictureItem() const;

    // True while the picture follows the view's size: after a load or a fit, until
    // a zoom step or actual size.
    bool followsWindow() const;

signals:
    void notifyScale(double scaleFactor);
    // The shown picture's file ends before the picture does.
    void pictureIncomplete();
    void shownPathChanged(QString imgFilePath);
    // A double click on the picture.
    void pictureDoubleClicked();
    // The shown animation has more frames than the viewer holds; the first play.
    void animationCut(int framesPlayed);

public slots:
    void addFile();
    void showDefaultImg();
    // A decoded picture shown as the current file's full picture. With a path, a
    // picture for a file that is no longer the current one is dropped; the
    // image-only form shows whatever arrives.
    void showDecodedPicture(QImage img, const QString &forPath = QString());
    void onDragAndDrop(QList<QUrl> urls);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

public:
    // What the picture's load (PictureLoad) gives the view to draw.
    // A new picture of this full size, fitted by the load rule and upright; its
    // levels go into pictureItem().
    void beginPicture(const QSize &fullSize);
    // No picture item any more (the message or the drop area may show instead).
    void removePicture();
    void showFailure(LoadFailure failure);
    // Loading has begun: the spinner comes if nothing new shows for a while.
    void waitForPicture();
    // The size the loader decodes for: this widget in the screen's own pixels.
    QSize screenPixels() const;
    // The picture's scale on screen, in the screen's pixels.
    double paintScale() const;

private:
    QPointF sceneAt(const QPointF &viewportPos) const;
    QPointF viewportCentre() const;
    void transformKeeping(const QPointF &viewportPos, const std::function<void()> &change);
    void applyZoom(const QPointF &anchor, double scaleBy, double factor);
    void zoomAt(const QPointF &viewportPos, bool up);
    void updateArrows(int x);
    // Fits the picture again by the rule it was fitted with, keeping its turn.
    void refit();
    // Fits the picture by the fit rule, keeping its turn; returns the scale.
    double fitView();
    void showSpinner();
    void hideSpinner();
    // Shows what the current picture became: another file, or nothing.
    void followCurrent();
    void showEmpty();
    void showGraphicsView();
    void placeLabels();

    DropArea *centerShow;
    QGraphicsView *view;
    QGraphicsScene *scene;
    CurrentPicture *current;
    quint64 followedGeneration = 0;
    PictureLoad *load;
    PictureItem *pixmapItem = nullptr;
    QTimer *spinnerTimer;
    QTimer *preloadTimer;
    QString shownPath; // the file the picture item shows
    QLabel *message;
    double zoomFactorValue = 1.0;
    // How the shown picture was fitted: the load rule keeps small pictures at actual
    // size and leaves the zoom at 1.0; a fit always fills the view and reports its zoom.
    enum class Fit { None, Load, Screen };
    Fit fit = Fit::None;
    QString startPath; // named before the window was up (setImgPath)
    QPushButton *leftBtn;
    QPushButton *rightBtn;
    QLabel *loading;
    QMovie *loadingMovie;
};
