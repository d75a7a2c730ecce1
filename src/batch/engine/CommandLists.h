#pragma once

#include "batch/engine/BatchTypes.h"

#include <QString>
#include <QStringList>

#include <optional>

// Argument lists of the external programs, exactly as they are documented for
// users of the toolbox. They name the real input and output paths; the worker
// swaps in safe aliases only when it starts ImageMagick (see FileTask).
namespace CommandLists {

// Size argument of the conversion command: none, "-resize W", "-resize xH" or
// "-resize WxH!" (exact size). A side not set (or below 1) is not given.
QStringList sizeArgs(std::optional<int> width, std::optional<int> height);
// Whether sizeArgs() resizes at all: a side of 1 or more is given.
bool hasSize(const JobSettings &settings);

// ImageMagick conversion: input, [-quality Q%], [-layers flatten], [size],
// [-rotate A], [-flop], [-flip], [-background white -alpha remove], output.
QStringList convertArgs(const JobSettings &settings, const QString &input, const QString &output, const QString &fmt);

// pngquant: input, [--quality Q], --output output.
QStringList pngArgs(std::optional<int> quality, const QString &input, const QString &output);

// RAW decoder: the RAW file and the JPEG to write.
QStringList rawArgs(const QString &rawPath, const QString &jpegPath);

// The debug lines written before a program starts: one summary line, then one
// line per argument.
QStringList debugLines(const QString &input, const QString &output, const QString &fmt, const QStringList &args);

} // namespace CommandLists
