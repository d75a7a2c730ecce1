#include "ThumbnailGrid.h"

#include "ThumbnailDelegate.h"

#include <QKeyEvent>
#include <QSet>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

namespace {

// One wheel notch is 120 eighths of a degree; a step sizes the thumbnails by a fifth.
constexpr int kNotch = 120;
constexpr double kStepFactor = 1.2;
// Thumbnails asked for beyond the visible cells, each way: a folder of a few hundred
// is made whole in the background; in a huge one the asking (on every scroll) stays
// cheap and follows the view.
constexpr int kGridReach = 1000;
constexpr int kMargin = 8;

} // namespace

ThumbnailGrid::ThumbnailGrid(Thumbnailer *thumbnailer, QWidget *parent)
    : ThumbnailList(thumbnailer, true, parent)
{
    setObjectName(QStringLiteral("thumbnailGrid"));
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setFocusPolicy(Qt::StrongFocus);
    setReach(kGridReach);
    setViewportMargins(kMargin, kMargin, 0, 0);
    connect(this, &QListView::doubleClicked, this, [this](const QModelIndex &index) { emit openRow(index.row()); });
    relayout();
}

int ThumbnailGrid::steppedSide(int side, int steps)
{
    const double sized = side * std::pow(kStepFactor, steps);
    return qBound(kSmallest, int(std::lround(sized)), kLargest);
}

int ThumbnailGrid::currentRow() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

void ThumbnailGrid::setCurrentRow(int row)
{
    if (!model())
        return;
    const QModelIndex index = model()->index(row, 0, rootIndex());
    setCurrentIndex(index);
    if (index.isValid())
        scrollTo(index, QAbstractItemView::EnsureVisible);
}

bool ThumbnailGrid::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        static const QSet<int> own = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                                      Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End,
                                      Qt::Key_Return, Qt::Key_Enter,    Qt::Key_Escape};
        if (modifiers == Qt::NoModifier && own.contains(key->key())) {
            event->accept();
            return true;
        }
    }
    return ThumbnailList::event(event);
}

void ThumbnailGrid::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (currentIndex().isValid())
            emit openRow(currentIndex().row());
        event->accept();
        return;
    case Qt::Key_Escape:
        emit back();
        event->accept();
        return;
    default:
        ThumbnailList::keyPressEvent(event);
    }
}

QModelIndex ThumbnailGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if ((action != MovePageDown && action != MovePageUp) || !model() || !currentIndex().isValid())
        return ThumbnailList::moveCursor(action, modifiers);
    const QSize cell = gridSize();
    const int columns = qMax(1, viewport()->width() / qMax(1, cell.width()));
    const int lines = qMax(1, viewport()->height() / qMax(1, cell.height()));
    const int rows = model()->rowCount(rootIndex());
    int row = currentIndex().row() + (action == MovePageDown ? 1 : -1) * lines * columns;
    // Past either end: the first or last cell.
    row = qBound(0, row, rows - 1);
    return model()->index(row, 0, rootIndex());
}

void ThumbnailGrid::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        ThumbnailList::wheelEvent(event);
        return;
    }
    wheelRest += event->angleDelta().y();
    const int steps = wheelRest / kNotch;
    wheelRest -= steps * kNotch;
    event->accept();
    if (steps == 0)
        return;
    const int sized = steppedSide(thumbnailSide(), steps);
    if (sized == thumbnailSide())
        return;
    setThumbnailSide(sized);
    emit thumbnailSideChanged(sized);
}

void ThumbnailGrid::relayout()
{
    const auto *cells = static_cast<const ThumbnailDelegate *>(itemDelegate());
    const QSize cell = cells->cellSize(thumbnailSide());
    setGridSize(cell);
    verticalScrollBar()->setSingleStep(qMax(1, cell.height() / 3));
    doItemsLayout();
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}
