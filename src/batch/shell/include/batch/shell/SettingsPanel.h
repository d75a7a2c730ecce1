#pragma once

#include "batch/engine/BatchTypes.h"

#include <QList>
#include <QWidget>

class OutputFolderRow;
class QGridLayout;
class SettingsPart;
class QLabel;
class QPushButton;
class StartButton;

// What a panel's fields say, each read once: the job's settings, or why they
// cannot be read (the rule of the first shown field, top to bottom, whose text
// it refuses: "1–10000 的整数"). A start refuses with the problem and runs nothing.
struct SettingsReading
{
    JobSettings settings;
    QString problem;
};

// The settings panel every page shows: a framed box "parHeaderWidget" with the
// "设置" strip, the page's settings grid ("gridWidget") made of its parts, the
// "输出目录" strip and the output-folder row, then the start button below the box.
// A page's panel adds its parts in order; the output folder starts at the default one.
class SettingsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsPanel(const QString &startText, QWidget *parent = nullptr);

    QGridLayout *grid() const { return gridLayout; }
    OutputFolderRow *exportFile() const { return exportRow; }
    StartButton *startButton() const { return submit; }
    // The flat "设置" caption of the header strip (one page restyles it).
    QPushButton *settingTitle() const { return settingButton; }

    QString exportDir() const;

    // Places part's rows below the rows placed so far; the panel reads it in that order.
    void addPart(SettingsPart *part);
    // The thin rule between groups of settings, across all four columns.
    void addSeparator();
    // A widget across all four columns, below the rows placed so far.
    void addWideRow(QWidget *widget);

    // Every part's fields, each read once; the page sets the operation.
    SettingsReading read() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QGridLayout *gridLayout;
    OutputFolderRow *exportRow;
    StartButton *submit;
    QPushButton *settingButton;
    QList<SettingsPart *> parts;
    int nextRow = 0;
};
