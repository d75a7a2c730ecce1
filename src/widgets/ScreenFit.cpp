#include "widgets/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ScreenFit {

QSize boundedMinimum(const QSize &wanted, const QSize &available)
{
    if (!available.isValid() || available.isEmpty())
        return wanted;
    return wanted.boundedTo(available);
}

QRect availableArea(const QWidget *window)
{
    const QScreen *screen = window ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void fit(QWidget *window, const QSize &wanted)
{
    const QRect area = availableArea(window);
    window->setMinimumSize(boundedMinimum(wanted, area.size()));
    if (area.isEmpty())
        return;
    // The layout may still ask for more than the area; the window gets no more.
    const QSize size = window->size().boundedTo(area.size());
    if (size != window->size())
        window->resize(size);
    QRect frame(window->pos(), size);
    if (!area.contains(frame)) {
        frame.moveLeft(qBound(area.left(), frame.left(), qMax(area.left(), area.right() - size.width() + 1)));
        frame.moveTop(qBound(area.top(), frame.top(), qMax(area.top(), area.bottom() - size.height() + 1)));
        window->move(frame.topLeft());
    }
}

} // namespace ScreenFit
