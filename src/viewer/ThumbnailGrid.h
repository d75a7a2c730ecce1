#pragma once

#include "ThumbnailList.h"

// The whole folder as a grid of thumbnails with the file name under each. The arrow
// keys, Page Up/Down, Home/End and the wheel move through it; Ctrl+wheel sizes the
// thumbnails; Enter or a double click opens the current picture, Esc goes back.
class ThumbnailGrid : public ThumbnailList
{
    Q_OBJECT

public:
    static constexpr int kSmallest = 64;
    static constexpr int kLargest = 512;

    explicit ThumbnailGrid(Thumbnailer *thumbnailer, QWidget *parent = nullptr);

    // The thumbnail side a Ctrl+wheel step of steps (positive: larger) makes of side.
    static int steppedSide(int side, int steps);

    int currentRow() const;
    void setCurrentRow(int row);

signals:
    void back();
    void thumbnailSideChanged(int logicalPixels);

protected:
    // Its keys are its own while it has the focus, before the window's shortcuts
    // (the arrows there step the picture, Esc leaves full screen).
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // Page Up/Down move by the lines that fit the view, in the same column.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void wheelEvent(QWheelEvent *event) override;
    void relayout() override;

private:
    int wheelRest = 0; // eighths of a degree short of a step
};
