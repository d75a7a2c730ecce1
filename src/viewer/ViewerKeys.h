#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QVector>

// The main window's keys: one table of what each key does, read by the window to
// make its shortcuts and by the tool strip's tooltips to name them. No key deletes
// or moves a file.
namespace ViewerKeys {

enum class Action {
    Previous,
    Next,
    First,
    Last,
    ZoomIn,
    ZoomOut,
    Fit,
    ActualSize,
    TurnRight,
    TurnLeft,
    Open,
    Print,
    ToggleFullScreen,
    LeaveFullScreen,
};

struct Binding
{
    Action action;
    QString shown; // the key as a tooltip names it
    QList<QKeySequence> keys;
};

const QVector<Binding> &bindings();

// "下一张 (→)": a command's name with the key that does it.
QString tooltip(const QString &name, Action action);

} // namespace ViewerKeys
