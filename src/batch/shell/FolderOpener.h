#pragma once

#include <QString>

#include <functional>

class QObject;

// Opens a folder in the desktop's file manager with xdg-open, and tells when that
// fails. QDesktopServices says only that xdg-open started; without a file manager
// to hand the folder to, xdg-open ends a moment later with an error and nothing
// opens.
namespace FolderOpener {

// Starts opening folder. failed() runs on the GUI thread when xdg-open cannot be
// started or ends with an error soon after (not when a file manager it waited for
// closes much later), and only while context still exists.
void open(const QString &folder, QObject *context, std::function<void()> failed);

// Openers started and not yet ended.
int pending();

} // namespace FolderOpener
