#pragma once

#include <QString>
#include <QStringList>

// The viewer's own command-line options. The image path is read as before by
// LaunchArgs; this only answers --help and --version, before any window (or
// display connection) exists.
namespace AppCommandLine {

enum class Action { Run, Help, Version };

// arguments: without the program name. Anything that is not -h/--help or
// -V/-v/--version (Qt's own options, the image path, unknown options) means Run,
// as it did before these options existed.
Action parse(const QStringList &arguments);

QString usage();
QString versionLine(); // "quorvane VERSION\n"

} // namespace AppCommandLine
