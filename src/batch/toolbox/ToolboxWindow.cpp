#include "ToolboxWindow.h"

#include "TabBar.h"
#include "TabButton.h"
#include "ToolboxTabs.h"
#include "widgets/StyledBackground.h"
#include "widgets/UiProfile.h"

#include <QVBoxLayout>

ToolboxWindow::ToolboxWindow(QWidget *parent)
    : QWidget(parent)
{
    const int width = UiProfile::pick(1100, 1400);
    const int height = UiProfile::pick(730, 900);
    resize(width, height);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setWindowModality(Qt::ApplicationModal);
    setMinimumSize(width, height);
    setWindowTitle(QStringLiteral("批处理"));
    QFont windowFont = font();
    windowFont.setFamily(UiProfile::uiFamily());
    setFont(windowFont);

    for (int tab = 0; tab < toolboxTabs().size(); ++tab)
        tabPages.append(makePage(tab, this));
    tabBar = new TabBar(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 20);
    layout->addWidget(tabBar, 1);
    for (BatchPage *page : qAsConst(tabPages))
        layout->addWidget(page, 15);

    setStyleSheet(QStringLiteral("ToolboxWindow{background-color:white;}"));
    connect(tabBar, &TabBar::siginalParent, this, &ToolboxWindow::switchTab);

    current = tabPages.constFirst();
    for (BatchPage *page : qAsConst(tabPages))
        page->hide();
    current->show();

    setAttribute(Qt::WA_DeleteOnClose);
}

void ToolboxWindow::clearAllPages()
{
    for (BatchPage *page : qAsConst(tabPages))
        page->clearTable();
}

BatchPage *ToolboxWindow::pageOf(TabButton *btn) const
{
    const int tab = tabBar->buttonList().indexOf(btn);
    return tab < 0 ? nullptr : tabPages.at(tab);
}

void ToolboxWindow::switchTab(TabButton *btn)
{
    BatchPage *page = pageOf(btn);
    if (!page)
        return;
    for (BatchPage *other : qAsConst(tabPages))
        other->hide();
    page->show();
    current = page;
}

void ToolboxWindow::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
