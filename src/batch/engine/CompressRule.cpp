#include "CompressRule.h"

#include "batch/engine/Operations.h"

namespace CompressRule {

bool keepsSource(Operation operation, bool sizeGiven, qint64 sourceBytes, qint64 resultBytes)
{
    return Operations::row(operation).keepsSmallerSource && !sizeGiven && sourceBytes > 0 && resultBytes >= sourceBytes;
}

} // namespace CompressRule
