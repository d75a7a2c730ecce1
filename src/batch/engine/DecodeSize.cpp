#include "DecodeSize.h"

#include <cmath>

namespace DecodeSize {

namespace {

// The other side of an output whose given side scales side to given.
int following(int given, int side, int otherSide)
{
    return qMax(1, int(std::floor(double(given) * otherSide / side + 0.5)));
}

bool given(std::optional<int> side)
{
    return side.value_or(0) > 0;
}

} // namespace

QSize output(const QSize &source, std::optional<int> width, std::optional<int> height)
{
    if (source.isEmpty() || (!given(width) && !given(height)))
        return QSize();
    if (given(width) && given(height))
        return QSize(*width, *height);
    if (given(width))
        return QSize(*width, following(*width, source.width(), source.height()));
    return QSize(following(*height, source.height(), source.width()), *height);
}

bool halfOrLess(const QSize &source, const QSize &output)
{
    return output.isValid() && !source.isEmpty() && qint64(output.width()) * 2 <= source.width()
        && qint64(output.height()) * 2 <= source.height();
}

bool turnsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

QSize jpegHint(const QSize &stored, int orientation, std::optional<int> width, std::optional<int> height)
{
    const bool turned = turnsSides(orientation);
    const QSize upright = turned ? stored.transposed() : stored;
    const QSize wanted = output(upright, width, height);
    if (!halfOrLess(upright, wanted))
        return QSize();
    return turned ? wanted.transposed() : wanted;
}

} // namespace DecodeSize
