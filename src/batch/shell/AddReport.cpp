#include "batch/shell/AddReport.h"

#include <QStringList>

AddReport &AddReport::operator+=(const AddReport &other)
{
    added += other.added;
    unsupported += other.unsupported;
    folders += other.folders;
    return *this;
}

QString AddReport::notice() const
{
    QStringList skipped;
    if (unsupported > 0)
        skipped << QStringLiteral("%1 个不支持的文件").arg(unsupported);
    if (folders > 0)
        skipped << QStringLiteral("%1 个文件夹").arg(folders);
    QStringList parts;
    if (added > 0)
        parts << QStringLiteral("已添加 %1 个文件").arg(added);
    if (!skipped.isEmpty())
        parts << QStringLiteral("已跳过 ") + skipped.join(QStringLiteral("、"));
    return parts.isEmpty() ? QStringLiteral("没有可添加的文件") : parts.join(QStringLiteral("，"));
}
