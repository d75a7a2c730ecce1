#pragma once

#include <QString>

// How the rows of one job have ended so far: the start button counts with it
// while the job runs, and the end notice reads it when the job is over. Rows of
// missing files count as failed from the start.
struct JobTally
{
    enum Outcome { Succeeded, Failed, Cancelled };

    int total = 0;
    int succeeded = 0;
    int failed = 0;
    int cancelled = 0;
    bool stopped = false; // "停止" was pressed

    void count(Outcome outcome);
    int finished() const { return succeeded + failed + cancelled; }

    // "完成：N 个成功，M 个失败", then "，K 个已取消" only when a row was cancelled;
    // "已停止：…" instead of "完成：…" after a stop.
    QString endNotice() const;
    // What the start button shows while the job runs: its verb taken from the
    // button's own text ("开始转换" -> "转换中 12/40"), or that text with the
    // count when it does not begin with "开始".
    QString runningText(const QString &startText) const;
};
