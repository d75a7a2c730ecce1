#pragma once

#include <QProcessEnvironment>

#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

// What one run of an external program left behind.
struct ToolRun
{
    enum class Limit { None, Idle, Wall };

    bool started = false;
    bool crashed = false;
    bool timedOut = false;
    bool stopped = false; // ended because the process is shutting down or the job was stopped
    Limit limit = Limit::None; // which limit ended it, when timedOut
    qint64 limitMs = 0;
    int exitCode = -1;
    int killedBy = 0; // the signal that ended it, if one did
    int startError = 0; // errno of a start that failed (ENOENT, EACCES, ...)
    QString errorText; // standard error, decoded leniently as UTF-8
    QString outputText; // standard output, when the runner keeps it

    bool ok() const { return started && !crashed && !timedOut && !stopped && exitCode == 0; }

    // Why the run failed, for a person ("pngquant exited with status 99"); empty
    // when it did not.
    QString problem(const QString &program) const;
};

// How long a tool may take. A tool whose processes neither use the processor nor
// read or write anything for idleMs is stuck (a FIFO opened for reading, a
// delegate waiting for input) and is ended; wallMs bounds a tool that keeps busy
// without end. A 50 megapixel JPEG to PNG conversion takes about 7 s here alone,
// pngquant on it 27 s, a resize of it that spills its pixel cache to disk about a
// minute: ten of them sharing two cores stay far below 30 minutes, and none of
// them is ever idle for a minute.
struct ToolLimits
{
    qint64 idleMs = 60 * 1000;
    qint64 wallMs = 30 * 60 * 1000;
    int graceMs = 2000; // between SIGTERM and SIGKILL when a tool is ended
};

// Runs the external programs of one file, one after the other, on the calling
// thread: arguments as a list (no shell), working directory the application
// folder, standard input and output the null device, then the limits above.
// Each program is a ChildProcess with helpers (src/process): a process group of
// its own, so ending it ends the helpers it started too: SIGTERM to the group,
// SIGKILL after a short grace. Helpers left over when a program exits are killed
// as well. If this process dies, the program and its helpers are killed by the
// watchdog (ToolWatchdog). Only standard input, output and error are open in a
// program.
//
// Several files run at once, so each child gets a bounded thread count
// (MAGICK_THREAD_LIMIT, OMP_NUM_THREADS: setThreads, 1 unless set) instead of one
// thread per core each. Temporary files of the tools (MAGICK_TEMPORARY_PATH,
// TMPDIR) go to the file's own temporary folder, and ImageMagick reads the
// program's policy (MAGICK_CONFIGURE_PATH).
class ProcessRunner
{
public:
    static constexpr int kStartTimeoutMs = 30000;

    // tempDir: the file's private temporary folder; empty leaves the tools' own choice.
    ProcessRunner(const QString &workingDir, const QString &tempDir = QString());
    ProcessRunner(const ProcessRunner &) = delete;
    ProcessRunner &operator=(const ProcessRunner &) = delete;

    ToolRun run(const QString &program, const QStringList &arguments);

    // A job's stop: once the flag is set, the running child is ended as on
    // shutdown and later runs of this runner fail at once (ToolRun::stopped).
    void setCancelFlag(const std::atomic_bool *flag) { cancelFlag = flag; }

    // Ends every running child of this process within a fraction of a second and
    // makes later runs fail at once. Called on shutdown; cannot be undone.
    static void requestStop();
    static bool stopRequested();

    static ToolLimits limits();
    static void setLimits(const ToolLimits &limits); // tests

    // Limits of this runner's runs instead of limits().
    void setOwnLimits(const ToolLimits &limits) { ownLimits = limits; }

    // Keeps the programs' standard output (ToolRun::outputText, capped as standard
    // error is) instead of sending it to the null device.
    void setKeepOutput(bool keep) { keepOutput = keep; }

    // The threads the programs started from now on may use (at least 1).
    void setThreads(int count) { threads = qMax(1, count); }

    // The environment every child gets. With a tempDir, HOME and XDG_CONFIG_HOME
    // point there too, so no per-user ImageMagick set-up is read.
    static QProcessEnvironment childEnvironment(const QString &tempDir = QString());

private:
    bool cancelled() const;

    const QString workingDir;
    const QProcessEnvironment environment;
    const std::atomic_bool *cancelFlag = nullptr;
    bool keepOutput = false;
    std::optional<ToolLimits> ownLimits;
    int threads = 1;
};
