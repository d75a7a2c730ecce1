#pragma once

#include <QSize>
#include <QSizeF>

// The viewer's zoom arithmetic. The zoom factor is the real scale of the picture on
// screen (1.0 = 100 %): a fitted picture reports its fitted scale. Steps multiply it
// by kStep within kMin..kMax; a fit may lie below kMin (a huge picture), and steps
// start from there.
namespace ZoomModel {

constexpr double kStep = 1.08;
constexpr double kMin = 0.1;
constexpr double kMax = 8.0;

struct Step
{
    double scaleBy; // relative factor to apply to the view; 1.0 when nothing changes
    double factor; // the zoom factor after the step
};

// One step up: multiply by kStep, but stop exactly at kMax.
Step stepUp(double factor);

// One step down: divide by kStep, but stop exactly at kMin.
Step stepDown(double factor);

// True when the picture fits inside the view at 1:1 (both sides strictly smaller),
// so it is shown at actual size rather than fitted.
bool showsAtActualSize(const QSizeF &picture, const QSize &view);

// The zoom at which the picture fits the view keeping its aspect ratio; 1.0 for a
// picture without pixels, which has no meaningful fit.
double fitFactor(const QSizeF &picture, const QSize &view);

// The size a picture is shown at when it follows the window: its own size when it
// shows at actual size, else fitted (each side rounded up, never past the view).
QSize fittedSize(const QSize &picture, const QSize &view);

// The toast text for a zoom factor: whole percent, truncated toward zero after
// rounding to the nearest tenth of a percent.
QString percentText(double factor);

} // namespace ZoomModel
