#include "ThumbnailDecode.h"

#include "ImageDecode.h"

namespace ThumbnailDecode {

QImage decode(const QString &path, int longSide, const std::function<bool()> &cancelled)
{
    ImageDecode::Options options;
    options.view = QSize(longSide, longSide);
    options.resolution = ImageDecode::Resolution::Display;
    options.cancelled = cancelled;
    const LoadResult result = ImageDecode::load(path, options);
    return result.stage == LoadStage::Full ? result.image : QImage();
}

} // namespace ThumbnailDecode
