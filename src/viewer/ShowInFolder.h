#pragma once

#include <QString>

class QObject;

namespace ShowInFolder {

// Asks the desktop's file manager to show path selected (the FileManager1 D-Bus
// interface); without one answering, opens the folder (QDesktopServices). context
// bounds the wait for the answer.
void show(const QString &path, QObject *context);

} // namespace ShowInFolder
