#pragma once

#include <QString>

#include <functional>

// How many external tools (ImageMagick, pngquant, the RAW decoder) run at once
// in this process: more tools than cores only share the cores and multiply the
// memory. A job's pool has this many threads; a task holds a slot while its
// tools run and waits for one before, so jobs running side by side (two pages)
// keep to the bound together.
//
// The bound is QUORVANE_BATCH_TOOLS when that is a whole number from 1 to 64, else
// the number of cores (measured best for throughput, see the README).
namespace ToolSlots {

constexpr char kEnvironmentVariable[] = "QUORVANE_BATCH_TOOLS";
constexpr int kMaxLimit = 64;

// The bound now in force.
int limit();
// Sets the bound (1 .. kMaxLimit); 0 returns to the default.
void setLimit(int tools);
// What the bound is when nobody set one: the variable's value, else the cores.
int defaultLimit();
// Reads the variable's text: its value, or 0 when it is not a bound.
int parseLimit(const QString &text);

// Takes a slot, waiting as long as none is free, first come first served;
// gives up (false) as soon as giveUp() returns true, checked every few
// milliseconds.
bool acquire(const std::function<bool()> &giveUp);
void release();

// The threads a tool may use that starts while running tools (its own slot
// included) share cores: cores / running, at least 1. A file alone uses every
// core; a full batch runs one thread per tool.
int threadsFor(int cores, int running);
// The same for a tool that starts now in this process, counting the tools that
// wait for a slot as running (up to the bound): they start as soon as one is free.
int threadsEach();

// Slots taken now, and the most taken at once since the last resetPeak().
int inUse();
int peak();
void resetPeak();

} // namespace ToolSlots
