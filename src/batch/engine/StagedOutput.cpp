#include "batch/engine/StagedOutput.h"

#include "batch/engine/OutputNaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <sys/stat.h>

namespace {

const QString kStem = QStringLiteral("out");

QString dotSuffix(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
}

} // namespace

StagedOutput::StagedOutput(const QString &finalPath)
    : final_(finalPath)
{
    const QString dir = QFileInfo(finalPath).path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = dir + QStringLiteral("/.quorvane-")
            + QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, QLatin1Char('0'));
        if (::mkdir(QFile::encodeName(candidate).constData(), 0700) == 0) {
            stageDir_ = candidate;
            stage_ = candidate + QLatin1Char('/') + kStem + dotSuffix(finalPath);
            return;
        }
        if (errno != EEXIST)
            break;
    }
    problem_ = QStringLiteral("cannot write in the output folder %1: %2").arg(dir, qt_error_string(errno));
}

StagedOutput::~StagedOutput()
{
    discard();
}

void StagedOutput::retarget(const QString &finalPath)
{
    final_ = finalPath;
}

QList<int> StagedOutput::frames() const
{
    QList<int> numbers;
    if (stageDir_.isEmpty())
        return numbers;
    const QRegularExpression frame(QLatin1Char('^') + kStem + QStringLiteral("-(\\d{1,6})")
                                   + QRegularExpression::escape(dotSuffix(stage_)) + QLatin1Char('$'));
    const QStringList entries = QDir(stageDir_).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        const QRegularExpressionMatch match = frame.match(entry);
        if (match.hasMatch())
            numbers << match.captured(1).toInt();
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

QStringList StagedOutput::finalPaths() const
{
    QStringList paths;
    if (!stage_.isEmpty() && QFileInfo(stage_).isFile())
        paths << final_;
    const QList<int> numbers = frames();
    for (const int n : numbers)
        paths << OutputNaming::framePath(final_, n);
    return paths;
}

bool StagedOutput::present() const
{
    if (stage_.isEmpty())
        return false;
    if (QFileInfo(stage_).size() > 0)
        return true;
    const QList<int> numbers = frames();
    for (const int n : numbers) {
        if (QFileInfo(OutputNaming::framePath(stage_, n)).size() > 0)
            return true;
    }
    return false;
}

bool StagedOutput::commit()
{
    QStringList written;
    if (!stage_.isEmpty() && QFileInfo(stage_).isFile())
        written << stage_;
    const QList<int> numbers = frames();
    for (const int n : numbers)
        written << OutputNaming::framePath(stage_, n);
    const QStringList targets = finalPaths();
    QStringList done;
    for (int i = 0; i < written.size(); ++i) {
        // QFile::rename refuses to replace an existing file; check anyway for links.
        const QString &target = targets.at(i);
        if (QFileInfo(target).exists() || QFileInfo(target).isSymLink() || !QFile::rename(written.at(i), target)) {
            for (int j = 0; j < done.size(); ++j)
                QFile::rename(done.at(j), written.at(j));
            discard();
            return false;
        }
        done << target;
    }
    discard();
    return !written.isEmpty();
}

void StagedOutput::discard()
{
    if (!stageDir_.isEmpty())
        QDir(stageDir_).removeRecursively();
}
