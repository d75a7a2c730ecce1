#pragma once

#include <QWidget>

class OperBtn;

// The row of file buttons above a page's centre area.
class OperBtnBar : public QWidget
{
    Q_OBJECT

public:
    explicit OperBtnBar(QWidget *parent = nullptr);

    OperBtn *addFileBtn() const { return addFile; }
    OperBtn *addDirBtn() const { return addDir; }
    OperBtn *clearBtn() const { return clear; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    OperBtn *addFile;
    OperBtn *addDir;
    OperBtn *clear;
};
