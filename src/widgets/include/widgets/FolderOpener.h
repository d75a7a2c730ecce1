#pragma once

#include <QString>

#include <functional>

class QObject;

// Opens a folder in the desktop's file manager, and tells when that fails: the
// one way the toolbox's "open output folder" and the viewer's "show in folder"
// (without a file manager on D-Bus) open a folder.
//
// The folder goes through QDesktopServices::openUrl, so that a handler set for
// file URLs (QDesktopServices::setUrlHandler) receives it. The handler this
// program sets when it starts runs xdg-open and watches how it ends:
// QDesktopServices alone says only that xdg-open started, and without a file
// manager to hand the folder to, xdg-open ends a moment later with an error and
// nothing opens.
namespace FolderOpener {

// Starts opening folder. failed() runs on the GUI thread when nothing can open
// it: xdg-open cannot be started or ends with an error soon after (not when a
// file manager it waited for closes much later), and only while context still
// exists.
void open(const QString &folder, QObject *context, std::function<void()> failed);

// Openers started and not yet ended.
int pending();

// Sets the program's handler of file URLs, as the program does when it starts;
// for a test that set and unset a handler of its own.
void handleFileUrls();

} // namespace FolderOpener
