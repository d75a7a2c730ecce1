#include "process/WindowsCommandLine.h"

#include <algorithm>

namespace WindowsCommandLine {

QString quoteArgument(const QString &argument)
{
    const auto needsQuotes = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\v')
            || c == QLatin1Char('"');
    };
    if (!argument.isEmpty() && std::none_of(argument.begin(), argument.end(), needsQuotes))
        return argument;
    QString quoted(QLatin1Char('"'));
    int backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted += QString(backslashes * 2 + 1, QLatin1Char('\\'));
        else
            quoted += QString(backslashes, QLatin1Char('\\'));
        quoted += c;
        backslashes = 0;
    }
    quoted += QString(backslashes * 2, QLatin1Char('\\'));
    quoted += QLatin1Char('"');
    return quoted;
}

QString join(const QString &program, const QStringList &arguments)
{
    const bool blank = program.contains(QLatin1Char(' ')) || program.contains(QLatin1Char('\t'));
    QString line = blank || program.isEmpty() ? QLatin1Char('"') + program + QLatin1Char('"') : program;
    for (const QString &argument : arguments)
        line += QLatin1Char(' ') + quoteArgument(argument);
    return line;
}

} // namespace WindowsCommandLine
