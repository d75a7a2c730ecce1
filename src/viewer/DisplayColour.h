#pragma once

#include <QImage>

// Pictures are drawn as sRGB. One tagged with an embedded ICC profile of another
// RGB space (Display P3 from phones, Adobe RGB from cameras) is converted to sRGB
// once, on the loader thread after its decode, at the smallest size it is shown;
// untagged pictures, sRGB ones and those whose profile is not RGB (grey, CMYK) are
// left as they are.
namespace DisplayColour {

// Converts image in place (relative colorimetric, out-of-gamut colours clipped as
// lcms2 and ImageMagick clip them) and tags it sRGB. False when it was left alone.
bool toSrgb(QImage &image);

// The ICC profile a file embeds, found in its first bytes: JPEG (APP2), PNG
// (iCCP), WebP (ICCP) and the HEIF family, AVIF and HEIC (colr). Empty when there is
// none there or the format keeps it elsewhere.
QByteArray embeddedProfile(const QByteArray &head);

// The name a profile gives itself ("Display P3"); empty when icc is no profile.
QString profileName(const QByteArray &icc);

} // namespace DisplayColour
