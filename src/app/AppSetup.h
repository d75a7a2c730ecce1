#pragma once

// The process-wide start-up steps that come before the main window: application
// icon, size profile and shared fonts, thread pool limit, suffix lists, UTF-8 codec.
// Needs a QApplication (or QGuiApplication) to exist.
namespace AppSetup {

void run();

// Sets the locale codec to UTF-8, so every local 8-bit conversion uses it.
void setUtf8Codec();

} // namespace AppSetup
