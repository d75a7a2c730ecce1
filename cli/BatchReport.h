#pragma once

#include <QMap>
#include <QString>

// The tally of one run and the lines quorvane-batch prints about it.
class BatchReport
{
public:
    static QString okLine(const QString &source, const QString &output);
    // A compressed file whose output holds the source's bytes.
    static QString keptLine(const QString &source, const QString &output);
    static QString failedLine(const QString &source, const QString &output, const QString &reason);
    static QString missingLine(const QString &source);
    static QString skippedLine(const QString &source);
    static QString summaryLine(int succeeded, int failed, int skipped);
    // --json: one object per file; status is "ok", "failed", "missing" or "skipped".
    static QString jsonLine(const QString &source, const QString &output, const QString &status, const QString &reason,
                            int frames);
    // How many pictures an output stands for: 1 for a file, the FINAL-N.EXT files
    // for a multi-frame source, 0 when there is none.
    static int framesOf(const QString &output);

    // The first non-blank line of a tool's error text, trimmed.
    static QString firstLine(const QString &text);

    explicit BatchReport(int total = 0);

    void addSkipped();
    void addMissing();
    void setProgress(int row, int progress);
    void finish(int row, bool isSuccess);

    int succeeded() const { return m_succeeded; }
    int failed() const { return m_failed; }
    int skipped() const { return m_skipped; }
    QString summaryLine() const;

    // "D of N done", then the progress of each running file in row order.
    QString progressLine() const;

    // 0 when every sent file succeeded, 1 when any failed or was missing.
    int exitStatus() const;

private:
    int m_total = 0;
    int m_done = 0;
    int m_succeeded = 0;
    int m_failed = 0;
    int m_skipped = 0;
    QMap<int, int> m_running; // row -> progress
};
