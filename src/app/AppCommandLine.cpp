#include "app/AppCommandLine.h"

#include <QCommandLineParser>

namespace AppCommandLine {

namespace {

// The options QGuiApplication and QApplication take out of argv themselves.
const char *const kQtOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                           "qwindowgeometry", "geometry", "qwindowicon", "icon", "qwindowtitle",
                                           "title", "display", "style", "stylesheet", "session", "qmljsdebugger"};
const char *const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "testability"};

} // namespace

Parsed parse(const QStringList &arguments)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    // -V as quorvane-batch has it; -v as the viewer had it before.
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("v"), QStringLiteral("version")});
    QCommandLineParser parser;
    // "-platform", "-reverse" are Qt's options, not bundles of single letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({help, version});
    for (const char *name : kQtOptionsWithValue)
        parser.addOption(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
    for (const char *name : kQtFlags)
        parser.addOption(QCommandLineOption(QLatin1String(name)));
    parser.addPositionalArgument(QStringLiteral("image"), QString());

    Parsed parsed;
    const bool ok = parser.parse(QStringList{QStringLiteral("quorvane")} + arguments);
    if (parser.isSet(help)) {
        parsed.action = Action::Help;
    } else if (parser.isSet(version)) {
        parsed.action = Action::Version;
    } else if (!ok) {
        parsed.action = Action::UsageError;
        parsed.error = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        parsed.imagePath = parser.positionalArguments().constFirst();
    }
    return parsed;
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
