#pragma once

#include <QStyledItemDelegate>

class Thumbnailer;
class ThumbnailList;

// Draws one cell: the thumbnail the thumbnailer holds, fitted and centred in the
// box, or a placeholder; the file name under it where names are shown; the current
// cell marked.
class ThumbnailDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // A child of list, whose size and screen it draws for.
    ThumbnailDelegate(const Thumbnailer *thumbnailer, ThumbnailList *list, bool namesShown);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The cell size for a thumbnail box of side logical pixels.
    QSize cellSize(int side) const;

private:
    const Thumbnailer *thumbnailer;
    const ThumbnailList *list;
    const bool namesShown;
};
