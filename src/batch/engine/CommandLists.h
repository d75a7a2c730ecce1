#pragma once

#include "batch/engine/BatchTypes.h"

#include <QSize>
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
    // What the decoder must know before it reads the input (a size hint): these
    // come first.
    QStringList readOptions = QStringList();

    // [read options], input, options, output: as the documentation and the debug lines give it.
    QStringList documented() const { return naming(input, output); }
    // The same options between other names for the two files.
    QStringList naming(const QString &in, const QString &out) const
    {
        return readOptions + QStringList{in} + options + QStringList{out};
    }
};

// What the engine knows of the picture it hands to ImageMagick.
struct Input
{
    QString path;
    QString coder = QString(); // ContentFormat's name of its content; empty when not known
    QSize size = QSize(); // as stored, from its header; invalid when not known
    int orientation = 1; // its EXIF orientation
};

// Size argument of the conversion command: none, "-resize W", "-resize xH" or
// "-resize WxH!" (exact size). A side not set (or below 1) is not given.
QStringList sizeArgs(std::optional<int> width, std::optional<int> height);
// Whether sizeArgs() resizes at all: a side of 1 or more is given.
bool hasSize(const JobSettings &settings);

// ImageMagick conversion: [-define jpeg:size=WxH], input, [-quality Q%],
// [-layers flatten], then, for all but compression, [-coalesce] (without flatten,
// for a content that holds frames) and -auto-orient, [size], [-rotate A],
// [-flop], [-flip], [metadata removed], [-background white -alpha remove], output.
// The size hint is given for a JPEG of known size that the output shrinks to half
// or less each way; the size is then the output's whole size ("-resize WxH!").
Command convertArgs(const JobSettings &settings, const Input &input, const QString &output, const QString &fmt);

// What leaves out all metadata but the colour profile ("none"), for an output of
// suffix fmt; nothing for the other choices.
QStringList metadataArgs(Metadata metadata, const QString &fmt);

// pngquant: input, [--quality Q], --output output.
Command pngArgs(std::optional<int> quality, const QString &input, const QString &output);

// RAW decoder: [--cover WxH], the RAW file and the JPEG to write. With a size,
// it develops at half size when that still covers the output (a side of 0 follows
// the aspect ratio).
QStringList rawArgs(const JobSettings &settings, const QString &rawPath, const QString &jpegPath);

// The debug lines written before a program starts: one summary line, then one
// line per argument.
QStringList debugLines(const QString &input, const QString &output, const QString &fmt, const QStringList &args);

} // namespace CommandLists
