#pragma once

#include "batch/engine/BatchTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

// The choices a batch job offers, written once for the toolbox pages and for
// quorvane-batch: output formats, size presets, compression levels, and which
// files each operation accepts.
namespace BatchCatalogue {

// An output format of the conversion and resize pages and of -f.
struct OutputFormat
{
    QString suffix;
    bool takesQuality; // lossy: the quality setting applies (JPEG, WebP, AVIF, HEIC)
    bool carriesProfile; // keeps the source's ICC profile; else its pixels become sRGB
};

// In the order of the conversion page's format list.
const QList<OutputFormat> &outputTable();
// The row of a suffix; null when it is no output format.
const OutputFormat *outputFormat(const QString &suffix);
// The suffixes of outputTable(), in its order.
const QStringList &outputFormats();

// The quality of lossy outputs, in percent: from kMinQuality to 100, 80 unless set.
constexpr int kMinQuality = 1;
constexpr int kMaxQuality = 100;
constexpr int kDefaultOutputQuality = 80;
// The quality a conversion to suffix runs with: none for a format that takes no
// quality, else the one asked, else kDefaultOutputQuality.
std::optional<int> outputQuality(const QString &suffix, std::optional<int> asked);
// The format list's text for a suffix: the suffix in upper case ("JPG").
QString formatLabel(const QString &suffix);

// Codes of the size presets (the size combo's item data, not its index).
enum PresetCode {
    OriginalSize = 0,
    Computer = 1,
    Phone = 3,
    StickerLarge = 4,
    StickerSmall = 5,
    IdPhoto1 = 6,
    IdPhoto2 = 7,
    CustomSize = 50
};

struct SizePreset
{
    PresetCode code;
    QString label; // the size combo's text
    QString name; // quorvane-batch's --preset NAME; empty for original and custom size
    int width; // -1: the side is left to the aspect ratio (or to the user)
    int height;
};

// The resize page's presets in combo order, from "原始尺寸" to "自定义".
const QList<SizePreset> &sizePresets();
// The preset of a code or of a command-line name; null when there is none.
const SizePreset *presetByCode(int code);
const SizePreset *presetByName(const QString &name);
// The command-line names, in combo order.
QStringList presetNames();

struct CompressionLevel
{
    int quality; // what the job receives as its quality
    QString label; // the level combo's text
};

// From "90" down to "10", in combo order.
const QList<CompressionLevel> &compressionLevels();
// The level chosen when nothing else is: 70.
constexpr int kDefaultLevelIndex = 2;
int defaultQuality();
// The quality of a level index (a combo index); -1 outside the list.
int qualityAt(int levelIndex);
bool isCompressionLevel(int quality);

// What leaves with the photo: the choices of the conversion and resize pages and
// of --metadata, in combo order; the first is the default.
struct MetadataChoice
{
    Metadata metadata;
    QString name; // quorvane-batch's --metadata NAME
    QString label; // the combo's text
};

const QList<MetadataChoice> &metadataChoices();
// The choice of a command-line name; null when there is none.
const MetadataChoice *metadataByName(const QString &name);
QStringList metadataNames();

// Whether a source whose content is of this format (ContentFormat's name) can
// hold several frames (an animation), which are then made whole before anything
// else; a format of one picture is spared the copy that costs.
bool holdsFrames(const QString &coder);

// The largest width or height a job takes (the size fields, -W and -H), and the
// largest turn either way in degrees (the angle field, -a).
constexpr int kMaxSide = 10000;
constexpr int kMaxAngle = 360;

// Creates every table; the engine calls it before anything may run at exit.
void init();

} // namespace BatchCatalogue
