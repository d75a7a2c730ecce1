#include "ReasonWords.h"

#include "batch/engine/SuccessRule.h"

#include <iterator>

namespace ReasonWords {

namespace {

struct Kind
{
    std::initializer_list<const char *> says; // any of these, ignoring case
    const char *words;
};

// First match wins: the output side before the general "permission denied".
const Kind kKinds[] = {
    {{"no space left on device", "disk full"}, "磁盘已满"},
    {{"the file is empty"}, "文件为空"},
    {{"the file does not exist"}, "原文件不存在"},
    {{"made no progress for", "ran longer than"}, "处理超时"},
    {{"could not be started"}, "工具无法启动"},
    {{"too large", "exceeds limit", "cache resources exhausted", "memory allocation failed", "resource limit"},
     "图片过大"},
    {{"not a picture format", "no decode delegate", "improper image header", "not a jpeg file", "no encode delegate",
      "unrecognized image format", "not a supported"},
     "不是图片或格式不受支持"},
    {{"file name is not valid utf-8"}, "文件名无法处理"},
    {{"not a regular file"}, "不是普通文件"},
    {{"cannot write in the output folder", "cannot create the folder", "cannot move the output",
      "read-only file system"},
     "无法写入输出文件夹"},
    {{"cannot read the file", "cannot open the file", "permission denied"}, "无法读取原文件"},
    {{"crashed"}, "工具意外退出"},
    {{"policy"}, "缺少 ImageMagick 配置"},
    {{"no output was written", "wrote no picture"}, "没有生成输出文件"},
};

// What a warning kept on a succeeded file was about; the pixels are whole.
const Kind kNotes[] = {
    {{"extraneous bytes"}, "原图含多余数据，已忽略"},
    {{"iccp", "icc profile", "color profile", "colour profile"}, "原图的颜色配置文件已损坏，已忽略"},
};

QString wordsAndLine(const QString &words, const QString &engineReason)
{
    const QString line = oneLine(engineReason);
    return line.isEmpty() ? words : words + QLatin1Char('\n') + line;
}

const char *firstMatch(const Kind *begin, const Kind *end, const QString &engineReason)
{
    for (const Kind *kind = begin; kind != end; ++kind) {
        for (const char *said : kind->says) {
            if (engineReason.contains(QLatin1String(said), Qt::CaseInsensitive))
                return kind->words;
        }
    }
    return nullptr;
}

} // namespace

QString shortReason(const QString &engineReason)
{
    if (const char *words = firstMatch(std::begin(kKinds), std::end(kKinds), engineReason))
        return QString::fromUtf8(words);
    // The engine's own list of the words a damaged picture's decoder says.
    if (!SuccessRule::damageReports(engineReason).isEmpty())
        return QStringLiteral("图片不完整");
    return QStringLiteral("处理失败");
}

QString oneLine(const QString &engineReason)
{
    const QString line = engineReason.simplified();
    if (line.size() <= kMaxLineChars)
        return line;
    return line.left(kMaxLineChars - 1) + QChar(0x2026);
}

QString shortNote(const QString &engineWarning)
{
    const char *words = firstMatch(std::begin(kNotes), std::end(kNotes), engineWarning);
    return words ? QString::fromUtf8(words) : QStringLiteral("原图有小问题，已忽略");
}

QString tooltip(const QString &engineReason)
{
    return wordsAndLine(shortReason(engineReason), engineReason);
}

QString noteTooltip(const QString &engineWarning)
{
    return engineWarning.trimmed().isEmpty() ? QString() : wordsAndLine(shortNote(engineWarning), engineWarning);
}

} // namespace ReasonWords
