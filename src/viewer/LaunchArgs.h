#pragma once

#include <QString>

namespace LaunchArgs {

// The image path given as the first argument after the program name, decoded with
// the local 8-bit codec (UTF-8 once start-up has set it); empty without one.
// Further arguments are ignored.
QString imagePath(int argc, char **argv);

} // namespace LaunchArgs
