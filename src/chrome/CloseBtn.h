#pragma once

#include <QPushButton>

// The title bar's close button: one icon and a red background while the mouse is
// over it, another icon on the bar's colour after. Both follow one hover state,
// which is also taken when the button appears under a pointer that has not moved.
class CloseBtn : public QPushButton
{
    Q_OBJECT

public:
    CloseBtn(const QString &enterIcon, const QString &leaveIcon, QWidget *parent);

    bool isHovered() const;

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void setHovered(bool hovered);

    QString enterIconPath;
    QString leaveIconPath;
    bool hovered = false;
};
