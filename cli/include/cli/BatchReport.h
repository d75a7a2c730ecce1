#pragma once

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>

// The tally of one run and the lines quorvane-batch prints about it.
//
// Every name and reason in a line goes through shown(): one line per file, always,
// whatever a file name holds.
class BatchReport
{
public:
    // text (UTF-8, or bytes that are not) with "\" doubled, control and line or
    // direction changing characters written as \n, \r, \t, \xNN or \uNNNN, and
    // bytes that are not valid UTF-8 as \xNN.
    static QString shown(const QByteArray &text);
    static QString shown(const QString &text) { return shown(text.toUtf8()); }

    // frames: how many pictures the output is (NAME-0.EXT names the first).
    static QString okLine(const QString &source, const QString &output, int frames = 1);
    // A compressed file whose output holds the source's bytes.
    static QString keptLine(const QString &source, const QString &output);
    static QString failedLine(const QString &source, const QString &output, const QString &reason);
    static QString missingLine(const QString &source);
    static QString skippedLine(const QString &source);
    static QString badNameLine(const QByteArray &source);
    static QString stoppedLine(const QString &source);
    static QString summaryLine(int succeeded, int failed, int skipped);
    // --json: one object per file; status is "ok", "failed", "missing" or "skipped".
    static QString jsonLine(const QString &source, const QString &output, const QString &status, const QString &reason,
                            int frames);

    // The first non-blank line of a tool's error text, trimmed.
    static QString firstLine(const QString &text);

    explicit BatchReport(int total = 0);

    void addSkipped();
    void addMissing(); // missing, or a name that cannot be handed on
    void setProgress(int row, int progress);
    void finish(int row, bool isSuccess);
    bool finished(int row) const;

    int succeeded() const { return succeededCount; }
    int failed() const { return failedCount; }
    int skipped() const { return skippedCount; }
    QString summaryLine() const;

    // "D of N done", then the progress of each running file in row order.
    QString progressLine() const;

    // 0 when every sent file succeeded, 1 when any failed or was missing.
    int exitStatus() const;

private:
    int totalCount = 0;
    int succeededCount = 0;
    int failedCount = 0;
    int skippedCount = 0;
    QMap<int, int> running; // row -> progress
    QSet<int> finishedRows;
};
