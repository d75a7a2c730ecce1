#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

#include <optional>

// What a batch job does to each of its files.
enum class Operation { Convert, Resize, Compress, Rotate };

// What of the source's metadata an output carries. The colour profile always
// goes along, and the picture is upright whatever is left out.
enum class Metadata {
    Keep, // everything, as the source has it
    NoLocation, // all but the GPS position
    None // no EXIF, XMP, IPTC or comments
};

// The settings of one job that every file of it shares, handed whole from a page
// or the command line to the job. A field that is not set is not given: the tool
// gets no argument for it.
struct JobSettings
{
    Operation operation = Operation::Convert;
    // Output suffix, one of BatchCatalogue::outputFormats(); unset: each file keeps
    // its own (always so for the operations that keep the source's format).
    std::optional<QString> format;
    // Sides in pixels (1 or more); one side alone keeps the aspect ratio.
    std::optional<int> width;
    std::optional<int> height;
    // Output quality in percent: the compression level.
    std::optional<int> quality;
    // Clockwise turn in degrees (negative: anticlockwise).
    std::optional<int> degrees;
    bool flop = false; // mirror left to right
    bool flip = false; // mirror top to bottom
    // What leaves with the picture (the operations that work on it as shown).
    Metadata metadata = Metadata::Keep;

    bool operator==(const JobSettings &other) const
    {
        return operation == other.operation && format == other.format && width == other.width
            && height == other.height && quality == other.quality && degrees == other.degrees && flop == other.flop
            && flip == other.flip && metadata == other.metadata;
    }
    bool operator!=(const JobSettings &other) const { return !(*this == other); }
};

// One file of a job: the row its result is reported for, and its path.
struct JobFile
{
    int row = -1;
    QString path;
    // Where below the job's output folder its output goes ("a/b"); empty: in it.
    QString subDir = QString();
};

using JobFiles = QList<JobFile>;

// How one file of a job ended, told once per file.
struct FileResult
{
    enum Status { Succeeded, Failed, Cancelled };

    int row = -1;
    Status status = Failed;
    QString output; // the output written (the first picture of several), or the one planned
    int frames = 1; // pictures written: NAME-0.EXT ... for more than one
    bool keptOriginal = false; // compression was not smaller: the output holds the source's bytes
    QString reason; // a failed file: one line saying why; a succeeded one: the decoder's warning kept, if any
};

// How a job ended, told once after every file's result.
struct JobSummary
{
    int succeeded = 0;
    int failed = 0;
    int cancelled = 0;
};

Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(FileResult)
Q_DECLARE_METATYPE(JobSummary)

// What a running file's progress shows, from the time its tools started: 3 %,
// one more each second up to 91 %; 100 % comes with its success. Tools say
// nothing of their own progress, so this only shows that the file runs.
inline int runningProgress(qint64 msSinceStart)
{
    return int(qBound<qint64>(3, 3 + msSinceStart / 1000, 91));
}
