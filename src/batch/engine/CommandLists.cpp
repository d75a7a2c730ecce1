#include "CommandLists.h"

#include "DecodeSize.h"
#include "batch/engine/BatchCatalogue.h"
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

Command convertArgs(const JobSettings &settings, const Input &input, const QString &output, const QString &fmt)
{
    const bool asShown = Operations::row(settings.operation).asShown;
    QStringList readOptions;
    QStringList size = sizeArgs(settings.width, settings.height);
    if (input.coder == QLatin1String("jpeg") && input.size.isValid()) {
        // Compression keeps the stored picture: its sizes are the stored sides.
        const int orientation = asShown ? input.orientation : 1;
        const QSize hint = DecodeSize::jpegHint(input.size, orientation, settings.width, settings.height);
        if (hint.isValid()) {
            readOptions << QStringLiteral("-define")
                        << QStringLiteral("jpeg:size=%1x%2").arg(hint.width()).arg(hint.height());
            // The scaled picture's sides are rounded up: a side that follows the
            // aspect ratio would follow its ratio, not the source's. The output's
            // size is given whole instead.
            const QSize output = DecodeSize::turnsSides(orientation) ? hint.transposed() : hint;
            // libjpeg's scaling has done the reduction down to less than twice the
            // output; the small rest needs no wide filter. Triangle costs a fifth less
            // than the default Lanczos and lands as close to a whole decode's Lanczos
            // resize (43.7 dB on a 24 MP photo for both).
            size = QStringList{QStringLiteral("-filter"), QStringLiteral("Triangle")}
                + sizeArgs(output.width(), output.height());
        }
    }
    // The conditions test the whole path, not its suffix: "mytif" counts as a TIFF.
    const QString lowerInput = input.path.toLower();
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
    // Making frames whole copies the picture: only a content that can hold
    // several pays for it (an unknown one is taken to).
    if (asShown) {
        if (!flatten && (input.coder.isEmpty() || BatchCatalogue::holdsFrames(input.coder)))
            args << QStringLiteral("-coalesce");
        args << QStringLiteral("-auto-orient");
    }
    args << size;
    if (settings.degrees)
        args << QStringLiteral("-rotate") << QString::number(*settings.degrees);
    if (settings.flop)
        args << QStringLiteral("-flop");
    if (settings.flip)
        args << QStringLiteral("-flip");
    if (asShown)
        args << metadataArgs(settings.metadata, fmt);
    if (endsWithAny(lowerInput, {"png", "bmp"}) && (fmt == QLatin1String("jpg") || fmt == QLatin1String("jpeg")))
        args << QStringLiteral("-background") << QStringLiteral("white") << QStringLiteral("-alpha")
             << QStringLiteral("remove");
    return {input.path, args, output, readOptions};
}

QStringList metadataArgs(Metadata metadata, const QString &fmt)
{
    if (metadata != Metadata::None)
        return {};
    // Every profile but the colour one (EXIF, XMP, IPTC, 8BIM), and the comment.
    // A PNG would still carry the file's dates; the values ImageMagick parsed,
    // which it writes as text too, are unset by the engine (MetadataStrip).
    QStringList args{QStringLiteral("+profile"), QStringLiteral("!icc,*"), QStringLiteral("+set"),
                     QStringLiteral("comment")};
    if (fmt == QLatin1String("png"))
        args << QStringLiteral("-define") << QStringLiteral("png:exclude-chunk=date,tIME");
    return args;
}

Command pngArgs(std::optional<int> quality, const QString &input, const QString &output)
{
    QStringList args;
    if (quality)
        args << QStringLiteral("--quality") << QString::number(*quality);
    args << QStringLiteral("--output");
    return {input, args, output};
}

QStringList rawArgs(const JobSettings &settings, const QString &rawPath, const QString &jpegPath)
{
    if (!hasSize(settings))
        return {rawPath, jpegPath};
    const auto side = [](std::optional<int> value) { return QString::number(qMax(0, value.value_or(0))); };
    return {QStringLiteral("--cover"), side(settings.width) + QLatin1Char('x') + side(settings.height), rawPath,
            jpegPath};
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
