#pragma once

#include <QList>
#include <QWidget>

class TabButton;

// The toolbox's tab bar: four tabs, exactly one selected.
class TabBar : public QWidget
{
    Q_OBJECT

public:
    enum Tab { ConvertTab, ResizeTab, CompressTab, RotateTab };

    explicit TabBar(QWidget *parent = nullptr);

    TabButton *button(Tab tab) const { return buttons.at(tab); }
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
