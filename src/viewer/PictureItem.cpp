#include "PictureItem.h"

#include <QPainter>

#include <cmath>

namespace {
// A source may be this much larger than the shown size before bilinear sampling
// starts to skip pixels visibly.
constexpr double kMaxOversize = 1.25;

// Transparency shows as the usual grey checkerboard, 8-pixel squares on screen.
const QBrush &checkerboard()
{
    static const QBrush brush = [] {
        QPixmap tile(16, 16);
        tile.fill(QColor(0xFF, 0xFF, 0xFF));
        QPainter p(&tile);
        p.fillRect(0, 0, 8, 8, QColor(0xCC, 0xCC, 0xCC));
        p.fillRect(8, 8, 8, 8, QColor(0xCC, 0xCC, 0xCC));
        return QBrush(tile);
    }();
    return brush;
}
} // namespace

PictureItem::PictureItem(const QSize &fullSize, QGraphicsItem *parent)
    : QGraphicsItem(parent)
    , size(fullSize)
{ }

QRectF PictureItem::boundingRect() const
{
    return QRectF(QPointF(0, 0), QSizeF(size));
}

double PictureItem::scaleOf(const QTransform &transform)
{
    return std::sqrt(std::abs(transform.determinant()));
}

double PictureItem::scaleOfSource(const QPixmap &pixmap) const
{
    return size.width() > 0 ? double(pixmap.width()) / size.width() : 0;
}

bool PictureItem::serves(const QPixmap &pixmap, double scale) const
{
    if (pixmap.isNull())
        return false;
    const double own = scaleOfSource(pixmap);
    return own >= scale * 0.999 && own <= scale * kMaxOversize;
}

bool PictureItem::hasFilteredSourceFor(double scale) const
{
    return scale >= 0.999 || serves(levelPixmap, scale) || (fullPixmap.isNull() && serves(standInPixmap, scale));
}

const QPixmap &PictureItem::sourceFor(double scale) const
{
    if (scale < 0.999) {
        if (serves(levelPixmap, scale))
            return levelPixmap;
        // A RAW preview is itself filtered: better than sampling the full picture
        // while the level is being made.
        if (!standInPixmap.isNull() && scaleOfSource(standInPixmap) >= scale * 0.999
            && scaleOfSource(standInPixmap) <= scale * 2)
            return standInPixmap;
    }
    return best();
}

const QPixmap &PictureItem::best() const
{
    if (!fullPixmap.isNull())
        return fullPixmap;
    return levelPixmap.width() >= standInPixmap.width() ? levelPixmap : standInPixmap;
}

double PictureItem::heldScale() const
{
    return scaleOfSource(best());
}

void PictureItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    // The source is chosen in the screen's pixels: a scaled screen (device pixel
    // ratio 2) needs twice the view's pixels to stay sharp.
    const double viewScale = scaleOf(painter->worldTransform());
    const double scale = viewScale * painter->device()->devicePixelRatioF();
    const QPixmap &source = sourceFor(scale);
    if (source.isNull())
        return;
    // Until a filtered level is made, a large picture is painted unfiltered: bilinear
    // sampling of it would alias just the same, and costs the GUI thread tens of ms.
    if (&source == &fullPixmap && !hasFilteredSourceFor(scale))
        painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (source.hasAlphaChannel() && viewScale > 0) {
        // Squares of a constant size on screen, whatever the zoom.
        QBrush squares = checkerboard();
        squares.setTransform(QTransform::fromScale(1 / viewScale, 1 / viewScale));
        painter->fillRect(boundingRect(), squares);
    }
    painter->drawPixmap(boundingRect(), source, QRectF(source.rect()));
}

void PictureItem::setStandIn(const QPixmap &pixmap)
{
    standInPixmap = pixmap;
    update();
}

void PictureItem::setFull(const QPixmap &pixmap)
{
    fullPixmap = pixmap;
    update();
}

void PictureItem::setLevel(const QPixmap &pixmap)
{
    levelPixmap = pixmap;
    update();
}

QSize PictureItem::fullSize() const
{
    return size;
}
bool PictureItem::hasFull() const
{
    return !fullPixmap.isNull();
}
const QPixmap &PictureItem::full() const
{
    return fullPixmap;
}
const QPixmap &PictureItem::level() const
{
    return levelPixmap;
}
