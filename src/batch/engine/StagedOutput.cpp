#include "StagedOutput.h"

#include "BatchLog.h"
#include "LockedFolder.h"
#include "OutputNaming.h"
#include "formats/SafeRename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>

namespace {

const QString kStem = QStringLiteral("out");

QString dotSuffix(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
}

// Sweeps dir's abandoned stage folders the first time this process stages there.
void sweepOnce(const QString &dir)
{
    static QBasicMutex mutex;
    static QSet<QString> swept;
    {
        QMutexLocker lock(&mutex);
        if (swept.contains(dir))
            return;
        swept.insert(dir);
    }
    const QStringList removed = LockedFolder::sweep(dir, QLatin1String(StagedOutput::kFolderPrefix));
    for (const QString &name : removed)
        qCDebug(lcBatch) << "swept the abandoned stage folder" << dir << name;
}

QBasicMutex hookMutex;

std::function<void(const QString &)> &beforeRenameHook()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

std::function<void(const QString &)> beforeRename()
{
    QMutexLocker lock(&hookMutex);
    return beforeRenameHook();
}

} // namespace

StagedOutput::StagedOutput(const QString &finalPath)
    : target(finalPath)
{
    const QString dir = QFileInfo(finalPath).path();
    sweepOnce(dir);
    folder = std::make_unique<LockedFolder>(dir, QLatin1String(kFolderPrefix));
    if (folder->path().isEmpty()) {
        problemText = QStringLiteral("cannot write in the output folder %1: %2").arg(dir, folder->problem());
        return;
    }
    stageDir = folder->path();
    stageFile = stageDir + QLatin1Char('/') + kStem + dotSuffix(finalPath);
}

StagedOutput::~StagedOutput()
{
    discard();
}

void StagedOutput::retarget(const QString &finalPath)
{
    target = finalPath;
}

QList<int> StagedOutput::frames() const
{
    QList<int> numbers;
    if (stageDir.isEmpty())
        return numbers;
    const QRegularExpression frame(QLatin1Char('^') + kStem + QStringLiteral("-(\\d{1,6})")
                                   + QRegularExpression::escape(dotSuffix(stageFile)) + QLatin1Char('$'));
    const QStringList entries = QDir(stageDir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        const QRegularExpressionMatch match = frame.match(entry);
        if (match.hasMatch())
            numbers << match.captured(1).toInt();
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

QList<StagedOutput::Move> StagedOutput::moves() const
{
    QList<Move> list;
    if (!stageFile.isEmpty() && QFileInfo(stageFile).isFile())
        list.append({stageFile, target});
    const QList<int> numbers = frames();
    for (const int n : numbers)
        list.append({OutputNaming::framePath(stageFile, n), OutputNaming::framePath(target, n)});
    return list;
}

bool StagedOutput::present() const
{
    if (stageFile.isEmpty())
        return false;
    if (QFileInfo(stageFile).size() > 0)
        return true;
    const QList<int> numbers = frames();
    for (const int n : numbers) {
        if (QFileInfo(OutputNaming::framePath(stageFile, n)).size() > 0)
            return true;
    }
    return false;
}

bool StagedOutput::commit(const std::function<QString()> &nextName)
{
    // A taken name makes a single output look for the next one, a few times.
    constexpr int kAttempts = 100;
    const QList<Move> list = moves();
    QList<Move> done;
    for (Move move : list) {
        SafeRename::Result result = SafeRename::Result::Failed;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (const auto hook = beforeRename())
                hook(move.to);
            result = SafeRename::rename(move.from, move.to);
            if (result != SafeRename::Result::Taken || list.size() != 1 || !nextName)
                break;
            qCDebug(lcBatch) << "the output name was taken meanwhile:" << move.to;
            move.to = nextName();
            target = move.to;
        }
        if (result != SafeRename::Result::Renamed) {
            for (const Move &undo : qAsConst(done))
                SafeRename::rename(undo.to, undo.from);
            discard();
            return false;
        }
        done << move;
    }
    discard();
    return !list.isEmpty();
}

void StagedOutput::setBeforeRename(std::function<void(const QString &to)> hook)
{
    QMutexLocker lock(&hookMutex);
    beforeRenameHook() = std::move(hook);
}

void StagedOutput::discard()
{
    if (folder)
        folder->remove();
}
