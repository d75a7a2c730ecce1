#pragma once

#include <QList>
#include <QWidget>

class BatchPage;
class TabBar;
class TabButton;

// The batch toolbox "批处理": an application-modal window with a tab bar over the
// batch pages, one per row of the page table (toolboxTabs()). Toolbox::open()
// creates one per request; it deletes itself, with its pages, when closed.
class ToolboxWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ToolboxWindow(QWidget *parent = nullptr);

    // Empties every page's table and shows its drop area.
    void clearAllPages();

    TabBar *toolBar() const { return tabBar; }
    // The page of a tab (a Toolbox::Tab), in tab order.
    BatchPage *page(int tab) const { return tabPages.at(tab); }
    QWidget *currentPage() const { return current; }

    // The page a tab shows (null for a button that is not one of the tabs).
    BatchPage *pageOf(TabButton *btn) const;

public slots:
    void switchTab(TabButton *btn);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<BatchPage *> tabPages; // in tab order
    TabBar *tabBar;
    QWidget *current;
};
