#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QVector>

// The main window's keys: one table of what each key does, read by the window to
// make its shortcuts and by the tool strip's tooltips to name them. Delete moves the
// shown file to the trash, the undo key brings it back; no key deletes a file outright.
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
    Trash,
    Undo,
    ToggleInfo,
    CopyPicture,
    CopyPath,
};

struct Binding
{
    Action action;
    QString shown; // the key as a tooltip names it
    QList<QKeySequence> keys;
};

const QVector<Binding> &bindings();

// The key as shown to the user ("Ctrl+P"); empty for an action without a key.
QString keyText(Action action);

// "下一张 (→)": a command's name with the key that does it.
QString tooltip(const QString &name, Action action);

} // namespace ViewerKeys
