#include "batch/engine/SuccessRule.h"

#include "batch/engine/BatchTypes.h"

#include <QRegularExpression>

namespace SuccessRule {

QStringList damageReports(const QString &errorText)
{
    static const char *const kDamage[] = {"premature end of",
                                          "corrupt jpeg data",
                                          "crc error",
                                          "truncated",
                                          "insufficient image data",
                                          "corrupt image",
                                          "unexpected end-of-file",
                                          "unexpected end of file"};
    // ImageMagick quotes file names as `NAME': a name is no report.
    static const QRegularExpression quoted(QStringLiteral("`[^']*'"));
    QStringList reports;
    const QStringList lines = errorText.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString said = QString(line).remove(quoted);
        for (const char *damage : kDamage) {
            if (said.contains(QLatin1String(damage), Qt::CaseInsensitive)) {
                reports << line.trimmed();
                break;
            }
        }
    }
    return reports;
}

bool errorTextAllows(int imgType, const QString &errorText)
{
    if (errorText.isEmpty())
        return true;
    const Qt::CaseSensitivity cs = imgType == BatchOp::Compress ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return errorText.contains(QLatin1String("warning"), cs);
}

bool succeeded(int imgType, bool programsOk, bool outputPresent, const QString &errorText)
{
    return programsOk && outputPresent && errorTextAllows(imgType, errorText) && damageReports(errorText).isEmpty();
}

QString failureReason(const QString &errorText, const QString &engineCause)
{
    QString first;
    const QStringList lines = errorText.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (!line.contains(QLatin1String("warning"), Qt::CaseInsensitive))
            return line;
        if (first.isEmpty())
            first = line;
    }
    const QStringList damage = damageReports(errorText);
    if (!damage.isEmpty())
        return damage.first();
    if (!engineCause.isEmpty())
        return engineCause;
    if (!first.isEmpty())
        return first;
    return QStringLiteral("no output was written");
}

bool wantsReport(int imgType, bool success)
{
    return !success && imgType != BatchOp::Compress;
}

} // namespace SuccessRule
