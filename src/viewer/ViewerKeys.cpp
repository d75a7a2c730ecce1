#include "viewer/ViewerKeys.h"

namespace ViewerKeys {

namespace {

QKeySequence keypad(Qt::Key key)
{
    return QKeySequence(static_cast<int>(Qt::KeypadModifier) | key);
}

QVector<Binding> makeBindings()
{
    using A = Action;
    return {
        {A::Previous, QStringLiteral("←"), {Qt::Key_Left, Qt::Key_PageUp, Qt::Key_Backspace}},
        {A::Next, QStringLiteral("→"), {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Space}},
        {A::First, QStringLiteral("Home"), {Qt::Key_Home}},
        {A::Last, QStringLiteral("End"), {Qt::Key_End}},
        // "+" is Shift+= on most layouts; the window system may report the Shift.
        {A::ZoomIn,
         QStringLiteral("+"),
         {Qt::Key_Plus, Qt::Key_Equal, static_cast<int>(Qt::SHIFT) | Qt::Key_Plus, keypad(Qt::Key_Plus)}},
        {A::ZoomOut, QStringLiteral("−"), {Qt::Key_Minus, keypad(Qt::Key_Minus)}},
        {A::Fit, QStringLiteral("0"), {Qt::Key_0, Qt::Key_F, keypad(Qt::Key_0)}},
        {A::ActualSize, QStringLiteral("1"), {Qt::Key_1, keypad(Qt::Key_1)}},
        {A::TurnRight, QStringLiteral("R"), {Qt::Key_R, static_cast<int>(Qt::CTRL) | Qt::Key_R}},
        {A::TurnLeft, QStringLiteral("L"), {Qt::Key_L, static_cast<int>(Qt::CTRL) | Qt::Key_L}},
        {A::Open, QStringLiteral("Ctrl+O"), {static_cast<int>(Qt::CTRL) | Qt::Key_O}},
        {A::Print, QStringLiteral("Ctrl+P"), {static_cast<int>(Qt::CTRL) | Qt::Key_P}},
        {A::ToggleFullScreen, QStringLiteral("F11"), {Qt::Key_F11}},
        {A::LeaveFullScreen, QStringLiteral("Esc"), {Qt::Key_Escape}},
        {A::Trash, QStringLiteral("Delete"), {Qt::Key_Delete}},
        {A::Undo, QStringLiteral("Ctrl+Z"), {static_cast<int>(Qt::CTRL) | Qt::Key_Z}},
        {A::ToggleInfo, QStringLiteral("I"), {Qt::Key_I}},
        {A::CopyPicture, QStringLiteral("Ctrl+C"), {static_cast<int>(Qt::CTRL) | Qt::Key_C}},
        {A::CopyPath, QStringLiteral("Ctrl+Shift+C"), {static_cast<int>(Qt::CTRL | Qt::SHIFT) | Qt::Key_C}},
    };
}

} // namespace

const QVector<Binding> &bindings()
{
    static const QVector<Binding> table = makeBindings();
    return table;
}

QString keyText(Action action)
{
    for (const Binding &binding : bindings()) {
        if (binding.action == action)
            return binding.shown;
    }
    return QString();
}

QString tooltip(const QString &name, Action action)
{
    const QString key = keyText(action);
    return key.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, key);
}

} // namespace ViewerKeys
