#pragma once

#include <QGraphicsItem>
#include <QPixmap>

// The shown picture in the scene, always as large as the full picture, whatever it
// paints from: a stand-in (the fitted first decode or a RAW preview) until the full
// picture arrives, then the full picture, or below 100% an area-averaged level made
// near the shown scale. Swapping sources never moves or resizes the item.
class PictureItem : public QGraphicsItem
{
public:
    explicit PictureItem(const QSize &fullSize, QGraphicsItem *parent = nullptr);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    void setStandIn(const QPixmap &pixmap);
    void setFull(const QPixmap &pixmap);
    void setLevel(const QPixmap &pixmap);

    QSize fullSize() const;
    bool hasFull() const;
    const QPixmap &full() const;
    const QPixmap &standIn() const;
    const QPixmap &level() const;

    // The pixmap a paint at this scale uses.
    const QPixmap &sourceFor(double scale) const;
    // True when a prepared level (or the stand-in) serves this scale without aliasing.
    bool hasFilteredSourceFor(double scale) const;

    // The scale the painter's transform shows the item at (turns included).
    static double scaleOf(const QTransform &transform);

private:
    // How much of the full picture's size a source holds (1 for the full picture).
    double scaleOfSource(const QPixmap &pixmap) const;
    bool serves(const QPixmap &pixmap, double scale) const;

    QSize size;
    QPixmap fullPixmap;
    QPixmap standInPixmap;
    QPixmap levelPixmap;
};
