#include "batch/engine/StagedOutput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>

namespace {

std::atomic_int stageCounter{0};

} // namespace

StagedOutput::StagedOutput(const QString &finalPath)
    : final_(finalPath)
{
    const QFileInfo info(finalPath);
    dir_ = info.path();
    suffix_ = info.suffix();
    finalStem_ = suffix_.isEmpty() ? info.fileName() : info.fileName().chopped(suffix_.size() + 1);
    const QString dotSuffix = suffix_.isEmpty() ? QString() : QLatin1Char('.') + suffix_;
    do {
        stageStem_ = QStringLiteral(".quorvane-%1-%2").arg(QCoreApplication::applicationPid()).arg(++stageCounter);
        stage_ = dir_ + QLatin1Char('/') + stageStem_ + dotSuffix;
    } while (QFileInfo::exists(stage_) || QFileInfo(stage_).isSymLink());
}

StagedOutput::~StagedOutput()
{
    if (!committed_)
        discard();
}

QStringList StagedOutput::writtenFiles() const
{
    QStringList files;
    if (QFileInfo::exists(stage_))
        files << stage_;
    const QString dotSuffix = suffix_.isEmpty() ? QString() : QLatin1Char('.') + suffix_;
    const QRegularExpression frame(QLatin1Char('^') + QRegularExpression::escape(stageStem_) + QStringLiteral("-\\d+")
                                   + QRegularExpression::escape(dotSuffix) + QLatin1Char('$'));
    // The stage stem is plain text, safe as a wildcard pattern.
    const QStringList entries
        = QDir(dir_).entryList({stageStem_ + QStringLiteral("-*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (frame.match(entry).hasMatch())
            files << dir_ + QLatin1Char('/') + entry;
    }
    return files;
}

QString StagedOutput::finalNameFor(const QString &written) const
{
    if (written == stage_)
        return final_;
    // STAGE-7.EXT -> FINAL-7.EXT
    return dir_ + QLatin1Char('/') + finalStem_ + QFileInfo(written).fileName().mid(stageStem_.size());
}

bool StagedOutput::present() const
{
    const QStringList files = writtenFiles();
    for (const QString &file : files) {
        if (QFileInfo(file).size() > 0)
            return true;
    }
    return false;
}

bool StagedOutput::commit()
{
    const QStringList files = writtenFiles();
    QStringList done;
    for (const QString &file : files) {
        const QString target = finalNameFor(file);
        // QFile::rename refuses to replace an existing file; check anyway for links.
        if (QFileInfo(target).exists() || QFileInfo(target).isSymLink() || !QFile::rename(file, target)) {
            for (const QString &undo : qAsConst(done))
                QFile::rename(finalNameFor(undo), undo);
            discard();
            return false;
        }
        done << file;
    }
    committed_ = !files.isEmpty();
    return committed_;
}

void StagedOutput::discard()
{
    const QStringList files = writtenFiles();
    for (const QString &file : files)
        QFile::remove(file);
}
