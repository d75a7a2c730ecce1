#pragma once

#include "batch/engine/BatchTypes.h"

#include <QString>
#include <QStringList>

// Whether one file of a batch succeeded.
//
// Error text alone cannot tell: ImageMagick exits 0 on warnings and 1 on errors,
// pngquant fails silently with an exit status, a missing program says nothing,
// and "-resize 0x0!" fails yet leaves a file. So a file succeeds only when every
// program started, neither crashed nor timed out, exited with status 0, and left
// a non-empty output. On top of that the error text must be harmless: empty, or
// containing "warning" (in any case). A decoder that says pixels were lost
// (truncated, corrupt data) fails the file even when it calls that a warning:
// the output would show grey where the picture ends. A warning that leaves the
// pixels whole (stray bytes before a JPEG marker, a damaged ancillary PNG chunk
// such as a colour profile) does not fail it; it is kept as the file's note.
// The rule is the same for every operation, so one source gets one verdict.
namespace SuccessRule {

// Longest reason given for a file.
constexpr int kMaxReasonChars = 300;

// The lines of errorText in which a decoder reports missing or damaged pixel
// data ("Premature end of JPEG file", "Corrupt JPEG data: premature end of data
// segment", a CRC error in IDAT, "Truncated", "insufficient image data", ...);
// file names quoted in them do not count, nor harmlessWarning() lines.
QStringList damageReports(const QString &errorText);

// Whether line is a decoder's warning that leaves every pixel in place: extraneous
// bytes before a JPEG marker; any trouble with an ancillary PNG chunk (its name
// starts lower case: iCCP, tEXt, ...), which the decoder drops.
bool harmlessWarning(const QString &line);

// The rule on the error text alone (the same for every operation).
bool errorTextAllows(Operation operation, const QString &errorText);

bool succeeded(Operation operation, bool programsOk, bool outputPresent, const QString &errorText);

// The first warning of a file that succeeded, as shown (shown()); empty when none.
QString keptWarning(const QString &errorText);

// One line saying why a file failed, as shown (shown()): that memory ran out when
// a tool says so; else the first line of the error text that is not a warning,
// else the first damage report, else what the engine noticed itself (a program
// that failed silently), else that no output was written.
QString failureReason(const QString &errorText, const QString &engineCause);

// A tool's text as one line: control characters escaped (\n, \t, \x1b), at most
// kMaxReasonChars characters (cut ones end in "...").
QString shown(const QString &text);

// Failed conversions and rotations are reported (compression failures are not).
bool wantsReport(Operation operation, bool success);

} // namespace SuccessRule
