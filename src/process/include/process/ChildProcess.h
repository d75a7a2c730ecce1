#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>

// One started child program: the one way this program starts, waits for and ends
// the batch tools (ImageMagick, pngquant, ConvertToJpg) and the viewer's RAW decoder.
//
// This header is the platform seam: it names nothing of any system. Each platform
// implements it in one file, ChildProcess_<platform>.cpp, which CMake picks
// (src/CMakeLists.txt); ToolWatchdog and StandardStreams follow the same rule.
//
// What every implementation gives:
// - The child runs in a group of its own, so ending it ends what it started too.
// - It never outlives the thread that started it: when that thread or this process
//   dies, the child dies, and with Tree::Helpers everything below it too (a
//   watchdog process on Linux), wherever those helpers moved since.
// - It sees only its standard streams (the null device or a pipe each) and the
//   one handle passed to it, default signal handling, the working folder asked for.
// - Starting needs no copy of this process's memory: the cost of a start does not
//   grow with the viewer's or a batch's size (bench/bench_spawn).
// - Whatever state it is in, the destructor ends the group at once and reaps it.
// A ChildProcess belongs to one thread: the one that started it.
class ChildProcess
{
public:
    enum class Stream { Null, Pipe };
    enum class Tree {
        Alone, // a program that starts nothing (the confined RAW decoder)
        Helpers, // a program that may start helpers, in its group or out of it
    };

    struct Spec
    {
        QString program; // a path; no search on PATH
        QString name; // argv[0]; the program when empty
        QStringList arguments;
        QStringList environment; // the child's whole environment, "NAME=value"
        QString workingDir; // empty: this process's
        Stream output = Stream::Null;
        Stream errors = Stream::Null;
        // A handle the child gets as its first one after the standard streams
        // (descriptor 3 on Linux); -1 for none. Stays the caller's to close.
        qintptr passed = -1;
        Tree tree = Tree::Helpers;
    };

    // How much of a piped stream is kept; what a child writes beyond it is read
    // and dropped, so it never blocks on a full pipe.
    static constexpr int kMaxStreamBytes = 64 * 1024;

    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // False when the program could not be started; startError() then says why.
    bool start(const Spec &spec);
    // errno's value of a failed start (ENOENT, EACCES, ENOEXEC, ...); 0 otherwise.
    int startError() const;

    // Waits up to ms for the child to end, reading what its pipes hold
    // meanwhile; true once it has ended (and is reaped), with all it wrote read.
    // 0 only looks.
    bool wait(int ms);

    // The work done so far by the child's group: processor time and bytes read
    // and written. It changes while the child gets anywhere; its value means
    // nothing else. Reading it costs about a millisecond.
    quint64 activity() const;

    // Ends the child and everything it started: asked to end, then forced once
    // graceMs have passed (at once with 0); helpers left behind by a child that
    // had already ended get the same grace. Reaps the child and reads what its
    // pipes still hold.
    void end(int graceMs);

    // Whether end() or the destructor had to end the child (rather than the
    // child ending on its own).
    bool endedHere() const;

    // How it ended, once wait() said so or after end().
    int exitCode() const; // -1 unless it exited
    int endSignal() const; // the signal that ended it, 0 if none
    bool statusLost() const; // its status was taken by someone else

    QByteArray output() const; // standard output, with Stream::Pipe
    QByteArray errors() const; // standard error, with Stream::Pipe

private:
    struct Native;
    std::unique_ptr<Native> native;
};
