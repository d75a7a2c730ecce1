#include "PictureMenu.h"

#include "batch/toolbox/Toolbox.h"
#include "viewer/ImageView.h"
#include "InfoPanel.h"
#include "viewer/ViewerKeys.h"
#include "viewer/ViewerWindow.h"
#include "widgets/UiProfile.h"

#include <QMenu>

namespace PictureMenu {

QMenu *make(ViewerWindow *window)
{
    using A = ViewerKeys::Action;
    auto *menu = new QMenu(window);
    menu->setFont(UiProfile::bodyFont());
    const bool picture = window->view()->hasPicture();
    // "左旋转\tL": the key stands in the menu's shortcut column; the window's own
    // shortcuts do the work, so no second shortcut is made.
    const auto add = [&](const QString &text, A action, bool enabled) {
        const QString shown = text + QLatin1Char('\t') + ViewerKeys::keyText(action);
        QAction *entry = menu->addAction(shown, window, [window, action] { window->perform(action); });
        entry->setEnabled(enabled);
        return entry;
    };

    QMenu *openWith = menu->addMenu(QStringLiteral("打开方式"));
    // A submenu is a window of its own: it does not inherit the font.
    openWith->setFont(menu->font());
    openWith->addAction(QStringLiteral("格式转换"), window, [window] { window->openWith(Toolbox::ConvertTab); });
    openWith->addAction(QStringLiteral("更改尺寸"), window, [window] { window->openWith(Toolbox::ResizeTab); });
    openWith->addAction(QStringLiteral("批处理"), window, [window] { Toolbox::open(window); });
    menu->addSeparator();
    add(QStringLiteral("左旋转"), A::TurnLeft, picture);
    add(QStringLiteral("右旋转"), A::TurnRight, picture);
    add(QStringLiteral("打印"), A::Print, picture);
    menu->addSeparator();
    add(QStringLiteral("复制图片"), A::CopyPicture, picture);
    add(QStringLiteral("复制路径"), A::CopyPath, true);
    menu->addAction(QStringLiteral("在文件夹中显示"), window, &ViewerWindow::showInFolder);
    menu->addSeparator();
    add(QStringLiteral("移到回收站"), A::Trash, true);
    QAction *properties = add(QStringLiteral("属性"), A::ToggleInfo, true);
    properties->setCheckable(true);
    properties->setChecked(window->info()->isVisible());
    return menu;
}

} // namespace PictureMenu
