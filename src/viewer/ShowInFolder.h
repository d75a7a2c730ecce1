#pragma once

#include <QString>

#include <functional>

class QObject;

namespace ShowInFolder {

// Asks the desktop's file manager to show path selected (the FileManager1 D-Bus
// interface); without one answering, opens the folder (FolderOpener), and runs
// failed() when nothing could open it. context bounds the wait for either.
void show(const QString &path, QObject *context, std::function<void()> failed);

} // namespace ShowInFolder
