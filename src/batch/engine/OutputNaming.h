#pragma once

#include "batch/engine/BatchTypes.h"

#include <QDateTime>
#include <QList>
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

struct Target
{
    QString outputPath; // the path reported to the page
    QString frameDir; // multi-frame sources: the folder of their own, else empty

    // The name a worker must hold so no other worker picks it.
    QString claimPath() const { return frameDir.isEmpty() ? outputPath : frameDir; }
};

// "ddhhmmss" (day of month, 24-hour clock) and "ddhhmmsszzz".
QString timeStamp(const QDateTime &now);
QString timeStampMs(const QDateTime &now);

// Lower-case suffix of path's file name (after the last dot), empty without one.
QString sourceSuffix(const QString &path);

// The output suffix FMT of settings for source: the format asked for, or the
// source's own suffix when none is or the operation keeps the format. Empty for a
// format outside the catalogue (the file then fails).
QString outputSuffix(const JobSettings &settings, const QString &source);

// Source file name without folder, cut before the last dot (before the first
// for rotation); a name without a dot stays whole.
QString baseName(Operation operation, const QString &source);

// Conversion of psd, tif, tiff, webp and gif sources writes into a folder of its own.
bool writesFrameFolder(Operation operation, const QString &source);

// dir/stem.suffix when free, else dir/stem_1.suffix, dir/stem_2.suffix, ...
// (suffix may be empty: then no dot is added; that is how folders are named).
QString freeName(const QString &dir, const QString &stem, const QString &suffix, const ExistsFn &exists);

// Output of one file in format fmt (outputSuffix()): exportDir/base.FMT, or
// exportDir/base_TS+ROW.FMT when taken; multi-frame sources get exportDir/F/base.FMT
// with F = base or base_TS+ROW.
Target outputTarget(Operation operation, const QString &source, const QString &fmt, const QString &exportDir,
                    int rowIndex, const QDateTime &now, const ExistsFn &exists);

// NAME-n.EXT for frame n of NAME.EXT: how ImageMagick numbers the files of a
// multi-image output.
QString framePath(const QString &path, int n);

// An output written as the frames above: dir/stem.FMT by the rule of
// outputTarget (stem = base, else base_TS+ROW, counted on), where neither that
// name nor any of its frame names is taken, so the set lands whole.
QString frameSetTarget(const QString &dir, const QString &base, const QString &fmt, const QList<int> &frames,
                       const QString &stamp, const ExistsFn &exists);

// The folder tempDir/TSZ that the RAW path creates; the decoder writes
// tempDir/TSZ.jpg beside it. Both names are checked.
QString rawIntermediateDir(const QString &tempDir, const QDateTime &now, const ExistsFn &exists);

// Compression of a resized PNG: tempDir/base_TS.FMT.
QString compressIntermediate(const QString &tempDir, const QString &base, const QString &fmt, const QDateTime &now,
                             const ExistsFn &exists);

} // namespace OutputNaming
