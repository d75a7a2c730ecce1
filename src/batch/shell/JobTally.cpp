#include "batch/shell/JobTally.h"

void JobTally::count(Outcome outcome)
{
    switch (outcome) {
    case Succeeded: ++succeeded; break;
    case Failed: ++failed; break;
    case Cancelled: ++cancelled; break;
    }
}

QString JobTally::endNotice() const
{
    QString text = (stopped ? QStringLiteral("已停止：") : QStringLiteral("完成："))
        + QStringLiteral("%1 个成功，%2 个失败").arg(succeeded).arg(failed);
    if (cancelled > 0)
        text += QStringLiteral("，%1 个已取消").arg(cancelled);
    return text;
}

QString JobTally::runningText(const QString &startText) const
{
    const QString start = QStringLiteral("开始");
    const QString verb = startText.startsWith(start) ? startText.mid(start.size()) + QStringLiteral("中") : startText;
    return QStringLiteral("%1 %2/%3").arg(verb).arg(finished()).arg(total);
}
