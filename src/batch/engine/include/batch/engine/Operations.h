#pragma once

#include "batch/engine/BatchTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

// The one table of batch operations: per operation, which files it takes, how its
// outputs are named, how a file runs, when it succeeded and what is reported, and
// how quorvane-batch names it. Every rule that differs between operations reads
// its row; nothing else switches on the operation.
namespace Operations {

// How a file of the operation runs.
enum class Steps {
    Magick, // ImageMagick alone (camera RAW first through the decoder when decodesRaw)
    Compress // ImageMagick for JPEG; pngquant for PNG, after an ImageMagick resize when a size is given
};

struct Row
{
    Operation operation;
    const char *cliName; // quorvane-batch's command
    QStringList cliOptions; // the first name of every option the command takes
    const QStringList &(*acceptedSuffixes)(); // lower-case suffixes of the files it takes
    bool keepsFormat; // the output keeps the source's suffix whatever the format says
    bool asShown; // works on the picture as shown: upright by its EXIF orientation, animation frames whole
    bool decodesRaw; // camera RAW goes through the RAW decoder first
    Steps steps;
    bool keepsSmallerSource; // a result not smaller than the source gives way to the source's bytes
    bool reportsFailures; // a failed file is reported (FailureReport)
    int reportCode; // the operation's number in the failure report line
};

// Every operation, in the order of the toolbox tabs and of the usage text.
const QList<Row> &all();
const Row &row(Operation operation);
// The row of a quorvane-batch command; null when there is none.
const Row *byCliName(const QString &name);

} // namespace Operations
