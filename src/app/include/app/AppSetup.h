#pragma once

// The process-wide start-up steps that come before the main window: application
// icon, size profile and shared fonts, suffix lists, Qt's own
// Simplified Chinese translations, UTF-8 codec.
// Needs a QApplication (or QGuiApplication) to exist.
namespace AppSetup {

void run();

// Installs Qt's zh_CN translations for the whole program; false when they are not
// installed (the dialogs then stay in English).
bool loadQtTranslations();

// Sets the locale codec to UTF-8, so every local 8-bit conversion uses it.
void setUtf8Codec();

} // namespace AppSetup
