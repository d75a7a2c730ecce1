#include "MagickPolicy.h"

#include "BatchLog.h"
#include "batch/engine/BatchPaths.h"
#include "ProcessRunner.h"
#include "TempArea.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace MagickPolicy {

namespace {

const QString kFileName = QStringLiteral("policy.xml");

// The questions asked of one program share this much time: a program that answers
// in milliseconds needs no minute, and a hanging one fails its file in seconds.
constexpr qint64 kQuestionsMs = 5000;
QBasicMutex spentMutex;
QHash<QString, qint64> spentMs; // per program

} // namespace

QStringList candidateDirs(const QString &appDir)
{
    return BatchPaths::magickConfigCandidates(appDir);
}

QString configDir()
{
    return BatchPaths::magickConfigDir();
}

qint64 parseSize(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d+)\\s*([KMGTP]?)(i?)([BP]?)\\s*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return -1;
    qint64 value = match.captured(1).toLongLong();
    const int power = QStringLiteral(" KMGTP").indexOf(match.captured(2).toUpper());
    const qint64 base = match.captured(3).isEmpty() ? 1000 : 1024;
    for (int i = 0; i < power; ++i)
        value *= base;
    return value;
}

Limits readLimits(const QString &policyFile)
{
    Limits limits;
    QFile file(policyFile);
    if (!file.open(QIODevice::ReadOnly))
        return limits;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("policy"))
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (a.value(QLatin1String("domain")) != QLatin1String("resource"))
            continue;
        const QStringRef name = a.value(QLatin1String("name"));
        const qint64 value = parseSize(a.value(QLatin1String("value")).toString());
        if (name == QLatin1String("area"))
            limits.area = value;
        else if (name == QLatin1String("width"))
            limits.width = value;
        else if (name == QLatin1String("height"))
            limits.height = value;
    }
    return limits;
}

Limits limits()
{
    static const Limits shipped = readLimits(configDir() + QLatin1Char('/') + kFileName);
    return shipped;
}

QString sizeProblem(qint64 width, qint64 height, const Limits &limits)
{
    const bool tooWide = limits.width > 0 && width > limits.width;
    const bool tooHigh = limits.height > 0 && height > limits.height;
    const bool tooMany = limits.area > 0 && width * height > limits.area;
    if (!tooWide && !tooHigh && !tooMany)
        return QString();
    return QStringLiteral("the picture is too large: %1x%2 pixels (at most %3 megapixels, %4 pixels a side)")
        .arg(width)
        .arg(height)
        .arg(limits.area / 1000000)
        .arg(qMin(limits.width, limits.height));
}

QString listingProblem(const QString &listing, const QString &ours)
{
    bool applied = false;
    QString path;
    const QStringList lines = listing.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("Path: "))) {
            path = line.mid(6);
            applied = applied || path == ours;
        } else if (line.startsWith(QLatin1String("rights:")) && path != ours
                   && line.mid(7).trimmed().compare(QLatin1String("None"), Qt::CaseInsensitive) != 0) {
            return QStringLiteral("the ImageMagick policy %1 allows what the program's policy denies").arg(path);
        }
    }
    return applied ? QString() : QStringLiteral("the program's ImageMagick policy is not applied");
}

ToolRun ask(const QString &program, const QStringList &arguments, const std::atomic_bool *cancelFlag)
{
    qint64 left = 0;
    {
        QMutexLocker lock(&spentMutex);
        left = kQuestionsMs - spentMs.value(program);
    }
    if (left <= 0) {
        // Its time is used up: this question ends as the one that used it did.
        ToolRun run;
        run.started = true;
        run.timedOut = true;
        run.limit = ToolRun::Limit::Wall;
        run.limitMs = kQuestionsMs;
        return run;
    }
    // Run as the tools are: same environment, same private folder as home.
    TempFolder temp;
    ProcessRunner runner(BatchPaths::appDir(), temp.path());
    runner.setCancelFlag(cancelFlag);
    runner.setKeepOutput(true);
    ToolLimits limits = ProcessRunner::limits();
    limits.idleMs = qMin(limits.idleMs, left);
    limits.wallMs = qMin(limits.wallMs, left);
    runner.setOwnLimits(limits);
    QElapsedTimer clock;
    clock.start();
    const ToolRun run = runner.run(program, arguments);
    QMutexLocker lock(&spentMutex);
    spentMs[program] += clock.elapsed();
    return run;
}

ToolRun answer(const QString &program, const QStringList &arguments, const std::atomic_bool *cancelFlag)
{
    static QBasicMutex cacheMutex;
    static QHash<QStringList, ToolRun> known;
    const QStringList question = QStringList{program} + arguments;
    QMutexLocker lock(&cacheMutex);
    const auto found = known.constFind(question);
    if (found != known.constEnd())
        return *found;
    const ToolRun run = ask(program, arguments, cancelFlag);
    qCDebug(lcBatch) << "asked" << question << (run.ok() ? "" : qPrintable(run.problem(program)));
    if (!run.stopped)
        known.insert(question, run);
    return run;
}

bool appliedBy(const QString &program, const std::atomic_bool *cancelFlag)
{
    const QString policy = configDir();
    if (policy.isEmpty())
        return false;
    const ToolRun run = answer(program, {QStringLiteral("-list"), QStringLiteral("policy")}, cancelFlag);
    return run.ok() && listingProblem(run.outputText, policy + QLatin1Char('/') + kFileName).isEmpty();
}

} // namespace MagickPolicy
