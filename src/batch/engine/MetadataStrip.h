#pragma once

#include "batch/engine/BatchTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The parts of leaving metadata out that ImageMagick cannot do by one argument.
// It copies EXIF whole and has no way to drop single tags, and a PNG output
// carries every EXIF and XMP value it parsed as text besides the blocks. So a
// quick look at the source first (probeArgs: its header only) prints those
// values and writes the EXIF block out. Without the position, the block goes
// back in without its GPS directory (through a one-pixel JPEG carrying it, see
// JpegMarkers), the parsed GPS values are unset, and an XMP packet that holds a
// position is left out whole (it cannot be edited safely here). With nothing
// kept, every parsed value is unset.
namespace MetadataStrip {

// Whether the choice needs the look at the source for an output of suffix fmt.
bool needsProbe(Metadata metadata, const QString &fmt);

// ImageMagick arguments that print the source's parsed EXIF and XMP values, one
// "name=value" a line, and write its EXIF block (as "Exif\0\0" and the TIFF
// structure) to exifPath. input is what ImageMagick reads ("jpeg:/path"). It ends
// with an error for a source without EXIF, having printed what it has.
QStringList probeArgs(const QString &input, const QString &exifPath);

// The EXIF block without the GPS directory, upright (orientation 1) when
// upright is set; empty when it cannot be read.
QByteArray withoutLocation(const QByteArray &exif, bool upright);

// Whether the printed values name a position at all.
bool hasLocation(const QString &printed);

// The conversion's arguments for the choice, given the printed values and the
// picture carrying the edited EXIF block (empty: none to put back).
QStringList args(Metadata metadata, const QString &printed, const QString &carrierPath);

} // namespace MetadataStrip
