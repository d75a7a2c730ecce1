#pragma once

#include <QList>
#include <QWidget>

class ToolBtn;

// The toolbox's tab bar: four tabs, exactly one selected.
class ToolBar : public QWidget
{
    Q_OBJECT

public:
    enum Tab { ConvertTab, ResizeTab, CompressTab, RotateTab };

    explicit ToolBar(QWidget *parent = nullptr);

    ToolBtn *button(Tab tab) const { return buttons.at(tab); }
    const QList<ToolBtn *> &buttonList() const { return buttons; }

signals:
    void siginalParent(ToolBtn *btn);

public slots:
    void slot_set(ToolBtn *btn);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<ToolBtn *> buttons;
};
