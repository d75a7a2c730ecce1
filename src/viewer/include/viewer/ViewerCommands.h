#pragma once

#include "viewer/FolderOrder.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

class QAction;
class QActionGroup;
class QWidget;

// The viewer's commands: one table of what each command is called, which keys do it
// and which icon it shows. The window makes one QAction of each row, and the keys,
// the tool strip and the menu on the picture all trigger that action. Delete moves
// the shown file to the trash, the undo key brings it back; nothing deletes a file
// outright.
namespace ViewerCommands {

enum class Action {
    Previous,
    Next,
    First,
    Last,
    ZoomIn,
    ZoomOut,
    Fit,
    ActualSize,
    ToggleSize,
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
    ShowInFolder,
    OpenConvert,
    OpenResize,
    OpenBatch,
    AiFix,
    // The folder's order: one key of five, and its direction.
    SortByName,
    SortByTaken,
    SortByModified,
    SortBySize,
    SortByType,
    SortAscending,
    SortDescending,
    Slideshow,
    // The slideshow's pace, one of four.
    Slideshow2s,
    Slideshow3s,
    Slideshow5s,
    Slideshow10s,
    // The thumbnail strip on or off, and the grid of the folder.
    ToggleStrip,
    ToggleGrid,
};

// Whether action chooses the folder's order key, and which (key may be null).
bool isSortKey(Action action, FolderOrder::Key *key = nullptr);
// The command that chooses key.
Action sortKeyAction(FolderOrder::Key key);
// The seconds a pace command chooses; 0 for any other command.
int slideshowSeconds(Action action);

struct Command
{
    Action action;
    QString name; // as the menu and the tooltip say it
    QString shown; // the key as a tooltip names it; empty without a key
    QList<QKeySequence> keys;
    QString icon; // a resource under :/icons/icons/, empty for none
};

const QVector<Command> &commands();
const Command &command(Action action);

// The key as shown to the user ("Ctrl+P"); empty for an action without a key.
QString keyText(Action action);

// "下一张 (→)": a command's name with the key that does it.
QString tooltip(const QString &name, Action action);

// One QAction per command, children of the window they are added to, so their
// keys work anywhere in it. triggered() says which one fired.
class Actions : public QObject
{
    Q_OBJECT

public:
    explicit Actions(QWidget *window);

    QAction *get(Action action) const;

signals:
    void triggered(ViewerCommands::Action action);

private:
    QVector<QAction *> actions; // indexed by Action
    // Of each of these, one entry is checked at a time.
    QActionGroup *sortKeys = nullptr;
    QActionGroup *directions = nullptr;
    QActionGroup *paces = nullptr;
};

} // namespace ViewerCommands
