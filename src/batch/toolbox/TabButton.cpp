#include "TabButton.h"

#include "widgets/UiProfile.h"

#include <QVariant>

namespace {
const char *const kNormalStyle = "QToolButton{border:0px;padding-top:5;background-color:#EBEFF8;color:#484848;}";
const char *const kLitStyle = "QToolButton{border:0px;padding-top:5;background-color:white;color:#484848;}";
} // namespace

TabButton::TabButton(const QString &selectedIconPath, const QString &normalIconPath, const QString &text, QWidget *parent)
    : QToolButton(parent)
    , normalIcon(normalIconPath)
    , selectedIcon(selectedIconPath)
{
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const int icon = UiProfile::pick(24, 36);
    setIconSize(QSize(icon, icon));
    setFixedSize(UiProfile::pick(115, 150), UiProfile::pick(70, 90));
    setFont(UiProfile::bodyFont());
    setText(text);
    applyLook(false);
    connect(this, &TabButton::pressed, this, &TabButton::slot_pressed);
}

void TabButton::unselect()
{
    selected = false;
    applyLook(false);
}

void TabButton::slot_pressed()
{
    if (selected)
        return;
    selected = true;
    applyLook(true);
    emit signal_parent(this);
}

void TabButton::enterEvent(QEvent *event)
{
    if (!selected)
        setStyleSheet(QLatin1String(kLitStyle));
    QToolButton::enterEvent(event);
}

void TabButton::leaveEvent(QEvent *event)
{
    if (!selected)
        applyLook(false);
    QToolButton::leaveEvent(event);
}

void TabButton::applyLook(bool selectedLook)
{
    setIcon(QIcon(selectedLook ? selectedIcon : normalIcon));
    setProperty("iconPath", selectedLook ? selectedIcon : normalIcon);
    setStyleSheet(QLatin1String(selectedLook ? kLitStyle : kNormalStyle));
}
