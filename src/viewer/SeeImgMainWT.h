#pragma once

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QUrl>
#include <QWidget>

#include <functional>

class CenterShowWT;
class QGraphicsPixmapItem;
class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QMovie;
class QPushButton;

// The image view: the empty-state drop area until the first picture, then one
// picture in a graphics view with zoom, pan, quarter turns and two arrow buttons.
class SeeImgMainWT : public QWidget
{
    Q_OBJECT

public:
    explicit SeeImgMainWT(QWidget *parent = nullptr);

    void zoomIn();
    void zoomOut();
    void toOrigin(bool notify);
    void fitToScreen();
    void rotateView(double angle);

    QString imgFilePath() const;
    QPixmap currentPixmap() const;
    void setImgPath(const QString &path);
    void showImg(const QString &path);
    bool nextImg();
    bool prevImg();

    double zoomFactor() const;
    QSizeF pictureSize() const;
    QPushButton *leftArrowBtn() const;
    QPushButton *rightArrowBtn() const;
    QGraphicsView *graphicsView() const;
    QLabel *loadingLabel() const;
    CenterShowWT *dropArea() const;

    // True while the picture follows the view's size: after a load or a fit, until
    // a zoom step or actual size.
    bool followsWindow() const;

signals:
    void notifyScale(double scaleFactor);
    void setImgFilePath(QString imgFilePath);
    // A double click on the picture.
    void pictureDoubleClicked();

public slots:
    void addFile();
    void showDefaultImg();
    void showAllImg();
    void showRawImg();
    // A RAW decode result. With a path, a result for a file that is no longer the
    // current one is dropped; the image-only form shows whatever arrives.
    void showRawImgAsync(QImage img, const QString &forPath = QString());
    void onDragAndDrop(QList<QUrl> urls);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPointF sceneAt(const QPointF &viewportPos) const;
    QPointF viewportCentre() const;
    void transformKeeping(const QPointF &viewportPos, const std::function<void()> &change);
    void applyZoom(const QPointF &anchor, double scaleBy, double factor);
    void zoomAt(const QPointF &viewportPos, bool up);
    void updateArrows(int x);
    // Fits the picture again by the rule it was fitted with, keeping its turn.
    void refit();
    bool showNeighbour(int offset);
    void showGraphicsView();
    void loadRawAsync();
    void loadSync();
    void removePicture();
    void setPicture(QPixmap pixmap);

    CenterShowWT *centerShow;
    QGraphicsView *view;
    QGraphicsScene *scene;
    QGraphicsPixmapItem *pixmapItem = nullptr;
    double zoomFactorValue = 1.0;
    // How the shown picture was fitted: the load rule keeps small pictures at actual
    // size and leaves the zoom at 1.0; a fit always fills the view and reports its zoom.
    enum class Fit { None, Load, Screen };
    Fit fit = Fit::None;
    double oriWidth = 0;
    double oriHeight = 0;
    QString imgPath;
    QPixmap picture;
    QPushButton *leftBtn;
    QPushButton *rightBtn;
    QLabel *loading;
    QMovie *loadingMovie;
};
