#pragma once

#include <QHash>
#include <QString>

#include <atomic>

// Which picture formats the ImageMagick in use reads and writes, as it says itself
// ("-list format"): a build without a delegate (HEIC, AVIF, JPEG XL) lacks its
// format, and a file of it is refused with kUnsupported instead of failing in the
// tool with a message about something else.
namespace MagickFormats {

struct Modes
{
    bool read = false;
    bool write = false;
};

// Keys are lower-case format names ("jpeg", "jpg", "avif").
using Table = QHash<QString, Modes>;

// The reason a file gets when ImageMagick lacks its format.
extern const char *const kUnsupported;

// The table of a "-list format" listing: rows "  NAME[*] MODULE MODE DESCRIPTION",
// MODE being r or -, w or -, + or -; other lines are skipped.
Table parse(const QString &listing);

// The table of program, asked as the tools are run (MagickPolicy::answer: once
// per program). Empty when it could not be asked: then every format counts as
// there, and the tool itself says what it cannot do.
Table of(const QString &program, const std::atomic_bool *cancelFlag = nullptr);

// A format every ImageMagick has (JPEG, PNG, GIF, BMP, TIFF, TGA, ICO, WBMP, PSD)
// is taken as there without asking.
bool canRead(const QString &program, const QString &format, const std::atomic_bool *cancelFlag = nullptr);
bool canWrite(const QString &program, const QString &format, const std::atomic_bool *cancelFlag = nullptr);

} // namespace MagickFormats
