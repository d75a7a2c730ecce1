#include "batch/engine/SuccessRule.h"

#include "batch/engine/BatchTypes.h"

namespace SuccessRule {

bool errorTextAllows(int imgType, const QString &errorText)
{
    if (errorText.isEmpty())
        return true;
    const Qt::CaseSensitivity cs = imgType == BatchOp::Compress ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return errorText.contains(QLatin1String("warning"), cs);
}

bool succeeded(int imgType, bool programsOk, bool outputPresent, const QString &errorText)
{
    return programsOk && outputPresent && errorTextAllows(imgType, errorText);
}

bool wantsReport(int imgType, bool success)
{
    return !success && imgType != BatchOp::Compress;
}

} // namespace SuccessRule
