#pragma once

#include "rawdecode/RawDecode.h"

#include <string>

// Writes image as a baseline JPEG of the given quality to a hidden temporary
// file beside path, then renames it into place: a crash or a full disk never
// leaves a half-written JPEG under path. On failure sets error and leaves nothing.
bool writeJpegAtomically(const RawDecode::Picture &image, const char *path, int quality, std::string &error);
