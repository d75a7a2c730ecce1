#pragma once

#include <QPushButton>

// A push button whose icon changes while the mouse is over it.
class HoverPushButton : public QPushButton
{
    Q_OBJECT

public:
    HoverPushButton(const QString &normalIcon, const QString &hoverIcon, QWidget *parent = nullptr);

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString normalIconPath;
    QString hoverIconPath;
};
