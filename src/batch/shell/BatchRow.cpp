#include "batch/shell/BatchRow.h"

#include <QDir>
#include <QFileInfo>

RunSettings::RunSettings(const JobSettings &settings, const QString &folder)
    : job(settings)
    , outputFolder(folder)
{ }

bool RunSettings::operator==(const RunSettings &other) const
{
    // "/out/" and "/out" are one folder.
    return job == other.job && QDir(outputFolder).absolutePath() == QDir(other.outputFolder).absolutePath();
}

BatchRow::BatchRow(const QString &path, qint64 size)
    : source(path)
    , sourceSize(size)
{ }

QString BatchRow::stateText() const
{
    switch (state) {
    case State::Waiting:
    case State::Running:
    case State::Succeeded: return QString();
    case State::Failed: return QStringLiteral("转换失败！");
    case State::Cancelled: return QStringLiteral("已取消");
    case State::Missing: return QStringLiteral("原文件不存在！");
    case State::Kept: return QStringLiteral("已完成，未重复处理");
    }
    return QString();
}

QString BatchRow::fileName() const
{
    return QFileInfo(source).fileName();
}

void BatchRow::reset()
{
    *this = BatchRow(source, sourceSize);
}
