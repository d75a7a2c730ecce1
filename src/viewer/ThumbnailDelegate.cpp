#include "ThumbnailDelegate.h"

#include "ThumbnailList.h"
#include "thumbnails/Thumbnailer.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kPadding = 6;
const QColor kPlaceholder(128, 128, 128, 60);
const QColor kFailed(128, 128, 128, 25);
const QColor kMark(0, 120, 215);

} // namespace

ThumbnailDelegate::ThumbnailDelegate(const Thumbnailer *thumbnailer, ThumbnailList *list, bool namesShown)
    : QStyledItemDelegate(list)
    , thumbnailer(thumbnailer)
    , list(list)
    , namesShown(namesShown)
{
}

QSize ThumbnailDelegate::cellSize(int side) const
{
    const int nameHeight = namesShown ? QFontMetrics(list->font()).height() + kPadding / 2 : 0;
    return QSize(side + 2 * kPadding, side + 2 * kPadding + nameHeight);
}

QSize ThumbnailDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return cellSize(list->thumbnailSide());
}

void ThumbnailDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int side = list->thumbnailSide();
    const QRect cell = option.rect;
    const QRect box(cell.x() + (cell.width() - side) / 2, cell.y() + kPadding, side, side);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (option.state & QStyle::State_Selected) {
        QPainterPath frame;
        frame.addRoundedRect(QRectF(cell).adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
        painter->fillPath(frame, QColor(kMark.red(), kMark.green(), kMark.blue(), 50));
        painter->setPen(QPen(kMark, 2));
        painter->drawPath(frame);
    }

    const QString path = index.data(Qt::UserRole).toString();
    const ThumbnailSize size = list->cacheSize();
    const QImage image = thumbnailer->thumbnail(path, size);
    if (image.isNull()) {
        QPainterPath placeholder;
        placeholder.addRoundedRect(QRectF(box).adjusted(side / 8.0, side / 8.0, -side / 8.0, -side / 8.0), 3, 3);
        painter->fillPath(placeholder, thumbnailer->hasFailed(path, size) ? kFailed : kPlaceholder);
    } else {
        // Fitted in the box (never past its own device pixels), centred.
        const qreal ratio = list->devicePixelRatioF();
        QSizeF shown = QSizeF(image.size()) / ratio;
        if (shown.width() > side || shown.height() > side)
            shown.scale(side, side, Qt::KeepAspectRatio);
        const QRectF target(box.x() + (side - shown.width()) / 2, box.y() + (side - shown.height()) / 2,
                            shown.width(), shown.height());
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(target, image);
    }

    if (namesShown) {
        const QRect nameRect(cell.x() + kPadding / 2, box.bottom() + kPadding, cell.width() - kPadding,
                             option.fontMetrics.height());
        const QString name = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle,
                                                           nameRect.width());
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(nameRect, Qt::AlignHCenter | Qt::AlignTop, name);
    }
    painter->restore();
}
