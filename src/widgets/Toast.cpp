#include "widgets/Toast.h"

#include "UiLog.h"
#include "widgets/UiProfile.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {
constexpr int kFadeMs = 500;

QPropertyAnimation *makeFade(QObject *target)
{
    auto *animation = new QPropertyAnimation(target, "windowOpacity", target);
    animation->setDuration(kFadeMs);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    return animation;
}
} // namespace

Toast::Toast(QWidget *parent)
    : QDialog(parent)
    , label(new QLabel(this))
    , parentWindow(parent)
    , hideTimer(this)
{
    // A notice, not a window to work in: the window system passes clicks and wheel
    // turns through it, and showing it leaves the keyboard with the main window.
    // Past the window manager too, whose frame around it would take the input.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput
                   | Qt::WindowDoesNotAcceptFocus | Qt::BypassWindowManagerHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);

    label->setStyleSheet(
        QStringLiteral("background-color: rgba(0, 0, 0, 180); color: white; padding: 20px; border-radius: 5px; "));
    label->setAlignment(Qt::AlignCenter);
    label->setFont(UiProfile::largeFont());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    adjustSize();

    fadeIn = makeFade(this);

    hideTimer.setSingleShot(true);
    connect(&hideTimer, &QTimer::timeout, this, &Toast::toastHide);
}

void Toast::showToast(const QString &text, int duration)
{
    label->setText(text);
    adjustSize();

    QPoint centre;
    if (parentWindow) // a window or a widget inside one: its centre on the screen
        centre = parentWindow->mapToGlobal(parentWindow->rect().center());
    else if (QScreen *screen = QGuiApplication::primaryScreen())
        centre = screen->geometry().center();
    move(centre.x() - width() / 2, centre.y() - height() / 2);

    if (isHidden()) {
        qCDebug(lcUi) << "=================toast show================";
        fadeIn->start();
        show();
    } else if (fadeOut) {
        // Asked for again while fading out: this notice is shown in full.
        fadeOut->stop();
        fadeOut->deleteLater();
        fadeOut = nullptr;
        setWindowOpacity(1.0);
    }
    if (hideTimer.isActive()) {
        qCDebug(lcUi) << "timer active=================";
        hideTimer.stop();
    }
    hideTimer.start(duration);
}

void Toast::toastHide()
{
    if (isHidden() || fadeOut)
        return;
    fadeOut = makeFade(this);
    fadeOut->setDirection(QAbstractAnimation::Backward);
    connect(fadeOut, &QAbstractAnimation::finished, this, [this] {
        fadeOut->deleteLater();
        fadeOut = nullptr;
        hide();
    });
    fadeOut->start();
}

bool Toast::event(QEvent *event)
{
    // Where the window system delivers input to the notice anyway, it goes on to
    // whatever lies under it in the parent window.
    switch (event->type()) {
    case QEvent::Wheel:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (forwardToParent(event))
            return true;
        break;
    case QEvent::WindowActivate:
        // A platform that activates every window it shows: the keys stay with the
        // window the notice is about.
        if (parentWindow && parentWindow->window()->isVisible())
            parentWindow->window()->activateWindow();
        break;
    default: break;
    }
    return QDialog::event(event);
}

bool Toast::forwardToParent(QEvent *event)
{
    if (!parentWindow)
        return false;
    QWidget *top = parentWindow->window();
    const QPoint global = event->type() == QEvent::Wheel ? static_cast<QWheelEvent *>(event)->globalPosition().toPoint()
                                                         : static_cast<QMouseEvent *>(event)->globalPos();
    QWidget *target = top->childAt(top->mapFromGlobal(global));
    if (!target)
        target = top;
    const QPointF local = target->mapFromGlobal(global);
    if (event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        QWheelEvent copy(local, wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(),
                         wheel->modifiers(), wheel->phase(), wheel->inverted(), wheel->source());
        QApplication::sendEvent(target, &copy);
    } else {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        QMouseEvent copy(mouse->type(), local, mouse->windowPos(), mouse->screenPos(), mouse->button(),
                         mouse->buttons(), mouse->modifiers(), mouse->source());
        QApplication::sendEvent(target, &copy);
    }
    event->accept();
    return true;
}

QString Toast::text() const
{
    return label->text();
}

int Toast::remainingTime() const
{
    return hideTimer.remainingTime();
}

QPropertyAnimation *Toast::fadeInAnimation() const
{
    return fadeIn;
}
