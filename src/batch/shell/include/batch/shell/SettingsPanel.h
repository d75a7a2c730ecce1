#pragma once

#include "batch/engine/BatchTypes.h"

#include <QWidget>

class OutputFolderRow;
class QGridLayout;
class QLabel;
class QPushButton;
class StartButton;

// The settings panel skeleton every page shares: a framed box "parHeaderWidget"
// with the "设置" strip, the page's settings grid ("gridWidget"), the "输出目录"
// strip and the output-folder row, then the start button below the box. A page's
// settings panel derives from it, fills grid() with its own rows and reads them
// into the job's settings; the output folder starts at the default one.
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

    // The job's settings as the panel shows them; the page sets the operation.
    virtual JobSettings settings() const = 0;
    // Why the settings cannot be read: the rule of the first shown number field
    // whose text it refuses ("1–10000 的整数"); empty when every field may be
    // read. A start refuses with it and runs nothing.
    QString settingsProblem() const;

protected:
    // A caption in column 0 and a field across columns 1-3.
    void addField(int row, QLabel *caption, QWidget *field);
    // The thin rule between groups of settings, across all four columns.
    void addSeparator(int row);

    void paintEvent(QPaintEvent *event) override;

private:
    QGridLayout *gridLayout;
    OutputFolderRow *exportRow;
    StartButton *submit;
    QPushButton *settingButton;
};
