#include "app/AppSetup.h"

#include "batch/engine/ImgThread.h"
#include "formats/Formats.h"
#include "widgets/UiProfile.h"

#include <QGuiApplication>
#include <QIcon>
#include <QTextCodec>

namespace AppSetup {

void setUtf8Codec()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

void run()
{
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/icons/application_icon.png")));
    UiProfile::setup();
    ImgThread::setUpPool();
    Formats::init();
    setUtf8Codec();
}

} // namespace AppSetup
