#include "batch/engine/CompressRule.h"

#include "batch/engine/BatchTypes.h"

namespace CompressRule {

bool keepsSource(int imgType, bool sizeGiven, qint64 sourceBytes, qint64 resultBytes)
{
    return imgType == BatchOp::Compress && !sizeGiven && sourceBytes > 0 && resultBytes >= sourceBytes;
}

} // namespace CompressRule
