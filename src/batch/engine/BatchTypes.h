#pragma once

#include <QList>
#include <QString>

// Operation codes of a batch job (the job record's imgType).
namespace BatchOp {
constexpr int Convert = 0; // format conversion, also used by the resize page
constexpr int Compress = 3;
constexpr int Rotate = 4;
} // namespace BatchOp

// formatIndex value meaning "keep the source file's own format".
constexpr int kKeepFormat = 50;

// The settings of one job that every file of it shares (the job record without
// its file list and output folder). -1 means "not given" for the integers.
struct JobSettings
{
    int imgType = -1;
    int formatIndex = -1;
    int qualityValue = -1;
    int zoomWidth = -1;
    int zoomHeight = -1;
    QString rotateDegree;
    bool isFlop = false;
    bool isFlip = false;
};

// One file of a job: the row its results are reported for, and its path.
struct JobFile
{
    int row = -1;
    QString path;
    // Where below the job's output folder its output goes ("a/b"); empty: in it.
    QString subDir = QString();
};

using JobFiles = QList<JobFile>;
