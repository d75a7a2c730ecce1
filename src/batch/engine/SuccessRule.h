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
// containing "warning" (any case for conversion and rotation, exact case for
// compression). A decoder that says the source is truncated or corrupt fails
// the file even when it calls that a warning: the output would show grey where
// the picture ends.
namespace SuccessRule {

// The lines of errorText in which a decoder reports missing or damaged data
// ("Premature end of JPEG file", "Corrupt JPEG data", CRC errors, "Truncated",
// "insufficient image data", ...); file names quoted in them do not count.
QStringList damageReports(const QString &errorText);

// The rule on the error text alone.
bool errorTextAllows(Operation operation, const QString &errorText);

bool succeeded(Operation operation, bool programsOk, bool outputPresent, const QString &errorText);

// One line saying why a file failed: the first line of the error text that is not
// a warning, else the first damage report, else what the engine noticed itself (a program
// that failed silently), else that no output was written.
QString failureReason(const QString &errorText, const QString &engineCause);

// Failed conversions and rotations are reported (compression failures are not).
bool wantsReport(Operation operation, bool success);

} // namespace SuccessRule
