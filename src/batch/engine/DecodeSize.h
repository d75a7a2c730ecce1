#pragma once

#include <QSize>

#include <optional>

// How small a source may be decoded for the output a job asks of it. The
// decoders' scaled reads (libjpeg's DCT scaling, LibRaw's half size) cost a
// fraction of a whole decode and still leave the resize at least as many pixels
// as it keeps; a source the output does not shrink to half or less each way
// gains nothing from them and is decoded whole.
namespace DecodeSize {

// The size an output of the given sides has for an upright source of size
// source: one side alone keeps the aspect ratio (rounded as ImageMagick rounds
// it, half up), both give exactly that size. Invalid when no side is given (1 or
// more).
QSize output(const QSize &source, std::optional<int> width, std::optional<int> height);

// Whether output fits in half of source each way.
bool halfOrLess(const QSize &source, const QSize &output);

// Whether EXIF orientation (5-8) swaps the stored sides to stand the picture up.
bool turnsSides(int orientation);

// ImageMagick's jpeg:size hint for a JPEG of stored size stored whose EXIF
// orientation (1-8) turns it upright before the resize: the output's size in
// the stored picture's terms (orientations 5-8 swap the sides). libjpeg then
// decodes at the smallest of its scales that still covers it, and the output is
// resized to exactly output(). Invalid when no scaled decode helps.
QSize jpegHint(const QSize &stored, int orientation, std::optional<int> width, std::optional<int> height);

} // namespace DecodeSize
