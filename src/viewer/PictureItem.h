#pragma once

#include <QGraphicsItem>
#include <QPixmap>

// The shown picture in the scene, always as large as the full picture, whatever it
// paints from: a stand-in (a RAW preview) while the load goes on, an area-averaged
// level made near the shown scale (the display level a load ends with is one), and
// the full resolution only while it is held (zoomed in). Swapping sources never
// moves or resizes the item.
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
    const QPixmap &level() const;
    // The most detailed picture held: the full one, else the larger reduced one.
    const QPixmap &best() const;
    // How much of the full picture's size best() holds (1 for the full picture).
    double heldScale() const;

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
