#pragma once

#include <QString>
#include <QStringList>

// One command line turned into the batch engine's job record, plus what the front
// end itself needs: the command name and the paths as the user gave them.
struct BatchRequest
{
    QString command; // "convert", "resize", "compress" or "rotate"
    int imgType = 0;
    int formatIndex = 0;
    int qualityValue = -1;
    int zoomWidth = -1;
    int zoomHeight = -1;
    QString rotateDegree;
    bool isFlop = false;
    bool isFlip = false;
    QString exportDir; // empty: the engine's default output folder
    QStringList paths;
};
