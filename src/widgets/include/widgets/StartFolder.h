#pragma once

#include <QString>

class QFileDialog;

// Where open dialogs start: the folder of the picture on screen, else the last
// folder a dialog opened from (remembered across starts), else the Desktop.
namespace StartFolder {

// The rule itself: the first of the candidates that is an existing folder.
QString choose(const QString &shownPictureFolder, const QString &lastFolder, const QString &desktop);

// The folder for a dialog opening now.
QString path();

// The viewer names the picture on screen (empty when none).
void setShownPicture(const QString &picturePath);

// Remembers the folder of a chosen file, or the chosen folder itself.
void remember(const QString &chosenPath);

// Starts dialog in path() and remembers what it is accepted with.
void track(QFileDialog *dialog);

} // namespace StartFolder
