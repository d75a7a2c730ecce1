#pragma once

#include <QWidget>

class FileButton;

// The row of file buttons above a page's centre area, and "停止" for the page's
// running job (disabled while none runs).
class FileButtonBar : public QWidget
{
    Q_OBJECT

public:
    explicit FileButtonBar(QWidget *parent = nullptr);

    FileButton *addFileBtn() const { return addFile; }
    FileButton *addDirBtn() const { return addDir; }
    FileButton *clearBtn() const { return clear; }
    FileButton *stopBtn() const { return stop; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FileButton *addFile;
    FileButton *addDir;
    FileButton *clear;
    FileButton *stop;
};
