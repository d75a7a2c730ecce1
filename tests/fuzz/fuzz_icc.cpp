// The colour-profile path of the viewer, from a file's first bytes to a converted
// picture: the profile found in a JPEG, PNG, WebP or HEIF header (or the bytes taken
// as a profile themselves, or as an iCCP stream), its name by lcms2, Qt's colour
// space of it, and a small picture tagged with it converted to sRGB.

#include "DisplayColour.h"
#include "PngDecode.h"

#include <QColorSpace>
#include <QImage>

#include <cstdint>

namespace {

void convertTagged(const QByteArray &icc)
{
    if (icc.isEmpty())
        return;
    DisplayColour::profileName(icc);
    const QColorSpace space = QColorSpace::fromIccProfile(icc);
    if (!space.isValid())
        return;
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        QImage image(5, 3, format);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgba(x * 60, y * 120, 255 - x * 50, 128 + y * 60));
        image.setColorSpace(space);
        DisplayColour::toSrgb(image);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 4 * 1024 * 1024)
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    convertTagged(DisplayColour::embeddedProfile(bytes));
    convertTagged(bytes);
    convertTagged(PngDecode::iccProfile(bytes));
    return 0;
}
