#include "ZoomModel.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace ZoomModel {

Step stepUp(double factor)
{
    if (factor >= kMax)
        return {1.0, factor};
    if (kStep * factor > kMax)
        return {kMax / factor, kMax};
    return {kStep, factor * kStep};
}

Step stepDown(double factor)
{
    if (factor <= kMin)
        return {1.0, factor};
    if (factor / kStep < kMin)
        return {kMin / factor, kMin};
    return {1.0 / kStep, factor / kStep};
}

bool showsAtActualSize(const QSizeF &picture, const QSize &view)
{
    return picture.width() < view.width() && picture.height() < view.height();
}

double fitFactor(const QSizeF &picture, const QSize &view)
{
    if (picture.width() <= 0 || picture.height() <= 0)
        return 1.0;
    return std::min(view.width() / picture.width(), view.height() / picture.height());
}

QSize fittedSize(const QSize &picture, const QSize &view)
{
    if (picture.isEmpty() || showsAtActualSize(QSizeF(picture), view))
        return picture;
    const double factor = fitFactor(QSizeF(picture), view);
    return QSize(qBound(1, int(std::ceil(picture.width() * factor - 1e-6)), qMax(1, view.width())),
                 qBound(1, int(std::ceil(picture.height() * factor - 1e-6)), qMax(1, view.height())));
}

QString percentText(double factor)
{
    // Rounded to a tenth of a percent first: nine steps down and nine up land on
    // 0.99999999999999978, which is 100%, not 99%.
    const long long tenths = std::llround(factor * 1000);
    return QString::number(tenths / 10) + QLatin1Char('%');
}

} // namespace ZoomModel
