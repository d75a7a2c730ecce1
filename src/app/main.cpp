#include "app/AppSetup.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppSetup::run();

    QWidget window;
    window.setWindowTitle(QStringLiteral("Quorvane"));
    window.showMaximized();

    AppSetup::setUtf8Codec();
    return app.exec();
}
