#pragma once

#include "viewer/LoadResult.h"

#include <QImage>
#include <QString>

#include <functional>

// The picture named on the command line, decoded on a thread of its own while the
// window is still being built, when it is a file decoded whole anyway (a still
// PNG): the first picture then waits for the longer of the two, not for both.
namespace EarlyDecode {

// Starts decoding path; nothing comes of a file of another kind.
void start(const QString &path);

// For the loader: the early picture of path, waited for, when the file is the one
// decoded (its stamp unchanged); null otherwise or when cancelled meanwhile. The
// first load of any path ends the early picture.
QImage take(const QString &path, const FileStamp &stamp, const std::function<bool()> &cancelled);

// Stops the decode, if one runs, and waits for its thread: before the process
// ends, no thread of it may still be decoding while statics are destroyed.
void finish();

} // namespace EarlyDecode
