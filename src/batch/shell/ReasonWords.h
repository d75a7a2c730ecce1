#pragma once

#include <QString>

// The words a failed row's status tooltip says. The engine's reasons are English
// (quorvane-batch prints them as they are); the toolbox puts a short Chinese
// reason first and the tool's own line below it.
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

} // namespace ReasonWords
