#pragma once

#include <QtGlobal>

// Ends running tools with everything they started when this process dies
// without ending them itself (SIGKILL, a crash): ChildProcess's Tree::Helpers.
// A platform implements it in ToolWatchdog_<platform>.cpp.
//
// On Linux the parent-death signal reaches a tool only, not the helpers it
// started. So on first use a small child process is forked that holds one end of
// a socket pair and a list of tools; a tool adds itself right before its exec
// and ChildProcess removes it when the tool ended. Every tool is a child
// subreaper: whatever it starts stays below it, whatever group or session it
// moves to (setsid), and whichever of its parents exits. When this process dies,
// a watched tool is stopped by its parent-death signal (SIGSTOP), not killed, so
// that the tree below it stays together; once the engine's end closes, the
// watchdog kills every process below each listed tool, its group, and then the
// tool, and exits. It sits in a session of its own, so a terminal's Ctrl+C does
// not end it first.
//
// Cost: two small writes per tool. QUORVANE_WATCHDOG=0 turns it off (to measure
// that cost); tools then die with this process (SIGKILL) and their helpers do not.
namespace ToolWatchdog {

// The watchdog's process id; 0 before the first tool or when it is off.
qint64 pid();

// Lets the watchdog go (it ends the tools still listed) and waits for it to
// exit. For the end of a program that ended its tools itself.
void stop();

// For a program whose only children are its tools and the watchdog
// (quorvane-batch): makes it a child subreaper, so that whatever a tool leaves
// when it ends (a helper in a session of its own, a helper killed with it and not
// yet reaped) becomes this program's child instead of init's.
void adoptOrphans();

// Kills and reaps every child of this program. Once its tools have ended and
// after stop(): nothing a tool started outlives the program, not even as a
// process init has yet to reap.
void endAdopted();

} // namespace ToolWatchdog
