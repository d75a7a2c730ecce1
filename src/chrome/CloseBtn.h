#pragma once

#include <QPushButton>

// The title bar's close button: one icon while the mouse is over it, another after.
class CloseBtn : public QPushButton
{
    Q_OBJECT

public:
    CloseBtn(const QString &enterIcon, const QString &leaveIcon, QWidget *parent);

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString enterIconPath;
    QString leaveIconPath;
};
