#pragma once

#include <QString>

#include <functional>

// Finds the external programs this program runs, the batch tools and the viewer's
// RAW decoder alike.
//   ImageMagick: "magick" in the application folder, else "magick" on PATH, else
//                "convert" on PATH (ImageMagick 6 has no "magick").
//   pngquant:    "pngquant.2.12.3" or "pngquant" in the application folder, else on PATH.
//   RAW to JPEG: "decoder/ConverterToJpg/ConvertToJpg" in the application folder, else
//                "../lib/quorvane/ConvertToJpg" from it (the installed layout).
//   RAW decoder: "RawDecoder" (the viewer's), in the same two places.
//   JPEG XL:     "djxl" (libjxl-tools) in the application folder, else on PATH; for
//                an ImageMagick that cannot read JPEG XL itself.
// On Windows the names in the application folder end in ".exe", and ImageMagick is
// never "convert" from PATH: System32 holds a convert.exe of its own (FAT to NTFS).
namespace ToolLocator {

enum class Tool { ImageMagick, Pngquant, RawToJpeg, RawDecoder, JxlDecoder };

// Whose naming rules locate() follows.
enum class Platform { Unix, Windows };
#ifdef Q_OS_WIN
constexpr Platform hostPlatform = Platform::Windows;
#else
constexpr Platform hostPlatform = Platform::Unix;
#endif

using IsExecutableFn = std::function<bool(const QString &path)>;
using FindOnPathFn = std::function<QString(const QString &name)>; // empty when not found

// The program for tool, looked up with the given checks. When nothing is found it
// returns the first candidate, so starting it fails visibly instead of running
// something else.
QString locate(Tool tool, const QString &appDir, const IsExecutableFn &isExecutable, const FindOnPathFn &findOnPath,
               Platform platform = hostPlatform);

// The program for tool in this process: an override if set, else locate() on the
// application folder and PATH.
QString program(Tool tool);

// Replaces the lookup for tool (tests, embedding); an empty path restores it.
void setOverride(Tool tool, const QString &path);

// Whether an override is set for tool. An ImageMagick found by the lookup must
// show that it applies the program's policy; an override is taken as it is.
bool overridden(Tool tool);

} // namespace ToolLocator
