#include "MagickFormats.h"

#include "MagickPolicy.h"
#include "ProcessRunner.h"

#include <QRegularExpression>

namespace MagickFormats {

const char *const kUnsupported = "format not supported by the installed ImageMagick";

namespace {

// Whether table says yes to format; an empty table (not asked) says yes to all.
bool allows(const Table &table, const QString &format, bool Modes::*mode)
{
    if (table.isEmpty())
        return true;
    // A suffix ImageMagick takes as another name of a format it lists.
    static const QHash<QString, QString> aliases{{QStringLiteral("tif"), QStringLiteral("tiff")}};
    const QString name = format.toLower();
    const auto found = table.constFind(aliases.value(name, name));
    return found != table.constEnd() && (*found).*mode;
}

// Formats every ImageMagick has: coded in ImageMagick itself or by libraries no
// package of it goes without. Asking for the list costs a start of ImageMagick
// that loads every coder (a third of a second), more than a photo's resize: it
// is asked only for the formats a build may lack (WebP, HEIC, AVIF, JPEG XL).
bool everywhere(const QString &format)
{
    static const QStringList formats = {"jpeg", "jpg", "png", "gif", "bmp", "tiff", "tif", "tga", "ico", "cur",
                                        "wbmp", "psd"};
    return formats.contains(format.toLower());
}

} // namespace

Table parse(const QString &listing)
{
    static const QRegularExpression row(
        QStringLiteral("^\\s*([A-Za-z0-9_-]+)\\*?\\s+\\S+\\s+([r-])([w-])([+-])(\\s|$)"));
    Table table;
    const QStringList lines = listing.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = row.match(line);
        if (match.hasMatch())
            table.insert(match.captured(1).toLower(),
                         {match.captured(2) == QLatin1String("r"), match.captured(3) == QLatin1String("w")});
    }
    return table;
}

Table of(const QString &program, const std::atomic_bool *cancelFlag)
{
    const ToolRun run = MagickPolicy::answer(program, {QStringLiteral("-list"), QStringLiteral("format")}, cancelFlag);
    return run.ok() ? parse(run.outputText) : Table();
}

bool canRead(const QString &program, const QString &format, const std::atomic_bool *cancelFlag)
{
    return everywhere(format) || allows(of(program, cancelFlag), format, &Modes::read);
}

bool canWrite(const QString &program, const QString &format, const std::atomic_bool *cancelFlag)
{
    return everywhere(format) || allows(of(program, cancelFlag), format, &Modes::write);
}

} // namespace MagickFormats
