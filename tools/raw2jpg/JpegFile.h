#pragma once

#include "rawdecode/RawDecode.h"

#include <cstdio>
#include <string>

// A JPEG file on its way to path: written to a hidden temporary file beside it,
// then renamed into place by commit(). A crash or a full disk never leaves a
// half-written JPEG under path; without a commit, the temporary file goes with
// this object.
class JpegTarget
{
public:
    // Creates the temporary file; stream() is null when that fails, error() says why.
    explicit JpegTarget(const char *path);
    ~JpegTarget();
    JpegTarget(const JpegTarget &) = delete;
    JpegTarget &operator=(const JpegTarget &) = delete;

    std::FILE *stream() const { return file; }
    const std::string &error() const { return message; }

    // Flushes what was written to the disk and renames it to path; false (and
    // nothing left) when that fails.
    bool commit();

private:
    std::string target;
    std::string temporary;
    std::FILE *file = nullptr;
    std::string message;
};

// Writes image as a baseline JPEG of the given quality to file; sets error on failure.
bool writeJpeg(const RawDecode::Picture &image, std::FILE *file, int quality, std::string &error);
