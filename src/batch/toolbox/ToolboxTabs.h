#pragma once

#include "batch/shell/BatchPage.h"
#include "batch/toolbox/Toolbox.h"

#include <QList>

class SettingsPanel;

// The toolbox's pages in tab order (Toolbox::Tab is the index): what each tab
// shows and what its page is made of. The one place the pages are written; a
// new page is a settings panel and a row here.
struct ToolboxTab
{
    const char *icon; // base name under :/icons/icons/ (plus "_p" when selected)
    const char *text;
    BatchPage::Spec spec;
    SettingsPanel *(*makePanel)();
    BatchColumns (*columns)();
};

const QList<ToolboxTab> &toolboxTabs();

// A new page for a tab (a Toolbox::Tab for the pages the door names), as the
// toolbox shows it.
BatchPage *makePage(int tab, QWidget *parent = nullptr);
