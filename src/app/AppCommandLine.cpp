#include "app/AppCommandLine.h"

#include <QCommandLineParser>

namespace AppCommandLine {

Action parse(const QStringList &arguments)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    // -V as quorvane-batch has it; -v as the viewer had it before.
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("v"), QStringLiteral("version")});
    QCommandLineParser parser;
    // "-platform", "-reverse" are Qt's options, not bundles of single letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({help, version});
    parser.addPositionalArgument(QStringLiteral("image"), QString());
    // parse() reports an unknown option as an error; those are Qt's or the user's
    // and leave the start-up as it was, so only the two options are read.
    const QStringList withProgram = QStringList{QStringLiteral("quorvane")} + arguments;
    parser.parse(withProgram);
    if (parser.isSet(help))
        return Action::Help;
    if (parser.isSet(version))
        return Action::Version;
    return Action::Run;
}

QString usage()
{
    return QStringLiteral("Usage: quorvane [IMAGE]\n"
                          "       quorvane --help | --version\n"
                          "\n"
                          "Shows IMAGE (a picture or camera RAW file) and lets you step through the\n"
                          "pictures of its folder; without IMAGE, opens an empty viewer.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     show this text\n"
                          "  -V, --version  show the version\n"
                          "\n"
                          "Qt's own options (-platform, -style ...) are accepted too.\n");
}

QString versionLine()
{
    return QStringLiteral("quorvane " QUORVANE_VERSION "\n");
}

} // namespace AppCommandLine
