#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class HoverPushButton;
class QPushButton;

// The viewer's tool strip: toolbox buttons on the left, previous/next in the centre,
// size, zoom, rotation and print on the right. The main window connects them.
class ViewerToolStrip : public QWidget
{
    Q_OBJECT

public:
    explicit ViewerToolStrip(QWidget *parent = nullptr);

    QPushButton *changeSizeBtn() const; // the fit / actual size toggle
    HoverPushButton *convertBtn() const; // "格式转换"
    HoverPushButton *resizeBtn() const; // "更改尺寸"
    HoverPushButton *batchBtn() const; // "批处理"
    HoverPushButton *aiFixBtn() const; // "AI修图"
    QPushButton *nextBtn() const;
    QPushButton *prevBtn() const;
    QPushButton *biggerBtn() const;
    QPushButton *smallerBtn() const;
    QPushButton *turnRightBtn() const;
    QPushButton *turnLeftBtn() const;
    QPushButton *printBtn() const;
    QPushButton *stripBtn() const; // the thumbnail strip on and off
    QPushButton *gridBtn() const; // the folder's grid

    // The least width that shows every button whole: the toolbox buttons show their
    // icons alone (their names in tooltips) below the width their names need.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QList<HoverPushButton *> toolboxButtons() const;
    // The width of the whole strip when the toolbox buttons show their names or not.
    int widthNeeded(bool names) const;

    QPushButton *sizeToggle;
    HoverPushButton *convertButton;
    HoverPushButton *resizeButton;
    HoverPushButton *batchButton;
    HoverPushButton *aiFix;
    QPushButton *next;
    QPushButton *prev;
    QPushButton *bigger;
    QPushButton *smaller;
    QPushButton *turnRight;
    QPushButton *turnLeft;
    QPushButton *print;
    QStringList toolboxNames;
    QPushButton *stripToggle;
    QPushButton *grid;
};
