#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM, SIGHUP and SIGPIPE (the reader of the output went away)
// into a Qt signal on the main thread, through a self-pipe, so that the running
// tools can be ended before the process exits. On Windows the console's control
// events (SignalExit_win.cpp) arrive the same way, as SIGINT, SIGHUP or SIGTERM.
class SignalExit : public QObject
{
    Q_OBJECT

public:
    // The number received() gives when the reader of the output went away
    // (SIGPIPE): nothing more is printed.
    static constexpr int kReaderGone = 13;

    explicit SignalExit(QObject *parent = nullptr);
    ~SignalExit() override;

signals:
    void received(int signalNumber);

private slots:
    void readSignal();

private:
    QSocketNotifier *notifier = nullptr;
};
