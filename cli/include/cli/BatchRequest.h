#pragma once

#include "batch/engine/BatchTypes.h"

#include <QString>
#include <QStringList>

// One command line turned into the batch engine's job settings, plus what the
// front end itself needs: the paths as the user gave them and how to run.
struct BatchRequest
{
    JobSettings job; // its operation is the command's
    QString exportDir; // empty: the engine's default output folder
    QStringList paths;
    QString filesFrom; // a file listing more paths ("-": standard input); empty: none
    bool nulSeparated = false; // that list is separated by NUL bytes
    bool recursive = false; // folders stand for their sub-folders' files too
    int tools = 0; // tools at once; 0: the engine's default
    bool json = false; // one JSON object per file instead of the text lines
};
