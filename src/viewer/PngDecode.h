#pragma once

#include <QByteArray>
#include <QImage>

#include <functional>

// The common PNG pictures (8-bit grey, grey with alpha, RGB, RGBA; not interlaced,
// no transparent colour) decoded without libpng: the whole compressed stream at
// once by libdeflate, the rows unfiltered with SIMD, straight into the paint format.
// libpng spends four fifths of a photo's decode on the Paeth filter alone.
namespace PngDecode {

// The signature and the header chunk.
constexpr int kHeaderBytes = 33;

// Whether the file's first kHeaderBytes declare a kind of picture this decoder takes.
bool takes(const QByteArray &head);

// The ICC profile of an iCCP chunk, from its zlib stream (after the name and the
// method byte); empty when the stream is damaged or unpacks beyond 4 MiB.
QByteArray iccProfile(const QByteArray &packed);

// RGB32 for a picture without alpha, else premultiplied ARGB32, with the colour
// space of an embedded ICC profile; null when the file is not one of those kinds,
// is damaged in any way (a bad checksum, a short or long stream), or cancelled
// meanwhile. Qt's reader then decides what such a file shows.
QImage decode(const QByteArray &bytes, const std::function<bool()> &cancelled);

} // namespace PngDecode
