#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Windows never ask for more than the screen they are on can give: on a small or
// scaled screen (a logical 960×540) every control stays reachable.
namespace ScreenFit {

// The minimum a window may keep on a screen with this available area.
QSize boundedMinimum(const QSize &wanted, const QSize &available);

// The available area of the screen window is on (or would open on).
QRect availableArea(const QWidget *window);

// Sets window's minimum size to wanted, bounded by its screen, and shrinks and moves
// the window into the available area when it does not fit.
void fit(QWidget *window, const QSize &wanted);

} // namespace ScreenFit
