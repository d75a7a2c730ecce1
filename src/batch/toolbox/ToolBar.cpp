#include "batch/toolbox/ToolBar.h"

#include "batch/toolbox/ToolBtn.h"
#include "batch/toolbox/ToolboxTabs.h"
#include "widgets/StyledBackground.h"

#include <QHBoxLayout>

ToolBar::ToolBar(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (const ToolboxTab &tab : toolboxTabs()) {
        const QString base = QStringLiteral(":/icons/icons/") + QLatin1String(tab.icon);
        auto *btn = new ToolBtn(base + QStringLiteral("_p.png"), base + QStringLiteral(".png"),
                                QString::fromUtf8(tab.text), this);
        connect(btn, &ToolBtn::signal_parent, this, &ToolBar::slot_set);
        buttons.append(btn);
        layout->addWidget(btn);
    }
    layout->addStretch();
    setStyleSheet(QStringLiteral("ToolBar{background-color:#EBEFF8;}"));

    buttons.first()->slot_pressed();
}

void ToolBar::slot_set(ToolBtn *btn)
{
    for (ToolBtn *other : qAsConst(buttons)) {
        if (other != btn)
            other->unselect();
    }
    emit siginalParent(btn);
}

void ToolBar::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
