#pragma once

#include <QString>
#include <QStringList>

#include <atomic>

struct ToolRun;

// The ImageMagick policy that ships with the program (imagemagick/policy.xml):
// where it is, the picture size limits it sets, and whether a given ImageMagick
// applies it.
namespace MagickPolicy {

// Folders searched for policy.xml: "imagemagick" beside the binaries (the build
// tree), then "../share/quorvane/imagemagick" (an installed program).
QStringList candidateDirs(const QString &appDir);

// The first of candidateDirs(application folder) holding policy.xml; empty when
// none does. ImageMagick is then not started at all.
QString configDir();

// ImageMagick sizes: "128MP", "16KP", "1GiB", "1800" (SI prefixes count in
// thousands, binary ones in 1024s). -1 when unreadable.
qint64 parseSize(const QString &text);

// The picture limits of a policy file; -1 where it sets none.
struct Limits
{
    qint64 area = -1;
    qint64 width = -1;
    qint64 height = -1;
};
Limits readLimits(const QString &policyFile);

// readLimits() of the shipped policy, read once.
Limits limits();

// Why a width x height picture exceeds limits; empty when it does not.
QString sizeProblem(qint64 width, qint64 height, const Limits &limits);

// What is wrong with the policies a "-list policy" listing shows, for the shipped
// policy file ours: empty when ours is applied and no other file grants rights
// (a file that only denies or sets limits cannot loosen ours: denials add up and
// the first limit found is used); else why not.
QString listingProblem(const QString &listing, const QString &ours);

// Whether program, started with the engine's environment and through
// ProcessRunner (own group, limits, stop flag), applies the shipped policy and
// nothing looser (listingProblem of its "-list policy", answer()d).
bool appliedBy(const QString &program, const std::atomic_bool *cancelFlag = nullptr);

// Asks program a question ("-list policy", "-list format") as the tools are run:
// the engine's environment, a private folder as home, the stop flag, the limits;
// its standard output is kept. All questions of one program share a few seconds
// (a question asked once they are used up times out at once).
ToolRun ask(const QString &program, const QStringList &arguments, const std::atomic_bool *cancelFlag);

// ask(), once per program and question: the one cache of what ImageMagick says of
// itself. A question ended by a stop says nothing of the program and is asked
// again next time; while one worker asks, the others wait for its answer.
ToolRun answer(const QString &program, const QStringList &arguments, const std::atomic_bool *cancelFlag);

} // namespace MagickPolicy
