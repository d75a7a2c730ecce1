#pragma once

#include <QString>
#include <QStringList>

// A Windows program gets one command line and splits it itself, by the rules of
// Microsoft's C runtime (CommandLineToArgvW's): this builds the line that splits
// back into exactly the arguments given. Pure, so it is tested on every platform.
namespace WindowsCommandLine {

// One argument, quoted when it has to be: empty, or holding a blank or a double
// quote. Inside quotes a run of backslashes is doubled where a quote follows it
// (the closing one included), and a quote is escaped.
QString quoteArgument(const QString &argument);

// argv[0] is split by other rules (quotes only, no escapes): quoted when it holds a
// blank. Then each argument, quoted as above, one space apart.
QString join(const QString &program, const QStringList &arguments);

} // namespace WindowsCommandLine
