#include "cli/BatchReport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

namespace {

// Length of the valid UTF-8 sequence at bytes[at], 0 when there is none.
int sequenceLength(const QByteArray &bytes, int at)
{
    const auto byte = [&bytes](int i) { return i < bytes.size() ? quint8(bytes[i]) : 0; };
    const auto continuation = [&byte](int i) { return (byte(i) & 0xC0) == 0x80; };
    const quint8 lead = byte(at);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const quint8 second = byte(at + 1);
        const bool ok = (lead == 0xE0 ? second >= 0xA0 : lead == 0xED ? second < 0xA0 : true);
        return ok && continuation(at + 1) && continuation(at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const quint8 second = byte(at + 1);
        const bool ok = (lead == 0xF0 ? second >= 0x90 : lead == 0xF4 ? second < 0x90 : true);
        return ok && continuation(at + 1) && continuation(at + 2) && continuation(at + 3) ? 4 : 0;
    }
    return 0;
}

bool needsEscape(uint c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

} // namespace

QString BatchReport::shown(const QByteArray &text)
{
    QString out;
    for (int at = 0; at < text.size();) {
        const int length = sequenceLength(text, at);
        if (length == 0) {
            out += QStringLiteral("\\x%1").arg(quint8(text[at]), 2, 16, QLatin1Char('0'));
            ++at;
            continue;
        }
        const QString character = QString::fromUtf8(text.constData() + at, length);
        at += length;
        const uint c = character.toUcs4().value(0);
        if (c == '\\')
            out += QStringLiteral("\\\\");
        else if (c == '\n')
            out += QStringLiteral("\\n");
        else if (c == '\r')
            out += QStringLiteral("\\r");
        else if (c == '\t')
            out += QStringLiteral("\\t");
        else if (needsEscape(c) && c < 0x80)
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
        else if (needsEscape(c))
            out += QStringLiteral("\\u%1").arg(c, 4, 16, QLatin1Char('0'));
        else
            out += character;
    }
    return out;
}

QString BatchReport::okLine(const QString &source, const QString &output, int frames)
{
    QString line = QStringLiteral("ok %1 -> %2").arg(shown(source), shown(output));
    if (frames > 1)
        line += QStringLiteral(" (%1 pictures)").arg(frames);
    return line;
}

QString BatchReport::keptLine(const QString &source, const QString &output)
{
    return okLine(source, output) + QStringLiteral(" (original kept: compressing did not make it smaller)");
}

QString BatchReport::failedLine(const QString &source, const QString &output, const QString &reason)
{
    return QStringLiteral("failed %1 -> %2: %3").arg(shown(source), shown(output), shown(reason));
}

QString BatchReport::missingLine(const QString &source)
{
    return QStringLiteral("missing %1").arg(shown(source));
}

QString BatchReport::skippedLine(const QString &source)
{
    return QStringLiteral("skipped %1: unsupported suffix").arg(shown(source));
}

QString BatchReport::badNameLine(const QByteArray &source)
{
    return QStringLiteral("failed %1: file name is not valid UTF-8").arg(shown(source));
}

QString BatchReport::stoppedLine(const QString &source)
{
    return QStringLiteral("stopped %1").arg(shown(source));
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
    : totalCount(total)
{ }

void BatchReport::addSkipped()
{
    ++skippedCount;
}

void BatchReport::addMissing()
{
    ++failedCount;
}

void BatchReport::setProgress(int row, int progress)
{
    running.insert(row, progress);
}

bool BatchReport::finished(int row) const
{
    return finishedRows.contains(row);
}

void BatchReport::finish(int row, bool isSuccess)
{
    if (finishedRows.contains(row))
        return;
    finishedRows.insert(row);
    running.remove(row);
    if (isSuccess)
        ++succeededCount;
    else
        ++failedCount;
}

QString BatchReport::summaryLine() const
{
    return summaryLine(succeededCount, failedCount, skippedCount);
}

QString BatchReport::progressLine() const
{
    QString line = QStringLiteral("%1 of %2 done").arg(finishedRows.size()).arg(totalCount);
    if (!running.isEmpty()) {
        line += QStringLiteral(", running:");
        for (const int progress : running)
            line += QStringLiteral(" %1%").arg(progress);
    }
    return line;
}

int BatchReport::exitStatus() const
{
    return failedCount > 0 ? 1 : 0;
}
