#pragma once

#include <QString>
#include <QStringList>

// What becomes of a source's colour profile in an output. Outputs that carry an
// ICC profile (BatchCatalogue's carriesProfile) keep it, as ImageMagick does by
// default. The others get the pixels converted to sRGB and no profile, so a
// wide-gamut photo keeps its colours instead of being read as sRGB.
namespace OutputColour {

// ImageMagick arguments that convert to the sRGB profile at srgbProfile and then
// drop it, for an output of suffix fmt; none when it carries the profile (or is
// no output format) or there is no sRGB profile file. A picture without a profile is only tagged and untagged again.
QStringList args(const QString &fmt, const QString &srgbProfile);

// The sRGB ICC profile on this machine (icc-profiles-free, else colord's or
// Ghostscript's); empty when there is none.
QString srgbProfile();

} // namespace OutputColour
