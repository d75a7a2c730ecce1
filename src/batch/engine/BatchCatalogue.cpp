#include "batch/engine/BatchCatalogue.h"

#include "batch/engine/Operations.h"
#include "formats/Formats.h"

namespace BatchCatalogue {

const QStringList &outputFormats()
{
    static const QStringList table = {QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
                                      QStringLiteral("bmp"),  QStringLiteral("tif"),  QStringLiteral("tiff"),
                                      QStringLiteral("webp"), QStringLiteral("tga"),  QStringLiteral("gif")};
    return table;
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

void init()
{
    Formats::init();
    Operations::all();
    outputFormats();
    sizePresets();
    compressionLevels();
}

} // namespace BatchCatalogue
