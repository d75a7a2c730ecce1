#pragma once

#include <QString>

// The words a row's status tooltip says when a file failed, or succeeded with a
// warning kept as its note. The engine's reasons are English (quorvane-batch
// prints them as they are); the toolbox puts short Chinese words first and the
// tool's own line below them.
namespace ReasonWords {

constexpr int kMaxLineChars = 200;

// "文件为空", "不是图片或格式不受支持", "图片不完整", "图片过大", "磁盘已满", "处理超时",
// "工具无法启动", ...; "处理失败" for a reason of no known kind.
QString shortReason(const QString &engineReason);

// The engine's reason on one line (line breaks and runs of blanks as one blank),
// at most kMaxLineChars characters, cut with "…".
QString oneLine(const QString &engineReason);

// shortReason(), then oneLine() below it.
QString tooltip(const QString &engineReason);

// What a warning on a succeeded file was about ("原图含多余数据，已忽略",
// "原图的颜色配置文件已损坏，已忽略"); "原图有小问题，已忽略" for another warning.
QString shortNote(const QString &engineWarning);

// shortNote(), then oneLine() below it; empty for no warning.
QString noteTooltip(const QString &engineWarning);

} // namespace ReasonWords
