#include "CloseBtn.h"

#include <QCursor>
#include <QStyle>
#include <QTimer>
#include <QVariant>

CloseBtn::CloseBtn(const QString &enterIcon, const QString &leaveIcon, QWidget *parent)
    : QPushButton(parent)
    , enterIconPath(enterIcon)
    , leaveIconPath(leaveIcon)
{
    setProperty("hovered", false);
    setIcon(QIcon(leaveIconPath));
}

bool CloseBtn::isHovered() const
{
    return hovered;
}

void CloseBtn::setHovered(bool on)
{
    hovered = on;
    setIcon(QIcon(on ? enterIconPath : leaveIconPath));
    // The style sheet's background reads the property: re-polish so it follows.
    setProperty("hovered", on);
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void CloseBtn::enterEvent(QEvent *event)
{
    setHovered(true);
    QPushButton::enterEvent(event);
}

void CloseBtn::leaveEvent(QEvent *event)
{
    setHovered(false);
    QPushButton::leaveEvent(event);
}

void CloseBtn::showEvent(QShowEvent *event)
{
    QPushButton::showEvent(event);
    // A window that opens under the pointer sends no enter event to its children.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            setHovered(rect().contains(mapFromGlobal(QCursor::pos())));
    });
}
