#include "CommandLists.h"

#include "batch/engine/Operations.h"

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

QStringList sizeArgs(std::optional<int> width, std::optional<int> height)
{
    // 0 is "not given": "-resize 0" would make a 1x1 picture.
    const bool hasWidth = width.value_or(0) > 0;
    const bool hasHeight = height.value_or(0) > 0;
    if (hasWidth && hasHeight)
        return {QStringLiteral("-resize"), QStringLiteral("%1x%2!").arg(*width).arg(*height)};
    if (hasWidth)
        return {QStringLiteral("-resize"), QString::number(*width)};
    if (hasHeight)
        return {QStringLiteral("-resize"), QStringLiteral("x%1").arg(*height)};
    return {};
}

bool hasSize(const JobSettings &settings)
{
    return !sizeArgs(settings.width, settings.height).isEmpty();
}

Command convertArgs(const JobSettings &settings, const QString &input, const QString &output, const QString &fmt)
{
    // The conditions test the whole path, not its suffix: "mytif" counts as a TIFF.
    const QString lowerInput = input.toLower();
    QStringList args;
    if (settings.quality)
        args << QStringLiteral("-quality") << QString::number(*settings.quality) + QLatin1Char('%');
    const bool flatten = endsWithAny(lowerInput, {"psd", "tif", "tiff"});
    if (flatten)
        args << QStringLiteral("-layers") << QStringLiteral("flatten");
    // The picture as shown (Operations::Row::asShown): frames made whole, each the
    // picture's size, and turned upright by the EXIF orientation, which is then 1,
    // so sizes and turns mean what the user sees and a format without the tag
    // shows it right too. Compression keeps the pixels and the tag as they are.
    if (Operations::row(settings.operation).asShown) {
        if (!flatten)
            args << QStringLiteral("-coalesce");
        args << QStringLiteral("-auto-orient");
    }
    args << sizeArgs(settings.width, settings.height);
    if (settings.degrees)
        args << QStringLiteral("-rotate") << QString::number(*settings.degrees);
    if (settings.flop)
        args << QStringLiteral("-flop");
    if (settings.flip)
        args << QStringLiteral("-flip");
    if (endsWithAny(lowerInput, {"png", "bmp"}) && (fmt == QLatin1String("jpg") || fmt == QLatin1String("jpeg")))
        args << QStringLiteral("-background") << QStringLiteral("white") << QStringLiteral("-alpha")
             << QStringLiteral("remove");
    return {input, args, output};
}

Command pngArgs(std::optional<int> quality, const QString &input, const QString &output)
{
    QStringList args;
    if (quality)
        args << QStringLiteral("--quality") << QString::number(*quality);
    args << QStringLiteral("--output");
    return {input, args, output};
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
