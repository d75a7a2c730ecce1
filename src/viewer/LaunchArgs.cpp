#include "viewer/LaunchArgs.h"

namespace LaunchArgs {

QString imagePath(int argc, char **argv)
{
    if (argc < 2 || !argv[1])
        return QString();
    return QString::fromLocal8Bit(argv[1]);
}

} // namespace LaunchArgs
