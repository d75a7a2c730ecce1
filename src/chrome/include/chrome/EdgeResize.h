#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>

class QWidget;

// Lets a frameless window be resized from its edges and corners, as a framed one
// is: a press within a few pixels of the border hands the resize to the window
// system (QWindow::startSystemResize). Not while maximised or full screen.
class EdgeResize : public QObject
{
    Q_OBJECT

public:
    explicit EdgeResize(QWidget *window);

    // The edges a point of a window of size lies on, within band pixels of the border.
    static Qt::Edges edgesAt(const QPoint &pos, const QSize &size, int band);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool resizable() const;
    void showCursor(Qt::Edges edges);

    QWidget *window;
    bool cursorSet = false;
};
