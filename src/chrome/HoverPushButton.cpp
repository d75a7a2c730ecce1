#include "chrome/HoverPushButton.h"

HoverPushButton::HoverPushButton(const QString &normalIcon, const QString &hoverIcon, QWidget *parent)
    : QPushButton(parent)
    , normalIconPath(normalIcon)
    , hoverIconPath(hoverIcon)
{
    setIcon(QIcon(normalIconPath));
}

void HoverPushButton::enterEvent(QEvent *event)
{
    setIcon(QIcon(hoverIconPath));
    QPushButton::enterEvent(event);
}

void HoverPushButton::leaveEvent(QEvent *event)
{
    setIcon(QIcon(normalIconPath));
    QPushButton::leaveEvent(event);
}
