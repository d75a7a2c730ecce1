#pragma once

#include <QList>
#include <QWidget>

class BatchPage;
class CHFMainWT;
class CompressMainWT;
class RotateImgMainWT;
class SizeUpdateMainWT;
class TabBar;
class TabButton;

// The batch toolbox "批处理": an application-modal window with a tab bar over the
// four batch pages. The main window creates one per request; it deletes itself,
// with its pages, when closed.
//
// Main-window wiring: `auto *box = new ToolboxWindow(this); box->clearAllPages();
// box->show();` then, for a given tab, `box->toolBar()->button(TabBar::ResizeTab)
// ->slot_pressed(); box->sizeUpdatePage()->addOneFile(path);`.
class ToolboxWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ToolboxWindow(QWidget *parent = nullptr);

    // Empties every page's table and shows its drop area.
    void clearAllPages();

    TabBar *toolBar() const { return tabBar; }
    CHFMainWT *chFmtPage() const { return chfPage; }
    CompressMainWT *compressPage() const { return zipPage; }
    RotateImgMainWT *rotatePage() const { return rotPage; }
    SizeUpdateMainWT *sizeUpdatePage() const { return sizePage; }
    QWidget *currentPage() const { return current; }

    // The page a tab shows (null for a button that is not one of the tabs).
    BatchPage *pageOf(TabButton *btn) const;

public slots:
    void switchTab(TabButton *btn);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<BatchPage *> tabPages; // in TabBar::Tab order
    TabBar *tabBar;
    CHFMainWT *chfPage;
    CompressMainWT *zipPage;
    RotateImgMainWT *rotPage;
    SizeUpdateMainWT *sizePage;
    QWidget *current;
};
