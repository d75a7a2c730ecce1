#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPropertyAnimation;

// A transient notice centred on its parent (a window, or a widget inside one):
// fades in, stays for a while, fades out. It never takes input: mouse and wheel
// go to what lies under it.
class Toast : public QDialog
{
    Q_OBJECT

public:
    explicit Toast(QWidget *parent);

    // Shows text for duration ms. While the toast is up only the text changes and
    // the time starts again.
    void showToast(const QString &text, int duration);

    QString text() const;
    int remainingTime() const;
    QPropertyAnimation *fadeInAnimation() const;

public slots:
    void toastHide();

protected:
    bool event(QEvent *event) override;

private:
    bool forwardToParent(QEvent *event);

    QLabel *label;
    QWidget *parentWindow;
    QTimer hideTimer;
    QPropertyAnimation *fadeIn;
    QPropertyAnimation *fadeOut = nullptr; // while fading out
};
