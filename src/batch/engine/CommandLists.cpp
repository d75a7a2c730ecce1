#include "batch/engine/CommandLists.h"

namespace CommandLists {

namespace {

bool endsWithAny(const QString &text, std::initializer_list<const char *> endings)
{
    for (const char *ending : endings) {
        if (text.endsWith(QLatin1String(ending)))
            return true;
    }
    return false;
}

} // namespace

QStringList sizeArgs(int width, int height)
{
    // 0 is "not given" like -1: "-resize 0" would make a 1x1 picture.
    const bool hasWidth = width > 0;
    const bool hasHeight = height > 0;
    if (hasWidth && hasHeight)
        return {QStringLiteral("-resize"), QStringLiteral("%1x%2!").arg(width).arg(height)};
    if (hasWidth)
        return {QStringLiteral("-resize"), QString::number(width)};
    if (hasHeight)
        return {QStringLiteral("-resize"), QStringLiteral("x%1").arg(height)};
    return {};
}

bool hasSize(int width, int height)
{
    return width > 0 || height > 0;
}

QStringList convertArgs(const JobSettings &settings, const QString &input, const QString &output, const QString &fmt)
{
    // The conditions test the whole path, not its suffix: "mytif" counts as a TIFF.
    const QString lowerInput = input.toLower();
    QStringList args{input};
    if (settings.qualityValue != -1)
        args << QStringLiteral("-quality") << QString::number(settings.qualityValue) + QLatin1Char('%');
    const bool flatten = endsWithAny(lowerInput, {"psd", "tif", "tiff"});
    if (flatten)
        args << QStringLiteral("-layers") << QStringLiteral("flatten");
    // Compression keeps the pixels and the orientation tag as they are; every other
    // operation works on the picture as shown, written upright (orientation 1), so
    // sizes and turns mean what the user sees, and a format without the tag shows
    // it right too. Animation frames are made whole first, each the picture's size.
    if (settings.imgType != BatchOp::Compress) {
        if (!flatten)
            args << QStringLiteral("-coalesce");
        args << QStringLiteral("-auto-orient");
    }
    args << sizeArgs(settings.zoomWidth, settings.zoomHeight);
    if (!settings.rotateDegree.isEmpty())
        args << QStringLiteral("-rotate") << settings.rotateDegree;
    if (settings.isFlop)
        args << QStringLiteral("-flop");
    if (settings.isFlip)
        args << QStringLiteral("-flip");
    if (endsWithAny(lowerInput, {"png", "bmp"}) && (fmt == QLatin1String("jpg") || fmt == QLatin1String("jpeg")))
        args << QStringLiteral("-background") << QStringLiteral("white") << QStringLiteral("-alpha")
             << QStringLiteral("remove");
    args << output;
    return args;
}

QStringList pngArgs(int quality, const QString &input, const QString &output)
{
    QStringList args{input};
    if (quality != -1)
        args << QStringLiteral("--quality") << QString::number(quality);
    args << QStringLiteral("--output") << output;
    return args;
}

QStringList rawArgs(const QString &rawPath, const QString &jpegPath)
{
    return {rawPath, jpegPath};
}

QStringList debugLines(const QString &input, const QString &output, const QString &fmt, const QStringList &args)
{
    QStringList lines{QStringLiteral("===========图片路径为：") + input + QStringLiteral("转换后的路径为：") + output
                      + QStringLiteral(",转换的格式为：") + fmt};
    for (const QString &arg : args)
        lines << QStringLiteral("===========================") + arg;
    return lines;
}

} // namespace CommandLists
