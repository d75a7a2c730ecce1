#pragma once

#include "batch/engine/BatchTypes.h"

#include <QString>
#include <QStringList>

// One command line turned into the batch engine's job record, plus what the front
// end itself needs: the command name and the paths as the user gave them.
struct BatchRequest
{
    QString command; // "convert", "resize", "compress" or "rotate"
    JobSettings job;
    QString exportDir; // empty: the engine's default output folder
    QStringList paths;
};
