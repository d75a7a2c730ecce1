#include "viewer/ViewerCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QPair>
#include <QIcon>
#include <QWidget>

namespace ViewerCommands {

namespace {

QKeySequence keypad(Qt::Key key)
{
    return QKeySequence(static_cast<int>(Qt::KeypadModifier) | key);
}

QKeySequence ctrl(Qt::Key key)
{
    return QKeySequence(static_cast<int>(Qt::CTRL) | key);
}

QVector<Command> makeCommands()
{
    using A = Action;
    const auto text = [](const char *utf8) { return QString::fromUtf8(utf8); };
    // In the order of Action: get() indexes by it.
    return {
        {A::Previous, text("上一张"), text("←"), {Qt::Key_Left, Qt::Key_PageUp, Qt::Key_Backspace}, text("prev")},
        {A::Next, text("下一张"), text("→"), {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Space}, text("next")},
        {A::First, text("第一张"), text("Home"), {Qt::Key_Home}, {}},
        {A::Last, text("最后一张"), text("End"), {Qt::Key_End}, {}},
        // "+" is Shift+= on most layouts; the window system may report the Shift.
        {A::ZoomIn,
         text("放大"),
         text("+"),
         {Qt::Key_Plus, Qt::Key_Equal, static_cast<int>(Qt::SHIFT) | Qt::Key_Plus, keypad(Qt::Key_Plus)},
         text("bigger_1")},
        {A::ZoomOut, text("缩小"), text("−"), {Qt::Key_Minus, keypad(Qt::Key_Minus)}, text("smaller_1")},
        {A::Fit, text("适应屏幕"), text("0"), {Qt::Key_0, Qt::Key_F, keypad(Qt::Key_0)}, text("screen")},
        {A::ActualSize, text("原始大小"), text("1"), {Qt::Key_1, keypad(Qt::Key_1)}, text("1_1")},
        // The strip's toggle between the two above; its tooltip names the one it offers.
        {A::ToggleSize, text("原始大小"), {}, {}, text("1_1")},
        {A::TurnRight, text("右旋转"), text("R"), {Qt::Key_R, ctrl(Qt::Key_R)}, text("turn_right")},
        {A::TurnLeft, text("左旋转"), text("L"), {Qt::Key_L, ctrl(Qt::Key_L)}, text("turn_left")},
        {A::Open, text("打开"), text("Ctrl+O"), {ctrl(Qt::Key_O)}, {}},
        {A::Print, text("打印"), text("Ctrl+P"), {ctrl(Qt::Key_P)}, text("printer")},
        {A::ToggleFullScreen, text("全屏"), text("F11"), {Qt::Key_F11}, {}},
        {A::LeaveFullScreen, text("退出全屏"), text("Esc"), {Qt::Key_Escape}, {}},
        {A::Trash, text("移到回收站"), text("Delete"), {Qt::Key_Delete}, {}},
        {A::Undo, text("撤销"), text("Ctrl+Z"), {ctrl(Qt::Key_Z)}, {}},
        {A::ToggleInfo, text("属性"), text("I"), {Qt::Key_I}, {}},
        {A::CopyPicture, text("复制图片"), text("Ctrl+C"), {ctrl(Qt::Key_C)}, {}},
        {A::CopyPath,
         text("复制路径"),
         text("Ctrl+Shift+C"),
         {QKeySequence(static_cast<int>(Qt::CTRL | Qt::SHIFT) | Qt::Key_C)},
         {}},
        {A::ShowInFolder, text("在文件夹中显示"), {}, {}, {}},
        {A::OpenConvert, text("格式转换"), {}, {}, text("chfmt_1")},
        {A::OpenResize, text("更改尺寸"), {}, {}, text("size_1")},
        {A::OpenBatch, text("批处理"), {}, {}, text("batch")},
        {A::AiFix, text("AI修图"), {}, {}, text("AI_fix")},
        {A::SortByName, text("名称"), {}, {}, {}},
        {A::SortByTaken, text("拍摄日期"), {}, {}, {}},
        {A::SortByModified, text("修改时间"), {}, {}, {}},
        {A::SortBySize, text("文件大小"), {}, {}, {}},
        {A::SortByType, text("文件类型"), {}, {}, {}},
        {A::SortAscending, text("升序"), {}, {}, {}},
        {A::SortDescending, text("降序"), {}, {}, {}},
        {A::Slideshow, text("幻灯片放映"), text("F5"), {Qt::Key_F5}, {}},
        {A::Slideshow2s, text("2 秒"), {}, {}, {}},
        {A::Slideshow3s, text("3 秒"), {}, {}, {}},
        {A::Slideshow5s, text("5 秒"), {}, {}, {}},
        {A::Slideshow10s, text("10 秒"), {}, {}, {}},
        {A::ToggleStrip, text("缩略图栏"), text("T"), {Qt::Key_T}, text("strip")},
        // Esc also leaves the grid: the grid takes that key while it has the focus.
        {A::ToggleGrid, text("缩略图网格"), text("G"), {Qt::Key_G}, text("grid")},
    };
}

} // namespace

const QVector<Command> &commands()
{
    static const QVector<Command> table = makeCommands();
    return table;
}

const Command &command(Action action)
{
    return commands().at(int(action));
}

namespace {

const QPair<Action, FolderOrder::Key> kSortKeys[] = {
    {Action::SortByName, FolderOrder::Key::Name},         {Action::SortByTaken, FolderOrder::Key::DateTaken},
    {Action::SortByModified, FolderOrder::Key::Modified}, {Action::SortBySize, FolderOrder::Key::Size},
    {Action::SortByType, FolderOrder::Key::Type},
};

} // namespace

bool isSortKey(Action action, FolderOrder::Key *key)
{
    for (const auto &row : kSortKeys) {
        if (row.first == action) {
            if (key)
                *key = row.second;
            return true;
        }
    }
    return false;
}

Action sortKeyAction(FolderOrder::Key key)
{
    for (const auto &row : kSortKeys) {
        if (row.second == key)
            return row.first;
    }
    return Action::SortByName;
}

int slideshowSeconds(Action action)
{
    switch (action) {
    case Action::Slideshow2s: return 2;
    case Action::Slideshow3s: return 3;
    case Action::Slideshow5s: return 5;
    case Action::Slideshow10s: return 10;
    default: return 0;
    }
}

QString keyText(Action action)
{
    return command(action).shown;
}

QString tooltip(const QString &name, Action action)
{
    const QString key = keyText(action);
    return key.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, key);
}

Actions::Actions(QWidget *window)
    : QObject(window)
{
    for (const Command &row : commands()) {
        // "左旋转\tL": the menu's shortcut column shows the key as the tooltips name it.
        const QString text = row.shown.isEmpty() ? row.name : row.name + QLatin1Char('\t') + row.shown;
        auto *action = new QAction(text, window);
        action->setShortcuts(row.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setToolTip(tooltip(row.name, row.action));
        if (!row.icon.isEmpty()) {
            action->setIcon(QIcon(QStringLiteral(":/icons/icons/%1.png").arg(row.icon)));
            // The menu on the picture stays text only, as the strip draws its own.
            action->setIconVisibleInMenu(false);
        }
        // "属性", the strip and the grid show whether they are open; a sort or pace
        // entry whether it is the one in force.
        const Action which = row.action;
        const bool toggles = which == Action::ToggleInfo || which == Action::ToggleStrip || which == Action::ToggleGrid;
        const bool chosen = isSortKey(which) || which == Action::SortAscending || which == Action::SortDescending
                            || slideshowSeconds(which) > 0;
        action->setCheckable(toggles || chosen);
        // Held keys step and zoom on; a held toggle would flicker.
        action->setAutoRepeat(!action->isCheckable() && which != Action::Slideshow);
        if (chosen) {
            QActionGroup *&group = isSortKey(which) ? sortKeys
                                   : slideshowSeconds(which) > 0 ? paces
                                                                : directions;
            if (!group)
                group = new QActionGroup(this);
            group->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, which] { emit triggered(which); });
        window->addAction(action);
        actions.append(action);
    }
}

QAction *Actions::get(Action action) const
{
    return actions.at(int(action));
}

} // namespace ViewerCommands
