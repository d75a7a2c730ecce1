#pragma once

#include <QString>

#include <cstdio>

// Opening a file the engine only reads, for stdio readers (libjpeg, libexif).
namespace RegularFile {

// path opened for reading when it is a plain file; never waits (a FIFO put under
// the name since it was checked is refused, not opened). nullptr otherwise.
FILE *openForReading(const QString &path);

} // namespace RegularFile
