#pragma once

#include <QByteArray>
#include <QList>

// Which picture formats this machine's Qt image plugins decode, asked once, by
// the first load (on a loader thread: loading every plugin must not delay the
// window): a format the viewer lists but whose plugin is missing (AVIF, HEIC, JPEG
// XL without kimageformat-plugins) is then told as unsupported, not as no picture.
namespace DecoderSupport {

// Whether a plugin here decodes format (Qt's name, lower case), as
// QImageReader::supportedImageFormats said.
bool canDecode(const QByteArray &format);

// The formats named are taken as missing from now on (tests, as a machine
// without their plugin); an empty list restores what the plugins said.
void setMissing(const QList<QByteArray> &formats);

} // namespace DecoderSupport
