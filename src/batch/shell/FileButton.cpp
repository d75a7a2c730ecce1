#include "FileButton.h"

#include "widgets/UiProfile.h"

FileButton::FileButton(const QString &iconPath, const QString &text, QWidget *parent)
    : QPushButton(QIcon(iconPath), text, parent)
{
    setStyleSheet(QStringLiteral("QPushButton{background-color:#3C6EFF;color:white;border:0px;border:2px solid #3C6EFF;"
                                 "border-radius:6px;}QPushButton:hover{background-color:#507BFB;}"
                                 "QPushButton:disabled{background-color:#B4C8FF;border-color:#B4C8FF;}"));
    setCursor(Qt::PointingHandCursor);
    setFixedSize(UiProfile::pick(130, 150), UiProfile::pick(40, 45));
    setIconSize(QSize(UiProfile::pick(18, 22), UiProfile::pick(18, 22)));
    setFont(UiProfile::bodyFont());
}
