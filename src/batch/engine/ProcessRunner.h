#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <atomic>

// What one run of an external program left behind.
struct ToolRun
{
    bool started = false;
    bool crashed = false;
    bool timedOut = false;
    bool stopped = false; // ended because the process is shutting down or the job was stopped
    int exitCode = -1;
    QString errorText; // standard error, decoded leniently as UTF-8

    bool ok() const { return started && !crashed && !timedOut && !stopped && exitCode == 0; }

    // Why the run failed, for a person ("pngquant exited with status 99"); empty
    // when it did not.
    QString problem(const QString &program) const;
};

// Runs the external programs of one file, one after the other, on the calling
// thread: one process object, arguments as a list (no shell), working directory
// the application folder, up to 30 s to start and 30 000 000 ms to finish.
//
// Ten files run at once on a machine that may have two cores, so each child gets
// a bounded thread count (MAGICK_THREAD_LIMIT, OMP_NUM_THREADS) instead of one
// thread per core each.
class ProcessRunner
{
public:
    static constexpr int kStartTimeoutMs = 30000;
    static constexpr qint64 kFinishTimeoutMs = 30000000;

    explicit ProcessRunner(const QString &workingDir);
    ~ProcessRunner();
    ProcessRunner(const ProcessRunner &) = delete;
    ProcessRunner &operator=(const ProcessRunner &) = delete;

    ToolRun run(const QString &program, const QStringList &arguments);

    // A job's stop: once the flag is set, the running child is ended as on
    // shutdown and later runs of this runner fail at once (ToolRun::stopped).
    void setCancelFlag(const std::atomic_bool *flag) { cancel_ = flag; }

    // Ends every running child of this process within a fraction of a second and
    // makes later runs fail at once. Called on shutdown; cannot be undone.
    static void requestStop();
    static bool stopRequested();

    // The environment every child gets.
    static QProcessEnvironment childEnvironment();

private:
    bool cancelled() const;

    QProcess process_;
    const std::atomic_bool *cancel_ = nullptr;
};
