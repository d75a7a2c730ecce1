#include "batch/toolbox/Toolbox.h"

#include "batch/shell/BatchPage.h"
#include "batch/toolbox/ChFmtMainWidget.h"
#include "batch/toolbox/ToolBar.h"
#include "batch/toolbox/ToolBtn.h"

static_assert(int(Toolbox::ConvertTab) == int(ToolBar::ConvertTab) && int(Toolbox::ResizeTab) == int(ToolBar::ResizeTab)
                  && int(Toolbox::CompressTab) == int(ToolBar::CompressTab)
                  && int(Toolbox::RotateTab) == int(ToolBar::RotateTab),
              "the door's tabs are the tab bar's");

namespace Toolbox {

QWidget *open(QWidget *over)
{
    auto *toolbox = new ChFmtMainWidget(over);
    toolbox->clearAllPages();
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
    auto *toolbox = static_cast<ChFmtMainWidget *>(open(over));
    ToolBtn *button = toolbox->toolBar()->button(static_cast<ToolBar::Tab>(tab));
    button->slot_pressed();
    toolbox->pageOf(button)->addOneFile(path);
    return toolbox;
}

} // namespace Toolbox
