#include "TabBar.h"

#include "TabButton.h"
#include "ToolboxTabs.h"
#include "widgets/StyledBackground.h"

#include <QHBoxLayout>

TabBar::TabBar(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (const ToolboxTab &tab : toolboxTabs()) {
        const QString base = QStringLiteral(":/icons/icons/") + QLatin1String(tab.icon);
        auto *btn = new TabButton(base + QStringLiteral("_p.png"), base + QStringLiteral(".png"),
                                QString::fromUtf8(tab.text), this);
        connect(btn, &TabButton::signal_parent, this, &TabBar::slot_set);
        buttons.append(btn);
        layout->addWidget(btn);
    }
    layout->addStretch();
    setStyleSheet(QStringLiteral("TabBar{background-color:#EBEFF8;}"));

    buttons.first()->slot_pressed();
}

void TabBar::slot_set(TabButton *btn)
{
    for (TabButton *other : qAsConst(buttons)) {
        if (other != btn)
            other->unselect();
    }
    emit siginalParent(btn);
}

void TabBar::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
