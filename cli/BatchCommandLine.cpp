#include "cli/BatchCommandLine.h"

#include "batch/engine/BatchCatalogue.h"
#include "batch/engine/Operations.h"
#include "batch/engine/ToolSlots.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {

const char kProgram[] = "quorvane-batch";

// True when arguments ask for -letter or --name before the end-of-options marker.
bool asksFor(const QStringList &arguments, QChar letter, const QString &name)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("--") + name || argument == QStringLiteral("-") + letter)
            return true;
    }
    return false;
}

// A whole number in [low, high]; none when text is anything else.
std::optional<int> readInt(const QString &text, int low, int high)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok, 10);
    if (!ok || number < low || number > high)
        return std::nullopt;
    return number;
}

// A side: 0 is not given.
bool readSide(const QString &text, std::optional<int> *side)
{
    const std::optional<int> value = readInt(text, 0, BatchCatalogue::kMaxSide);
    if (!value)
        return false;
    *side = *value > 0 ? value : std::nullopt;
    return true;
}

// Words joined by blanks, broken into lines of at most width characters; lines
// after the first are indented to column indent.
QString wrapWords(const QStringList &words, int indent, int width)
{
    QString text;
    int column = indent;
    for (const QString &word : words) {
        if (!text.isEmpty() && column + 1 + word.size() > width) {
            text += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
        } else if (!text.isEmpty()) {
            text += QLatin1Char(' ');
            ++column;
        }
        text += word;
        column += word.size();
    }
    return text;
}

// The output formats a quality applies to: "jpg jpeg webp avif heic".
QString lossyFormats()
{
    QStringList lossy;
    for (const BatchCatalogue::OutputFormat &format : BatchCatalogue::outputTable()) {
        if (format.takesQuality)
            lossy << format.suffix;
    }
    return lossy.join(QLatin1Char(' '));
}

QString displayName(const QCommandLineOption &option)
{
    const QString name = option.names().constFirst();
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

BatchCommandLine::Result BatchCommandLine::parse(const QStringList &arguments)
{
    Result result;
    if (asksFor(arguments, QLatin1Char('h'), QStringLiteral("help"))) {
        result.action = Help;
        return result;
    }
    if (asksFor(arguments, QLatin1Char('V'), QStringLiteral("version"))) {
        result.action = Version;
        return result;
    }

    const QCommandLineOption format({QStringLiteral("f"), QStringLiteral("format")}, QString(),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption preset(QStringLiteral("preset"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption width({QStringLiteral("W"), QStringLiteral("width")}, QString(), QStringLiteral("WIDTH"));
    const QCommandLineOption height({QStringLiteral("H"), QStringLiteral("height")}, QString(),
                                    QStringLiteral("HEIGHT"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("DIR"));
    const QCommandLineOption level({QStringLiteral("l"), QStringLiteral("level")}, QString(), QStringLiteral("LEVEL"));
    const QCommandLineOption quality({QStringLiteral("q"), QStringLiteral("quality")}, QString(),
                                     QStringLiteral("QUALITY"));
    const QCommandLineOption angle({QStringLiteral("a"), QStringLiteral("angle")}, QString(), QStringLiteral("ANGLE"));
    const QCommandLineOption flop(QStringLiteral("flop"));
    const QCommandLineOption flip(QStringLiteral("flip"));
    const QCommandLineOption filesFrom(QStringLiteral("files-from"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption nul(QStringLiteral("0"));
    const QCommandLineOption recursive(QStringList{QStringLiteral("r"), QStringLiteral("recursive")});
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")}, QString(), QStringLiteral("N"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption metadata(QStringLiteral("metadata"), QString(), QStringLiteral("WHAT"));
    const QList<QCommandLineOption> options = {format, quality,   preset, width,     height, output, level, angle,
                                               flop,   flip,      filesFrom, nul,     recursive, jobs, json, metadata};

    QCommandLineParser parser;
    // Long-option mode: "-flop" means --flop, and "-a -90" takes -90 as the angle.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(options);
    if (!parser.parse(QStringList(QString::fromLatin1(kProgram)) + arguments)) {
        result.error = parser.errorText();
        return result;
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        result.error = QStringLiteral("no command given");
        return result;
    }
    const QString commandName = positional.takeFirst();
    const Operations::Row *command = Operations::byCliName(commandName);
    if (!command) {
        result.error = QStringLiteral("unknown command '%1'").arg(commandName);
        return result;
    }
    for (const QCommandLineOption &option : options) {
        if (parser.isSet(option) && !command->cliOptions.contains(option.names().constFirst())) {
            result.error = QStringLiteral("%1 does not apply to %2").arg(displayName(option), commandName);
            return result;
        }
    }

    BatchRequest &request = result.request;
    request.job.operation = command->operation;
    if (command->cliOptions.contains(QStringLiteral("f")))
        request.job.format = BatchCatalogue::outputFormats().constFirst();

    if (parser.isSet(format)) {
        request.job.format = parser.value(format).toLower();
        if (!BatchCatalogue::outputFormats().contains(*request.job.format)) {
            result.error = QStringLiteral("unknown format '%1' (one of: %2)")
                               .arg(parser.value(format), BatchCatalogue::outputFormats().join(QLatin1Char(' ')));
            return result;
        }
    }
    if (command->cliOptions.contains(QStringLiteral("q"))) {
        const BatchCatalogue::OutputFormat *chosen = BatchCatalogue::outputFormat(request.job.format.value_or(QString()));
        const bool lossy = chosen && chosen->takesQuality;
        if (parser.isSet(quality)) {
            request.job.quality
                = readInt(parser.value(quality), BatchCatalogue::kMinQuality, BatchCatalogue::kMaxQuality);
            if (!request.job.quality) {
                result.error = QStringLiteral("QUALITY must be a whole number from %1 to %2")
                                   .arg(BatchCatalogue::kMinQuality)
                                   .arg(BatchCatalogue::kMaxQuality);
                return result;
            }
            if (!lossy) {
                result.error = QStringLiteral("--quality applies to the lossy formats only: ") + lossyFormats();
                return result;
            }
        }
        request.job.quality = BatchCatalogue::outputQuality(request.job.format.value_or(QString()), request.job.quality);
    }
    if (parser.isSet(preset)) {
        const BatchCatalogue::SizePreset *chosen = BatchCatalogue::presetByName(parser.value(preset));
        if (!chosen) {
            result.error = QStringLiteral("unknown preset '%1' (one of: %2)")
                               .arg(parser.value(preset), BatchCatalogue::presetNames().join(QLatin1Char(' ')));
            return result;
        }
        if (chosen->width > 0)
            request.job.width = chosen->width;
        if (chosen->height > 0)
            request.job.height = chosen->height;
    }
    if (parser.isSet(width) && !readSide(parser.value(width), &request.job.width)) {
        result.error = QStringLiteral("WIDTH must be a whole number from 0 to %1").arg(BatchCatalogue::kMaxSide);
        return result;
    }
    if (parser.isSet(height) && !readSide(parser.value(height), &request.job.height)) {
        result.error = QStringLiteral("HEIGHT must be a whole number from 0 to %1").arg(BatchCatalogue::kMaxSide);
        return result;
    }
    if (parser.isSet(metadata)) {
        const BatchCatalogue::MetadataChoice *chosen = BatchCatalogue::metadataByName(parser.value(metadata));
        if (!chosen) {
            result.error = QStringLiteral("unknown metadata choice '%1' (one of: %2)")
                               .arg(parser.value(metadata), BatchCatalogue::metadataNames().join(QLatin1Char(' ')));
            return result;
        }
        request.job.metadata = chosen->metadata;
    }
    if (command->cliOptions.contains(QStringLiteral("l"))) {
        request.job.quality = parser.isSet(level) ? readInt(parser.value(level), 0, 100)
                                                  : std::optional<int>(BatchCatalogue::defaultQuality());
        if (!request.job.quality || !BatchCatalogue::isCompressionLevel(*request.job.quality)) {
            QStringList levels;
            for (const BatchCatalogue::CompressionLevel &entry : BatchCatalogue::compressionLevels())
                levels << QString::number(entry.quality);
            result.error = QStringLiteral("LEVEL must be one of ") + levels.join(QLatin1Char(' '));
            return result;
        }
    }
    if (command->cliOptions.contains(QStringLiteral("a"))) {
        request.job.degrees = parser.isSet(angle)
            ? readInt(parser.value(angle), -BatchCatalogue::kMaxAngle, BatchCatalogue::kMaxAngle)
            : std::optional<int>(0);
        if (!request.job.degrees) {
            result.error = QStringLiteral("ANGLE must be a whole number from -%1 to %1").arg(BatchCatalogue::kMaxAngle);
            return result;
        }
        request.job.flop = parser.isSet(flop);
        request.job.flip = parser.isSet(flip);
    }
    if (parser.isSet(output)) {
        const QString dir = parser.value(output);
        if (dir.isEmpty()) {
            result.error = QStringLiteral("DIR must not be empty");
            return result;
        }
        // The engine runs its tools from the application folder: relative paths
        // would land there.
        request.exportDir = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    }
    if (parser.isSet(jobs)) {
        const std::optional<int> tools = readInt(parser.value(jobs), 1, ToolSlots::kMaxLimit);
        if (!tools) {
            result.error = QStringLiteral("N must be a whole number from 1 to %1").arg(ToolSlots::kMaxLimit);
            return result;
        }
        request.tools = *tools;
    }
    request.filesFrom = parser.value(filesFrom);
    request.nulSeparated = parser.isSet(nul);
    request.recursive = parser.isSet(recursive);
    request.json = parser.isSet(json);
    if (parser.isSet(filesFrom) && request.filesFrom.isEmpty()) {
        result.error = QStringLiteral("FILE must not be empty");
        return result;
    }
    if (request.nulSeparated && request.filesFrom.isEmpty()) {
        result.error = QStringLiteral("-0 needs --files-from");
        return result;
    }
    if (positional.isEmpty() && request.filesFrom.isEmpty()) {
        result.error = QStringLiteral("no PATH given");
        return result;
    }
    request.paths = positional;
    result.action = Run;
    return result;
}

QString BatchCommandLine::usage()
{
    const QString text = QStringLiteral(
        "Usage:\n"
        "  quorvane-batch convert  [-f FORMAT] [-q QUALITY] [-W WIDTH] [-H HEIGHT] [--metadata WHAT]\n"
        "                          [COMMON] PATH...\n"
        "  quorvane-batch resize   [-f FORMAT] [-q QUALITY] [--preset NAME] [-W WIDTH] [-H HEIGHT]\n"
        "                          [--metadata WHAT] [COMMON] PATH...\n"
        "  quorvane-batch compress [-l LEVEL] [-W WIDTH] [-H HEIGHT] [COMMON] PATH...\n"
        "  quorvane-batch rotate   [-a ANGLE] [--flop] [--flip] [COMMON] PATH...\n"
        "  quorvane-batch -h, --help | -V, --version\n"
        "COMMON: [-o DIR] [-r] [--files-from FILE [-0]] [-j N] [--json]\n"
        "\n"
        "Converts, resizes, compresses or rotates images, as many at a time as the machine\n"
        "has cores (QUORVANE_BATCH_TOOLS=N sets another number). PATH is a file or a\n"
        "folder (the files directly in it, in name order).\n"
        "\n"
        "Options:\n"
        "  -f, --format FORMAT  output format: %1\n"
        "                       (default jpg)\n"
        "  -q, --quality QUALITY\n"
        "                       quality of the lossy formats (%9), 1 to 100\n"
        "                       (default 80): higher is clearer, lower is smaller\n"
        "  -W, --width WIDTH    width in pixels, 0 to 10000 (0: not given); given alone,\n"
        "                       the height keeps the aspect ratio\n"
        "  -H, --height HEIGHT  height in pixels, 0 to 10000 (0: not given); given alone,\n"
        "                       the width keeps the aspect ratio; with -W, exactly that size\n"
        "  --preset NAME        %5\n"
        "  --metadata WHAT      what of the photo's metadata the output keeps: %10\n"
        "                       (keep: all of it, the default; no-location: all but\n"
        "                       the GPS position; none: no EXIF, XMP, IPTC or comment);\n"
        "                       the colour profile is always kept, the picture upright\n"
        "  -l, --level LEVEL    compression level %6 ... %7 (default %8): higher is\n"
        "                       clearer, lower is smaller; files keep their format\n"
        "  -a, --angle ANGLE    degrees clockwise, -360 to 360 (default 0)\n"
        "  --flop               mirror left to right\n"
        "  --flip               mirror top to bottom\n"
        "  -o, --output DIR     output folder (default: Pelmora图片查看器 on the Desktop)\n"
        "  -r, --recursive      a folder stands for the files of its sub-folders too; the\n"
        "                       output folder gets the same sub-folders\n"
        "  --files-from FILE    also the paths listed in FILE, one per line (- reads\n"
        "                       standard input); PATH may then be left out\n"
        "  -0                   the list is separated by NUL bytes (find -print0)\n"
        "  -j, --jobs N         at most N tools at once, 1 to 64 (default: the cores, or\n"
        "                       QUORVANE_BATCH_TOOLS)\n"
        "  --json               one JSON object per file instead of the text lines:\n"
        "                       source, output, status, reason, frames\n"
        "\n"
        "Accepted files (others are skipped):\n"
        "  convert, resize: %2\n"
        "  compress: %3\n"
        "  rotate: %4\n"
        "\n"
        "Prints one line per file as it finishes: \"ok SOURCE -> OUTPUT\" (with \"(original\n"
        "kept: ...)\" when compressing would not have made the file smaller),\n"
        "\"failed SOURCE -> OUTPUT: REASON\", \"missing SOURCE\" or\n"
        "\"skipped SOURCE: unsupported suffix\"; then \"N succeeded, M failed, K skipped\"\n"
        "(missing files count as failed). QT_LOGGING_RULES=quorvane.batch.debug=true also\n"
        "prints the tools' command lines and error texts on standard error.\n"
        "Exit status: 0 every file sent succeeded, 1 a file failed or was missing,\n"
        "2 usage error.\n");
    QStringList presetWords;
    for (const BatchCatalogue::SizePreset &preset : BatchCatalogue::sizePresets()) {
        if (preset.name.isEmpty())
            continue;
        presetWords << preset.name;
        if (preset.height < 0)
            presetWords << QStringLiteral("(%1").arg(preset.width) << QStringLiteral("wide),");
        else
            presetWords << QStringLiteral("(%1x%2),").arg(preset.width).arg(preset.height);
    }
    presetWords.last().chop(1);
    presetWords.last() += QLatin1Char(';');
    presetWords << QStringLiteral("-W and -H override its values").split(QLatin1Char(' '));
    const QList<BatchCatalogue::CompressionLevel> &levels = BatchCatalogue::compressionLevels();
    return text.arg(BatchCatalogue::outputFormats().join(QLatin1Char(' ')),
                    wrapWords(Operations::row(Operation::Convert).acceptedSuffixes(), 19, 80),
                    Operations::row(Operation::Compress).acceptedSuffixes().join(QLatin1Char(' ')),
                    Operations::row(Operation::Rotate).acceptedSuffixes().join(QLatin1Char(' ')),
                    wrapWords(presetWords, 23, 80),
                    QStringLiteral("%1, %2").arg(levels.first().quality).arg(levels.at(1).quality),
                    QString::number(levels.last().quality), QString::number(BatchCatalogue::defaultQuality()))
        .arg(lossyFormats(), BatchCatalogue::metadataNames().join(QLatin1Char(' ')));
}
