#pragma once

#include <QString>

// What the actions on "the shown file" (trash, copy, print, show in folder, open
// with) may act on, asked again at the moment of the action: the name may have been
// given to a folder or a FIFO since the picture was shown.
namespace ShownFile {

// A regular file, or a symbolic link to one (lstat, then stat through the link);
// never a folder, FIFO, device or socket, a link to one, or a dangling link.
bool isPictureFile(const QString &path);

// Whether anything at all has the name, a dangling link included (lstat).
bool nameTaken(const QString &path);

} // namespace ShownFile
