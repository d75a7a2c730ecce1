#pragma once

#include <QString>
#include <QStringList>

// What becomes of a source's colour profile in an output. Outputs that carry an
// ICC profile (JPEG, PNG, TIFF, WebP) keep it, as ImageMagick does by default. The
// others (BMP, TGA and GIF, whose readers ignore one, and AVIF and HEIC, where
// ImageMagick 6 writes none) get the pixels converted to sRGB and no profile, so
// a wide-gamut photo keeps its colours instead of being read as sRGB.
namespace OutputColour {

// Whether an output of suffix fmt keeps the source's profile.
bool carriesProfile(const QString &fmt);

// ImageMagick arguments that convert to the sRGB profile at srgbProfile and then
// drop it, for an output of fmt; none when it carries the profile or there is no
// sRGB profile file. A picture without a profile is only tagged and untagged again.
QStringList args(const QString &fmt, const QString &srgbProfile);

// The sRGB ICC profile on this machine (icc-profiles-free, else colord's or
// Ghostscript's); empty when there is none.
QString srgbProfile();

} // namespace OutputColour
