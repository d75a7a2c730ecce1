#include "app/AppCommandLine.h"
#include "app/AppSetup.h"
#include "widgets/UiProfile.h"
#include "batch/engine/BatchJob.h"
#include "app/ProcessExit.h"
#include "process/StandardStreams.h"
#include "chrome/TitleBar.h"
#include "viewer/EarlyDecode.h"
#include "viewer/ViewerWindow.h"
#include "viewer/ImageView.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Outside a desktop session (a plain X server, a virtual display) XDG_RUNTIME_DIR is
// unset and Qt warns about it on every start. Use the folder Qt would fall back to,
// prepared the way Qt wants it, so the program starts silently.
void provideRuntimeDir()
{
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        return;
    const passwd *user = ::getpwuid(::getuid());
    if (!user || !user->pw_name)
        return;
    const QByteArray dir = QByteArray("/tmp/runtime-").append(user->pw_name);
    ::mkdir(dir.constData(), 0700);
    struct stat info {};
    if (::lstat(dir.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()
        && (info.st_mode & 0777) == 0700)
        qputenv("XDG_RUNTIME_DIR", dir);
}

} // namespace

int main(int argc, char *argv[])
{
    StandardStreams::ensureOpen();
    // The arguments are read before QApplication, which needs a display: --help,
    // --version and a usage error answer without one. Paths are UTF-8 whatever LANG says.
    AppSetup::setUtf8Codec();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const AppCommandLine::Parsed parsed = AppCommandLine::parse(arguments);
    switch (parsed.action) {
    case AppCommandLine::Action::Help: std::fputs(AppCommandLine::usage().toUtf8().constData(), stdout); return 0;
    case AppCommandLine::Action::Version:
        std::fputs(AppCommandLine::versionLine().toUtf8().constData(), stdout);
        return 0;
    case AppCommandLine::Action::UsageError:
        std::fprintf(stderr, "quorvane: %s\nTry 'quorvane --help' for more information.\n",
                     parsed.error.toUtf8().constData());
        return 2;
    case AppCommandLine::Action::Run: break;
    }

    // Building the window takes as long as decoding a large PNG; both at once.
    if (!parsed.imagePath.isEmpty())
        EarlyDecode::start(parsed.imagePath);

    provideRuntimeDir();
    // Every window is painted by the CPU: without this, the first window's creation
    // loads the X server's OpenGL driver (libGLX, a software rasteriser and LLVM),
    // which cost about 40 ms of processor time at every start and is never used.
    QApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QApplication app(argc, argv);
    // Icon, size profile and fonts, suffix lists, UTF-8 codec.
    AppSetup::run();

    // The platform's default family would draw Japanese glyph variants here; ask for
    // the same Simplified Chinese face as the rest of the window.
    QFont font(UiProfile::uiFamily());
    font.setPointSize(10);

    // The close button ends the process at once: running conversions are stopped
    // and their partial outputs removed first.
    ProcessExit::setBeforeExit([] { BatchJob::shutdownAll(); });

    ViewerWindow window;
    window.setFont(font);
    QObject::connect(window.titleBar(), &TitleBar::closeClicked, [] { ProcessExit::now(1); });

    const QString &path = parsed.imagePath;
    if (!path.isEmpty())
        window.view()->setImgPath(path);

    AppSetup::setUtf8Codec();
    window.showAsRemembered();
    if (!path.isEmpty())
        QTimer::singleShot(50, &window, &ViewerWindow::showDefaultImg);

    const int status = app.exec();
    EarlyDecode::finish();
    return status;
}
