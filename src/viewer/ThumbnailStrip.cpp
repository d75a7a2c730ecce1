#include "ThumbnailStrip.h"

#include "ThumbnailDelegate.h"

#include <QScrollBar>

namespace {

constexpr int kStripSide = 72;
// Thumbnails asked for beyond the visible ones, each way: the next steps' cells.
constexpr int kStripReach = 30;

} // namespace

ThumbnailStrip::ThumbnailStrip(Thumbnailer *thumbnailer, QWidget *parent)
    : ThumbnailList(thumbnailer, false, parent)
{
    setObjectName(QStringLiteral("thumbnailStrip"));
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The wheel scrolls it and the shown picture is kept in the middle: no bar.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setReach(kStripReach);
    setThumbnailSide(kStripSide);
    connect(this, &QListView::clicked, this, [this](const QModelIndex &index) { emit openRow(index.row()); });
    relayout();
}

void ThumbnailStrip::setCurrentRow(int row)
{
    if (!model())
        return;
    const QModelIndex index = model()->index(row, 0, rootIndex());
    if (!index.isValid()) {
        clearSelection();
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void ThumbnailStrip::relayout()
{
    const auto *cells = static_cast<const ThumbnailDelegate *>(itemDelegate());
    const QSize cell = cells->cellSize(thumbnailSide());
    setGridSize(cell);
    horizontalScrollBar()->setSingleStep(qMax(1, cell.width() / 2));
    setFixedHeight(cell.height() + 2 * frameWidth());
    doItemsLayout();
}
