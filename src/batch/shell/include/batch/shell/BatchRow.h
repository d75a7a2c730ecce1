#pragma once

#include "batch/engine/BatchTypes.h"

#include <QString>

#include <optional>

// What a start ran with: the job's settings and the output folder. A row that
// succeeded with the very same is not run again.
struct RunSettings
{
    RunSettings(const JobSettings &settings, const QString &outputFolder);

    JobSettings job;
    QString outputFolder; // as the panel holds it

    bool operator==(const RunSettings &other) const;
    bool operator!=(const RunSettings &other) const { return !(*this == other); }
};

// One row of a batch page's file table: its file, its result, where it stands
// and why. The table's view draws it; the page changes it.
struct BatchRow
{
    enum class State {
        Waiting, // added, or made ready for a new start: an empty bar
        Running, // its tools run: the bar moves
        Succeeded, // a full bar; the output is set
        Failed, // "转换失败！"; the reason says why
        Cancelled, // "已取消"
        Missing, // "原文件不存在！"
        Kept, // done before with the same settings: "已完成，未重复处理"
    };

    QString source;
    qint64 sourceSize = 0;
    QString output; // set by a success (Kept keeps it)
    qint64 outputSize = 0;
    State state = State::Waiting;
    int progress = 0; // percent, while the bar shows
    QString reason; // the status tooltip: why it failed, or a note on its success
    std::optional<RunSettings> doneWith; // what it succeeded with

    explicit BatchRow(const QString &path = QString(), qint64 size = 0);

    // The words shown instead of the bar; empty while the bar shows.
    QString stateText() const;
    bool showsBar() const { return stateText().isEmpty(); }
    bool hasOutput() const { return !output.isEmpty(); }
    QString fileName() const;

    // Back to how a new row looks, ready for a new start.
    void reset();
};
