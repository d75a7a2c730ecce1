#pragma once

#include <QList>
#include <QWidget>

class TabButton;

// The toolbox's tab bar: one tab per page of the page table (toolboxTabs()),
// exactly one selected.
class TabBar : public QWidget
{
    Q_OBJECT

public:
    explicit TabBar(QWidget *parent = nullptr);

    // The tab at index (a Toolbox::Tab for the pages the door names).
    TabButton *button(int index) const { return buttons.at(index); }
    const QList<TabButton *> &buttonList() const { return buttons; }

signals:
    void siginalParent(TabButton *btn);

public slots:
    void slot_set(TabButton *btn);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<TabButton *> buttons;
};
