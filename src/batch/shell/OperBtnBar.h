#pragma once

#include <QWidget>

class OperBtn;

// The row of file buttons above a page's centre area, and "停止" for the page's
// running job (disabled while none runs).
class OperBtnBar : public QWidget
{
    Q_OBJECT

public:
    explicit OperBtnBar(QWidget *parent = nullptr);

    OperBtn *addFileBtn() const { return addFile; }
    OperBtn *addDirBtn() const { return addDir; }
    OperBtn *clearBtn() const { return clear; }
    OperBtn *stopBtn() const { return stop; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    OperBtn *addFile;
    OperBtn *addDir;
    OperBtn *clear;
    OperBtn *stop;
};
