#pragma once

#include "cli/BatchRequest.h"

#include <QString>
#include <QStringList>

// Parses quorvane-batch's arguments (without the program name) into a job record.
// Formats, presets and levels are the engine's catalogue, as on the toolbox pages.
class BatchCommandLine
{
public:
    enum Action { Run, Help, Version, UsageError };

    struct Result
    {
        Action action = UsageError;
        QString error; // for UsageError: one line saying what is wrong
        BatchRequest request;
    };

    static Result parse(const QStringList &arguments);

    static QString usage();
};
