#pragma once

#include "OutputNaming.h"

#include <QStringList>

// Names claimed by running workers of this process. Two workers (of one job or of
// two) that would pick the same output or intermediate name at the same moment,
// such as the same file added twice, get different names: picking and claiming
// happen under one lock, with an exists-check that sees claimed names too.
// The claims of one holder are released when it is destroyed; by then the file
// is on disk, or was removed because its conversion failed.
class NameReservation
{
public:
    NameReservation() = default;
    ~NameReservation();
    NameReservation(const NameReservation &) = delete;
    NameReservation &operator=(const NameReservation &) = delete;

    // Calls pick with the combined exists-check; claims and returns the path it
    // returns.
    QString claim(const std::function<QString(const OutputNaming::ExistsFn &exists)> &pick);
    // The same for a set of names that belong together (the frames of one output).
    QStringList claimAll(const std::function<QStringList(const OutputNaming::ExistsFn &exists)> &pick);

    void releaseAll();

private:
    QStringList reservedNames;
};
