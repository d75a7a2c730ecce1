#pragma once

#include "batch/engine/BatchTypes.h"

#include <QString>
#include <QStringList>

#include <optional>

// Argument lists of the external programs, exactly as they are documented for
// users of the toolbox: the input, the options, the output. The worker names the
// files when it starts a program (ImageMagick gets safe aliases, see FileTask);
// the documented list names the real ones.
namespace CommandLists {

struct Command
{
    QString input;
    QStringList options;
    QString output;

    // input, options, output: as the documentation and the debug lines give it.
    QStringList documented() const { return QStringList{input} + options + QStringList{output}; }
    // The same options between other names for the two files.
    QStringList naming(const QString &in, const QString &out) const { return QStringList{in} + options + QStringList{out}; }
};

// Size argument of the conversion command: none, "-resize W", "-resize xH" or
// "-resize WxH!" (exact size). A side not set (or below 1) is not given.
QStringList sizeArgs(std::optional<int> width, std::optional<int> height);
// Whether sizeArgs() resizes at all: a side of 1 or more is given.
bool hasSize(const JobSettings &settings);

// ImageMagick conversion: input, [-quality Q%], [-layers flatten], then, for all
// but compression, [-coalesce] (without flatten) and -auto-orient, [size],
// [-rotate A], [-flop], [-flip], [-background white -alpha remove], output.
Command convertArgs(const JobSettings &settings, const QString &input, const QString &output, const QString &fmt);

// pngquant: input, [--quality Q], --output output.
Command pngArgs(std::optional<int> quality, const QString &input, const QString &output);

// RAW decoder: the RAW file and the JPEG to write.
QStringList rawArgs(const QString &rawPath, const QString &jpegPath);

// The debug lines written before a program starts: one summary line, then one
// line per argument.
QStringList debugLines(const QString &input, const QString &output, const QString &fmt, const QStringList &args);

} // namespace CommandLists
