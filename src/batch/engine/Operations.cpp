#include "batch/engine/Operations.h"

#include "formats/Formats.h"

namespace Operations {

const QList<Row> &all()
{
    // Every command also takes the options of where files come from and how it runs.
    static const QStringList common = {"o", "files-from", "0", "r", "j", "json"};
    static const QList<Row> table = {
        // operation, cli name, options, accepted suffixes,
        // keepsFormat, asShown, decodesRaw, steps,
        // keepsSmallerSource, reportsFailures, reportCode
        {Operation::Convert, "convert", QStringList{"f", "q", "W", "H", "metadata"} + common, &Formats::openSuffixes, //
         false, true, true, Steps::Magick, false, true, 0},
        {Operation::Resize, "resize", QStringList{"f", "q", "preset", "W", "H", "metadata"} + common, &Formats::openSuffixes, //
         false, true, true, Steps::Magick, false, true, 0},
        {Operation::Compress, "compress", QStringList{"l", "W", "H"} + common, &Formats::compressSuffixes, //
         false, false, false, Steps::Compress, true, false, 3},
        {Operation::Rotate, "rotate", QStringList{"a", "flop", "flip"} + common, &Formats::rotateSuffixes, //
         true, true, false, Steps::Magick, false, true, 4},
    };
    return table;
}

const Row &row(Operation operation)
{
    for (const Row &entry : all()) {
        if (entry.operation == operation)
            return entry;
    }
    Q_ASSERT_X(false, "Operations::row", "an operation without a row");
    return all().constFirst();
}

const Row *byCliName(const QString &name)
{
    for (const Row &entry : all()) {
        if (name == QLatin1String(entry.cliName))
            return &entry;
    }
    return nullptr;
}

} // namespace Operations
