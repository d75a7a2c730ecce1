#include "app/AppSetup.h"
#include "widgets/UiProfile.h"
#include "batch/engine/ImgThread.h"
#include "chrome/ProcessExit.h"
#include "viewer/LaunchArgs.h"
#include "viewer/MainWidget.h"
#include "viewer/SeeImgMainWT.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Icon, size profile and fonts, pool limit, suffix lists, UTF-8 codec.
    AppSetup::run();

    // The platform's default family would draw Japanese glyph variants here; ask for
    // the same Simplified Chinese face as the rest of the window.
    QFont font(UiProfile::uiFamily());
    font.setPointSize(10);

    // The close button ends the process at once: running conversions are stopped
    // and their partial outputs removed first.
    ProcessExit::setBeforeExit([] { ImgThread::shutdownAll(); });

    MainWidget window;
    window.setFont(font);

    // QApplication has taken its own options out of argv by now.
    const QString path = LaunchArgs::imagePath(argc, argv);
    if (!path.isEmpty())
        window.view()->setImgPath(path);

    AppSetup::setUtf8Codec();
    window.showMaximized();
    if (!path.isEmpty())
        QTimer::singleShot(50, &window, &MainWidget::showDefaultImg);

    return app.exec();
}
