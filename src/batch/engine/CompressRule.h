#pragma once

#include "batch/engine/BatchTypes.h"

#include <QtGlobal>

// Compression never hands back a bigger file: when no size was asked for and the
// tool's result is not smaller than the source, the source's bytes are the
// better result and become the output.
namespace CompressRule {

bool keepsSource(Operation operation, bool sizeGiven, qint64 sourceBytes, qint64 resultBytes);

} // namespace CompressRule
