#include "batch/toolbox/Toolbox.h"

#include "batch/shell/BatchPage.h"
#include "ToolboxWindow.h"
#include "TabBar.h"
#include "TabButton.h"
#include "widgets/ScreenFit.h"

namespace Toolbox {

QWidget *open(QWidget *over)
{
    auto *toolbox = new ToolboxWindow(over);
    toolbox->clearAllPages();
    ScreenFit::fit(toolbox, toolbox->minimumSize());
    // A child window is not placed by the window manager relative to its parent.
    if (over) {
        QRect area = toolbox->frameGeometry();
        area.moveCenter(over->frameGeometry().center());
        toolbox->move(area.topLeft());
    }
    toolbox->show();
    return toolbox;
}

QWidget *open(QWidget *over, Tab tab, const QString &path)
{
    auto *toolbox = static_cast<ToolboxWindow *>(open(over));
    TabButton *button = toolbox->toolBar()->button(tab);
    button->slot_pressed();
    toolbox->pageOf(button)->addOneFile(path);
    return toolbox;
}

} // namespace Toolbox
