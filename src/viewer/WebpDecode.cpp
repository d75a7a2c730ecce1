#include "WebpDecode.h"

#include "PictureMemory.h"

#include <webp/decode.h>

namespace WebpDecode {

bool takes(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.constData());
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size_t(bytes.size()), &features) != VP8_STATUS_OK || features.has_animation)
        return false;
    // The extended header's flags (RIFF, size, "WEBP", "VP8X", chunk size, flags):
    // 0x20 says an ICC profile follows.
    const bool extended = bytes.size() >= 21 && bytes.mid(12, 4) == "VP8X";
    return !(extended && (quint8(bytes.at(20)) & 0x20));
}

QImage decode(const QByteArray &bytes, const QSize &size)
{
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.constData());
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config) || WebPGetFeatures(data, size_t(bytes.size()), &config.input) != VP8_STATUS_OK
        || size.isEmpty())
        return QImage();
    const bool alpha = config.input.has_alpha;
    QImage image = PictureMemory::image(size, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return image;
    if (size != QSize(config.input.width, config.input.height)) {
        config.options.use_scaling = 1;
        config.options.scaled_width = size.width();
        config.options.scaled_height = size.height();
    }
    // Little-endian ARGB32 is B, G, R, A in memory; "bgrA" is that, premultiplied.
    // Without alpha every pixel gets 255, which RGB32 wants.
    config.output.colorspace = alpha ? MODE_bgrA : MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = size_t(image.sizeInBytes());
    const VP8StatusCode status = WebPDecode(data, size_t(bytes.size()), &config);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK ? image : QImage();
}

} // namespace WebpDecode
