#pragma once

#include "cli/BatchRequest.h"

#include <QSize>
#include <QString>
#include <QStringList>

// Parses quorvane-batch's arguments (without the program name) into a job record.
// Holds the tables that mirror the toolbox pages: output formats, size presets and
// compression levels.
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

    // The output formats in the order of the pages' format list (index = formatIndex).
    static const QStringList &formats();

    // Width and height of a resize preset (-1 where the preset leaves the side
    // open, as the resize page does); -1 x -1 for an unknown name.
    static QSize presetSize(const QString &name);
    static QStringList presetNames();

    // The compression levels a user may give: 90, 80 ... 10.
    static bool isCompressionLevel(int level);

    static constexpr int kMaxSide = 10000;
    static constexpr int kMaxAngle = 360;
    static constexpr int kDefaultLevel = 70;
};
