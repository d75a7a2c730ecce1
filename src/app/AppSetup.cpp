#include "app/AppSetup.h"

#include "formats/Formats.h"
#include "widgets/UiProfile.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextCodec>
#include <QTranslator>

#include <memory>

namespace AppSetup {

void setUtf8Codec()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

bool loadQtTranslations()
{
    // Qt's own dialogs (open, page setup, colour) speak the program's language
    // whatever the user's locale. qt_zh_CN pulls in the per-module catalogues.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        return false;
    translator->setParent(QCoreApplication::instance());
    return QCoreApplication::installTranslator(translator.release());
}

void run()
{
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/icons/application_icon.png")));
    UiProfile::setup();
    Formats::init();
    loadQtTranslations();
    setUtf8Codec();
}

} // namespace AppSetup
