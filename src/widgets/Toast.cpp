#include "widgets/Toast.h"

#include "widgets/UiLog.h"
#include "widgets/UiProfile.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QVBoxLayout>

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
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);

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
    }
    if (hideTimer.isActive()) {
        qCDebug(lcUi) << "timer active=================";
        hideTimer.stop();
    }
    hideTimer.start(duration);
}

void Toast::toastHide()
{
    if (isHidden())
        return;
    QPropertyAnimation *fadeOut = makeFade(this);
    fadeOut->setDirection(QAbstractAnimation::Backward);
    connect(fadeOut, &QAbstractAnimation::finished, this, &QWidget::hide);
    fadeOut->start(QAbstractAnimation::DeleteWhenStopped);
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
