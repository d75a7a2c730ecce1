#pragma once

#include <QString>

class QWidget;

// The one door into the batch toolbox for the rest of the program: rooms outside
// the toolbox include this header and nothing of its pages.
namespace Toolbox {

// The tabs, in the tab bar's order: indices into the page table (toolboxTabs()).
enum Tab { ConvertTab, ResizeTab, CompressTab, RotateTab };

// Opens a fresh toolbox (application-modal, deleted when closed) centred over `over`,
// with every page empty, on its first tab.
QWidget *open(QWidget *over);

// The same, switched to `tab` with `path` handed to that page; the page decides
// whether it accepts the path (an empty one included).
QWidget *open(QWidget *over, Tab tab, const QString &path);

} // namespace Toolbox
