#include "ThumbnailList.h"

#include "ThumbnailDelegate.h"
#include "thumbnails/Thumbnailer.h"

#include <QScrollBar>
#include <QtMath>

ThumbnailList::ThumbnailList(Thumbnailer *thumbnailer, bool namesShown, QWidget *parent)
    : QListView(parent)
    , thumbnailer(thumbnailer)
    , delegate(new ThumbnailDelegate(thumbnailer, this, namesShown))
{
    setItemDelegate(delegate);
    setViewMode(QListView::ListMode);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMovement(QListView::Static);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(false);
    asking.setSingleShot(true);
    asking.setInterval(0);
    connect(&asking, &QTimer::timeout, this, &ThumbnailList::ask);
    // A thumbnail made redraws the viewport (coalesced by Qt); a cell of another
    // folder costs nothing.
    connect(thumbnailer, &Thumbnailer::ready, this, [this] { viewport()->update(); });
}

void ThumbnailList::setModel(QAbstractItemModel *model)
{
    if (this->model())
        disconnect(this->model(), nullptr, this, nullptr);
    QListView::setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::rowsInserted, this, &ThumbnailList::askLater);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ThumbnailList::askLater);
    connect(model, &QAbstractItemModel::rowsMoved, this, &ThumbnailList::askLater);
    connect(model, &QAbstractItemModel::modelReset, this, &ThumbnailList::askLater);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ThumbnailList::askLater);
    connect(model, &QAbstractItemModel::dataChanged, this, &ThumbnailList::askLater);
    askLater();
}

void ThumbnailList::setThumbnailSide(int logicalPixels)
{
    if (logicalPixels == side)
        return;
    side = logicalPixels;
    relayout();
    askLater();
}

ThumbnailSize ThumbnailList::cacheSize() const
{
    return Thumbnails::sizeFor(qCeil(side * devicePixelRatioF()));
}

QPair<int, int> ThumbnailList::visibleRows() const
{
    const QAbstractItemModel *m = model();
    const int rows = m ? m->rowCount(rootIndex()) : 0;
    if (rows == 0 || !isVisible())
        return {-1, -1};
    const QRect area = viewport()->rect();
    // Cells run in rows (the grid) or one line (the strip): every cell before the
    // first visible one lies above or left of the viewport.
    const auto before = [&](int row) {
        const QRect r = visualRect(m->index(row, 0, rootIndex()));
        return r.bottom() < area.top() || r.right() < area.left();
    };
    int low = 0;
    int high = rows;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (before(mid))
            low = mid + 1;
        else
            high = mid;
    }
    if (low >= rows)
        return {-1, -1};
    int last = low;
    while (last + 1 < rows) {
        const QRect r = visualRect(m->index(last + 1, 0, rootIndex()));
        if (r.top() > area.bottom() || r.left() > area.right())
            break;
        ++last;
    }
    return {low, last};
}

void ThumbnailList::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    askLater();
}

void ThumbnailList::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    askLater();
}

void ThumbnailList::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    askLater();
}

void ThumbnailList::askLater()
{
    asking.start();
}

void ThumbnailList::ask()
{
    const QAbstractItemModel *m = model();
    const QPair<int, int> shown = visibleRows();
    if (!m || shown.first < 0)
        return;
    const int rows = m->rowCount(rootIndex());
    const auto pathAt = [&](int row) { return m->index(row, 0, rootIndex()).data(Qt::UserRole).toString(); };
    QStringList paths;
    for (int row = shown.first; row <= shown.second; ++row)
        paths << pathAt(row);
    // Then outward, after before before (the way one usually moves on).
    for (int step = 1; step <= reach; ++step) {
        const int after = shown.second + step;
        const int earlier = shown.first - step;
        if (after >= rows && earlier < 0)
            break;
        if (after < rows)
            paths << pathAt(after);
        if (earlier >= 0)
            paths << pathAt(earlier);
    }
    thumbnailer->want(paths, cacheSize());
}
