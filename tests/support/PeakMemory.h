#pragma once

#include <QByteArray>
#include <QFile>

// The most this process's resident memory grew above its level at the start.
class PeakMemory
{
public:
    PeakMemory()
    {
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (reset.open(QIODevice::WriteOnly))
            reset.write("5"); // the peak starts again from now
        start = status("VmRSS:");
    }
    qint64 grownKb() const { return status("VmHWM:") - start; }

private:
    static qint64 status(const QByteArray &field)
    {
        QFile file(QStringLiteral("/proc/self/status"));
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith(field))
                return line.mid(field.size()).trimmed().split(' ').value(0).toLongLong();
        }
        return -1;
    }
    qint64 start = 0;
};
