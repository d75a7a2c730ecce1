#include "cli/BatchReport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

QString BatchReport::okLine(const QString &source, const QString &output)
{
    return QStringLiteral("ok %1 -> %2").arg(source, output);
}

QString BatchReport::keptLine(const QString &source, const QString &output)
{
    return okLine(source, output) + QStringLiteral(" (original kept: compressing did not make it smaller)");
}

QString BatchReport::failedLine(const QString &source, const QString &output, const QString &reason)
{
    return QStringLiteral("failed %1 -> %2: %3").arg(source, output, reason);
}

QString BatchReport::missingLine(const QString &source)
{
    return QStringLiteral("missing %1").arg(source);
}

QString BatchReport::skippedLine(const QString &source)
{
    return QStringLiteral("skipped %1: unsupported suffix").arg(source);
}

QString BatchReport::summaryLine(int succeeded, int failed, int skipped)
{
    return QStringLiteral("%1 succeeded, %2 failed, %3 skipped").arg(succeeded).arg(failed).arg(skipped);
}

QString BatchReport::jsonLine(const QString &source, const QString &output, const QString &status,
                              const QString &reason, int frames)
{
    const QJsonObject object{{QStringLiteral("source"), source},
                             {QStringLiteral("output"), output.isEmpty() ? QJsonValue() : QJsonValue(output)},
                             {QStringLiteral("status"), status},
                             {QStringLiteral("reason"), reason.isEmpty() ? QJsonValue() : QJsonValue(reason)},
                             {QStringLiteral("frames"), frames}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

int BatchReport::framesOf(const QString &output)
{
    const QFileInfo info(output);
    if (output.isEmpty())
        return 0;
    if (info.isFile())
        return 1;
    const QString pattern = QRegularExpression::escape(info.completeBaseName()) + QStringLiteral("-\\d+\\.")
        + QRegularExpression::escape(info.suffix());
    return info.dir()
        .entryList(QDir::Files)
        .filter(QRegularExpression(QStringLiteral("^") + pattern + QStringLiteral("$")))
        .size();
}

QString BatchReport::firstLine(const QString &text)
{
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            return trimmed;
    }
    return QString();
}

BatchReport::BatchReport(int total)
    : m_total(total)
{ }

void BatchReport::addSkipped()
{
    ++m_skipped;
}

void BatchReport::addMissing()
{
    ++m_failed;
}

void BatchReport::setProgress(int row, int progress)
{
    m_running.insert(row, progress);
}

void BatchReport::finish(int row, bool isSuccess)
{
    m_running.remove(row);
    ++m_done;
    if (isSuccess)
        ++m_succeeded;
    else
        ++m_failed;
}

QString BatchReport::summaryLine() const
{
    return summaryLine(m_succeeded, m_failed, m_skipped);
}

QString BatchReport::progressLine() const
{
    QString line = QStringLiteral("%1 of %2 done").arg(m_done).arg(m_total);
    if (!m_running.isEmpty()) {
        line += QStringLiteral(", running:");
        for (const int progress : m_running)
            line += QStringLiteral(" %1%").arg(progress);
    }
    return line;
}

int BatchReport::exitStatus() const
{
    return m_failed > 0 ? 1 : 0;
}
