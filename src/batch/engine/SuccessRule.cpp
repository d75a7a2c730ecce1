#include "batch/engine/SuccessRule.h"

#include "batch/engine/Operations.h"

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

bool errorTextAllows(Operation operation, const QString &errorText)
{
    if (errorText.isEmpty())
        return true;
    const Qt::CaseSensitivity cs
        = Operations::row(operation).warningCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return errorText.contains(QLatin1String("warning"), cs);
}

bool succeeded(Operation operation, bool programsOk, bool outputPresent, const QString &errorText)
{
    return programsOk && outputPresent && errorTextAllows(operation, errorText) && damageReports(errorText).isEmpty();
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

bool wantsReport(Operation operation, bool success)
{
    return !success && Operations::row(operation).reportsFailures;
}

} // namespace SuccessRule
