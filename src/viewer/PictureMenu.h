#pragma once

class QMenu;
class ViewerWindow;

// The menu a right click on the picture opens: open with the toolbox, turns, print,
// copy, show in folder, trash, properties. Entries with a key do what the key does.
namespace PictureMenu {

// A fresh menu for what window shows now; the caller owns it.
QMenu *make(ViewerWindow *window);

} // namespace PictureMenu
