#pragma once

#include <QToolButton>

// One tab of the toolbox's tab bar. Only slot_pressed() changes the selection, so
// the main window can switch tabs by calling it too.
class TabButton : public QToolButton
{
    Q_OBJECT

public:
    TabButton(const QString &selectedIconPath, const QString &normalIconPath, const QString &text,
            QWidget *parent = nullptr);

    bool isSelected() const { return selected; }
    // Back to the unselected look; the tab bar calls it on the other tabs.
    void unselect();

signals:
    void signal_parent(TabButton *btn);

public slots:
    void slot_pressed();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void applyLook(bool selectedLook);

    bool selected = false;
    QString normalIcon;
    QString selectedIcon;
};
