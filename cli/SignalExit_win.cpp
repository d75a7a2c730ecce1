#include "cli/SignalExit.h"

#include <QMetaObject>

#include <atomic>
#include <csignal>
#include <windows.h>

// Windows has no signals for a console program: Ctrl+C, Ctrl+Break, the console
// window closing and the session ending reach it as console control events, on a
// thread of the system's. Each becomes the signal a Linux terminal would send.
namespace {

std::atomic<SignalExit *> current{nullptr};
constexpr int kHangup = 1; // SIGHUP, which Windows' C runtime does not name

BOOL WINAPI onControl(DWORD event)
{
    SignalExit *target = current.load();
    if (!target)
        return FALSE;
    const int signalNumber = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT
        : event == CTRL_CLOSE_EVENT                                             ? kHangup
                                                                                : SIGTERM;
    QMetaObject::invokeMethod(
        target, [target, signalNumber] { emit target->received(signalNumber); }, Qt::QueuedConnection);
    // The system ends the process once this returns from a closing console or
    // session: the main thread gets those seconds to end the tools and exit.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::Sleep(4500);
    return TRUE;
}

} // namespace

SignalExit::SignalExit(QObject *parent)
    : QObject(parent)
{
    current.store(this);
    ::SetConsoleCtrlHandler(onControl, TRUE);
}

SignalExit::~SignalExit()
{
    ::SetConsoleCtrlHandler(onControl, FALSE);
    current.store(nullptr);
}

// The events arrive through a queued call instead (no self-pipe on Windows).
void SignalExit::readSignal() { }
