#include "chrome/EdgeResize.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {
constexpr int kBand = 6;
} // namespace

EdgeResize::EdgeResize(QWidget *target)
    : QObject(target)
    , window(target)
{
    // The border lies over the window's children: they get the mouse first.
    qApp->installEventFilter(this);
}

Qt::Edges EdgeResize::edgesAt(const QPoint &pos, const QSize &size, int band)
{
    Qt::Edges edges;
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= size.width() || pos.y() >= size.height())
        return edges;
    if (pos.x() < band)
        edges |= Qt::LeftEdge;
    else if (pos.x() >= size.width() - band)
        edges |= Qt::RightEdge;
    if (pos.y() < band)
        edges |= Qt::TopEdge;
    else if (pos.y() >= size.height() - band)
        edges |= Qt::BottomEdge;
    return edges;
}

bool EdgeResize::resizable() const
{
    return window->isVisible() && !window->isMaximized() && !window->isFullScreen()
           && window->minimumSize() != window->maximumSize();
}

void EdgeResize::showCursor(Qt::Edges edges)
{
    if (!edges) {
        if (cursorSet)
            window->unsetCursor();
        cursorSet = false;
        return;
    }
    const bool diagonalDown = edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge);
    const bool diagonalUp = edges == (Qt::TopEdge | Qt::RightEdge) || edges == (Qt::BottomEdge | Qt::LeftEdge);
    Qt::CursorShape shape = Qt::SizeHorCursor;
    if (diagonalDown)
        shape = Qt::SizeFDiagCursor;
    else if (diagonalUp)
        shape = Qt::SizeBDiagCursor;
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        shape = Qt::SizeVerCursor;
    window->setCursor(shape);
    cursorSet = true;
}

bool EdgeResize::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::MouseMove && type != QEvent::MouseButtonPress) || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != window)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    const Qt::Edges edges
        = resizable() ? edgesAt(window->mapFromGlobal(mouse->globalPos()), window->size(), kBand) : Qt::Edges();
    if (type == QEvent::MouseMove) {
        if (mouse->buttons() == Qt::NoButton)
            showCursor(edges);
        return false;
    }
    if (!edges || mouse->button() != Qt::LeftButton || !window->windowHandle())
        return false;
    return window->windowHandle()->startSystemResize(edges);
}
