#pragma once

#include "batch/engine/BatchTypes.h"

#include <QDateTime>
#include <QString>

#include <functional>

// Names of output and intermediate files. Pure: the clock and the "does this
// path exist?" test are passed in, so tests pin every case.
//
// A name is kept as documented whenever it is free (x.png, or x_081530124.png for
// row 4 at 15:30:12 on the 8th when x.png exists). When that second name is taken
// too, "_1", "_2", ... goes before the suffix until a free one is found: an
// existing file is never chosen, so never overwritten.
namespace OutputNaming {

using ExistsFn = std::function<bool(const QString &path)>;

// "ddhhmmss" (day of month, 24-hour clock) and "ddhhmmsszzz".
QString timeStamp(const QDateTime &now);
QString timeStampMs(const QDateTime &now);

// Lower-case suffix of path's file name (after the last dot), empty without one.
QString sourceSuffix(const QString &path);

// The output suffix FMT of settings for source: the format asked for, or the
// source's own suffix when none is or the operation keeps the format. Empty for a
// format outside the catalogue (the file then fails).
QString outputSuffix(const JobSettings &settings, const QString &source);

// Source file name without folder, cut before the last dot; a name without a dot
// stays whole. Every operation cuts alike: "2024.06.01 beach.jpg" gives
// "2024.06.01 beach", so date-named files never collide.
QString baseName(const QString &source);

// dir/stem.suffix when free, else dir/stem_1.suffix, dir/stem_2.suffix, ...
// (suffix may be empty: then no dot is added; that is how folders are named).
QString freeName(const QString &dir, const QString &stem, const QString &suffix, const ExistsFn &exists);

// Output of one file in format fmt (outputSuffix()) that gives one picture,
// whatever its format: exportDir/base.FMT, or exportDir/base_TS+ROW.FMT when taken.
QString outputTarget(const QString &source, const QString &fmt, const QString &exportDir, int rowIndex,
                     const QDateTime &now, const ExistsFn &exists);

// The folder of an output of several pictures, known once they are written:
// dir/base, or dir/base_TS+ROW when taken (stamp = TS+ROW). The pictures go in
// it as base-0.FMT, base-1.FMT, ...
QString frameFolder(const QString &dir, const QString &base, const QString &stamp, const ExistsFn &exists);

// NAME-n.EXT for frame n of NAME.EXT: how ImageMagick numbers the files of a
// multi-image output.
QString framePath(const QString &path, int n);

// The folder tempDir/TSZ that the RAW path creates; the decoder writes
// tempDir/TSZ.jpg beside it. Both names are checked.
QString rawIntermediateDir(const QString &tempDir, const QDateTime &now, const ExistsFn &exists);

// Compression of a resized PNG: tempDir/base_TS.FMT.
QString compressIntermediate(const QString &tempDir, const QString &base, const QString &fmt, const QDateTime &now,
                             const ExistsFn &exists);

} // namespace OutputNaming
