#include "batch/engine/BatchCatalogue.h"

#include "batch/engine/Operations.h"
#include "formats/Formats.h"

namespace BatchCatalogue {

const QList<OutputFormat> &outputTable()
{
    // ImageMagick 6 writes no profile into AVIF and HEIC; BMP, TGA and GIF readers
    // ignore one.
    static const QList<OutputFormat> table = {
        {QStringLiteral("jpg"), true, true},   {QStringLiteral("jpeg"), true, true}, {QStringLiteral("png"), false, true},
        {QStringLiteral("bmp"), false, false}, {QStringLiteral("tif"), false, true}, {QStringLiteral("tiff"), false, true},
        {QStringLiteral("webp"), true, true},  {QStringLiteral("tga"), false, false}, {QStringLiteral("gif"), false, false},
        {QStringLiteral("avif"), true, false}, {QStringLiteral("heic"), true, false},
    };
    return table;
}

const OutputFormat *outputFormat(const QString &suffix)
{
    for (const OutputFormat &format : outputTable()) {
        if (format.suffix == suffix)
            return &format;
    }
    return nullptr;
}

std::optional<int> outputQuality(const QString &suffix, std::optional<int> asked)
{
    const OutputFormat *format = outputFormat(suffix);
    if (!format || !format->takesQuality)
        return std::nullopt;
    return asked ? asked : std::optional<int>(kDefaultOutputQuality);
}

const QStringList &outputFormats()
{
    static const QStringList suffixes = [] {
        QStringList list;
        for (const OutputFormat &format : outputTable())
            list << format.suffix;
        return list;
    }();
    return suffixes;
}

QString formatLabel(const QString &suffix)
{
    return suffix.toUpper();
}

const QList<SizePreset> &sizePresets()
{
    static const QList<SizePreset> table = {
        {OriginalSize, QStringLiteral("原始尺寸"), QString(), -1, -1},
        {Computer, QStringLiteral("电脑尺寸"), QStringLiteral("desktop"), 1024, -1},
        {Phone, QStringLiteral("手机尺寸"), QStringLiteral("phone"), 480, -1},
        {StickerLarge, QStringLiteral("微信表情(大)"), QStringLiteral("sticker-large"), 200, -1},
        {StickerSmall, QStringLiteral("微信表情(小)"), QStringLiteral("sticker-small"), 140, -1},
        {IdPhoto1, QStringLiteral("证件照1寸"), QStringLiteral("id-1inch"), 295, 413},
        {IdPhoto2, QStringLiteral("证件照2寸"), QStringLiteral("id-2inch"), 413, 626},
        {CustomSize, QStringLiteral("自定义"), QString(), -1, -1},
    };
    return table;
}

const SizePreset *presetByCode(int code)
{
    for (const SizePreset &preset : sizePresets()) {
        if (preset.code == code)
            return &preset;
    }
    return nullptr;
}

const SizePreset *presetByName(const QString &name)
{
    for (const SizePreset &preset : sizePresets()) {
        if (!preset.name.isEmpty() && preset.name == name)
            return &preset;
    }
    return nullptr;
}

QStringList presetNames()
{
    QStringList names;
    for (const SizePreset &preset : sizePresets()) {
        if (!preset.name.isEmpty())
            names << preset.name;
    }
    return names;
}

const QList<CompressionLevel> &compressionLevels()
{
    static const QList<CompressionLevel> table = {
        {90, QStringLiteral("90")}, {80, QStringLiteral("80(推荐)")}, {70, QStringLiteral("70(推荐)")},
        {60, QStringLiteral("60")}, {50, QStringLiteral("50")},       {40, QStringLiteral("40")},
        {30, QStringLiteral("30")}, {20, QStringLiteral("20")},       {10, QStringLiteral("10")},
    };
    return table;
}

int qualityAt(int levelIndex)
{
    return levelIndex >= 0 && levelIndex < compressionLevels().size() ? compressionLevels().at(levelIndex).quality : -1;
}

int defaultQuality()
{
    return qualityAt(kDefaultLevelIndex);
}

bool isCompressionLevel(int quality)
{
    for (const CompressionLevel &level : compressionLevels()) {
        if (level.quality == quality)
            return true;
    }
    return false;
}

const QList<MetadataChoice> &metadataChoices()
{
    static const QList<MetadataChoice> table = {
        {Metadata::Keep, QStringLiteral("keep"), QStringLiteral("保留全部信息")},
        {Metadata::NoLocation, QStringLiteral("no-location"), QStringLiteral("去除位置信息")},
        {Metadata::None, QStringLiteral("none"), QStringLiteral("去除全部信息")},
    };
    return table;
}

const MetadataChoice *metadataByName(const QString &name)
{
    for (const MetadataChoice &choice : metadataChoices()) {
        if (choice.name == name)
            return &choice;
    }
    return nullptr;
}

QStringList metadataNames()
{
    QStringList names;
    for (const MetadataChoice &choice : metadataChoices())
        names << choice.name;
    return names;
}

bool holdsFrames(const QString &coder)
{
    // GIF, WebP, APNG and MNG animate; a TIFF may hold pages (flattened where its
    // name says TIFF, made whole where it does not).
    static const QStringList framed = {QStringLiteral("gif"), QStringLiteral("webp"), QStringLiteral("png"),
                                       QStringLiteral("apng"), QStringLiteral("mng"), QStringLiteral("tiff")};
    return framed.contains(coder);
}

void init()
{
    Formats::init();
    Operations::all();
    outputFormats();
    sizePresets();
    compressionLevels();
    metadataChoices();
}

} // namespace BatchCatalogue
