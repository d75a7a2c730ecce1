#include "PictureMenu.h"

#include "InfoPanel.h"
#include "viewer/ImageView.h"
#include "viewer/ViewerCommands.h"
#include "viewer/ViewerWindow.h"
#include "widgets/UiProfile.h"

#include <QAction>
#include <QMenu>

namespace PictureMenu {

QMenu *make(ViewerWindow *window)
{
    using A = ViewerCommands::Action;
    const ViewerCommands::Actions *commands = window->commandActions();
    auto *menu = new QMenu(window);
    menu->setFont(UiProfile::bodyFont());
    // The window's own actions: an entry does what its key and its button do. Those
    // that need a picture are greyed while the menu shows none, and enabled again
    // when it closes, so their keys keep working.
    const bool picture = window->view()->hasPicture();
    QList<QAction *> greyed;
    const auto add = [&](QMenu *into, A action, bool enabled) {
        QAction *entry = commands->get(action);
        into->addAction(entry);
        if (!enabled && entry->isEnabled()) {
            entry->setEnabled(false);
            greyed << entry;
        }
        return entry;
    };
    QObject::connect(menu, &QMenu::aboutToHide, menu, [greyed] {
        for (QAction *entry : greyed)
            entry->setEnabled(true);
    });
    QObject::connect(menu, &QObject::destroyed, [greyed] {
        for (QAction *entry : greyed)
            entry->setEnabled(true);
    });

    QMenu *openWith = menu->addMenu(QStringLiteral("打开方式"));
    // A submenu is a window of its own: it does not inherit the font.
    openWith->setFont(menu->font());
    add(openWith, A::OpenConvert, true);
    add(openWith, A::OpenResize, true);
    add(openWith, A::OpenBatch, true);
    menu->addSeparator();
    add(menu, A::TurnLeft, picture);
    add(menu, A::TurnRight, picture);
    add(menu, A::Print, picture);
    menu->addSeparator();
    add(menu, A::CopyPicture, picture);
    add(menu, A::CopyPath, true);
    add(menu, A::ShowInFolder, true);
    menu->addSeparator();
    QMenu *order = menu->addMenu(QStringLiteral("排序方式"));
    order->setFont(menu->font());
    for (A key : {A::SortByName, A::SortByTaken, A::SortByModified, A::SortBySize, A::SortByType})
        add(order, key, true);
    order->addSeparator();
    add(order, A::SortAscending, true);
    add(order, A::SortDescending, true);
    add(menu, A::Slideshow, true);
    QMenu *pace = menu->addMenu(QStringLiteral("幻灯片间隔"));
    pace->setFont(menu->font());
    for (A seconds : {A::Slideshow2s, A::Slideshow3s, A::Slideshow5s, A::Slideshow10s})
        add(pace, seconds, true);
    add(menu, A::ToggleStrip, true);
    add(menu, A::ToggleGrid, true);
    menu->addSeparator();
    add(menu, A::Trash, true);
    add(menu, A::ToggleInfo, true)->setChecked(window->info()->isVisible());
    return menu;
}

} // namespace PictureMenu
