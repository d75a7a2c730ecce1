#pragma once

#include <QString>
#include <QStringList>

// The viewer's command line, read once before any window (or display connection)
// exists: its own options, Qt's (-platform, -style ...), and the image path.
namespace AppCommandLine {

enum class Action { Run, Help, Version, UsageError };

struct Parsed
{
    Action action = Action::Run;
    QString imagePath; // the first argument that is no option; empty without one
    QString error; // UsageError: one line saying what is wrong
};

// arguments: without the program name. An option that is neither the viewer's
// nor Qt's is a usage error, not a file name; "--" ends the options, so
// "quorvane -- --odd.jpg" opens "--odd.jpg". Further paths are ignored.
Parsed parse(const QStringList &arguments);

QString usage();
QString versionLine(); // "quorvane VERSION\n"

} // namespace AppCommandLine
