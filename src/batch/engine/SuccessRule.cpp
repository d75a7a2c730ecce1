#include "batch/engine/SuccessRule.h"

#include "batch/engine/Operations.h"

#include <QRegularExpression>

namespace SuccessRule {

namespace {

// ImageMagick quotes file names as `NAME': a name is no report.
QString withoutNames(const QString &line)
{
    static const QRegularExpression quoted(QStringLiteral("`[^']*'"));
    return QString(line).remove(quoted);
}

bool isWarning(const QString &line)
{
    return line.contains(QLatin1String("warning"), Qt::CaseInsensitive);
}

bool isOutOfMemory(const QString &line)
{
    static const char *const kMemory[] = {"memory allocation failed", "cannot allocate memory", "out of memory",
                                          "not enough memory", "no memory for", "std::bad_alloc"};
    const QString said = withoutNames(line);
    for (const char *memory : kMemory) {
        if (said.contains(QLatin1String(memory), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

bool harmlessWarning(const QString &line)
{
    static const QRegularExpression strayBytes(QStringLiteral("corrupt jpeg data: \\d+ extraneous bytes before marker"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression ancillaryChunk(QStringLiteral("(^|[\\s:])[a-z][A-Za-z][A-Z][A-Za-z]: "));
    const QString said = withoutNames(line);
    return strayBytes.match(said).hasMatch() || (isWarning(said) && ancillaryChunk.match(said).hasMatch());
}

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
    QStringList reports;
    const QStringList lines = errorText.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (harmlessWarning(line))
            continue;
        const QString said = withoutNames(line);
        for (const char *damage : kDamage) {
            if (said.contains(QLatin1String(damage), Qt::CaseInsensitive)) {
                reports << line.trimmed();
                break;
            }
        }
    }
    return reports;
}

bool errorTextAllows(Operation, const QString &errorText)
{
    return errorText.isEmpty() || isWarning(errorText);
}

bool succeeded(Operation operation, bool programsOk, bool outputPresent, const QString &errorText)
{
    return programsOk && outputPresent && errorTextAllows(operation, errorText) && damageReports(errorText).isEmpty();
}

QString keptWarning(const QString &errorText)
{
    const QStringList lines = errorText.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (isWarning(line))
            return shown(line.trimmed());
    }
    return QString();
}

QString failureReason(const QString &errorText, const QString &engineCause)
{
    QString first;
    QString error;
    const QStringList lines = errorText.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (isOutOfMemory(line))
            return QStringLiteral("not enough memory for this picture");
        if (!isWarning(line) && error.isEmpty())
            error = line;
        if (first.isEmpty())
            first = line;
    }
    if (!error.isEmpty())
        return shown(error);
    const QStringList damage = damageReports(errorText);
    if (!damage.isEmpty())
        return shown(damage.first());
    if (!engineCause.isEmpty())
        return shown(engineCause);
    if (!first.isEmpty())
        return shown(first);
    return QStringLiteral("no output was written");
}

QString shown(const QString &text)
{
    QString line;
    int used = 0;
    for (; used < text.size() && line.size() <= kMaxReasonChars; ++used) {
        const QChar c = text.at(used);
        const ushort u = c.unicode();
        if (u == '\n')
            line += QLatin1String("\\n");
        else if (u == '\t')
            line += QLatin1String("\\t");
        else if (u == '\r')
            line += QLatin1String("\\r");
        else if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            line += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    if (line.size() > kMaxReasonChars || used < text.size()) {
        line.truncate(kMaxReasonChars - 3);
        line += QLatin1String("...");
    }
    return line;
}

bool wantsReport(Operation operation, bool success)
{
    return !success && Operations::row(operation).reportsFailures;
}

} // namespace SuccessRule
