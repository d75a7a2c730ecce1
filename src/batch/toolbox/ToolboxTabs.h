#pragma once

#include "batch/toolbox/TabBar.h"

#include <QList>

class BatchPage;

// The toolbox's tabs in TabBar::Tab order: what the tab bar shows and the page
// each tab opens. The one place the page order is written.
struct ToolboxTab
{
    TabBar::Tab tab;
    const char *icon; // base name under :/icons/icons/ (plus "_p" when selected)
    const char *text;
    BatchPage *(*makePage)();
};

const QList<ToolboxTab> &toolboxTabs();
