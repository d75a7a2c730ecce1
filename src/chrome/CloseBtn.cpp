#include "chrome/CloseBtn.h"

CloseBtn::CloseBtn(const QString &enterIcon, const QString &leaveIcon, QWidget *parent)
    : QPushButton(parent)
    , enterIconPath(enterIcon)
    , leaveIconPath(leaveIcon)
{ }

void CloseBtn::enterEvent(QEvent *)
{
    setIcon(QIcon(enterIconPath));
}

void CloseBtn::leaveEvent(QEvent *)
{
    setIcon(QIcon(leaveIconPath));
}
