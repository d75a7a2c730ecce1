#include "FileButtonBar.h"

#include "FileButton.h"
#include "widgets/StyledBackground.h"

#include <QHBoxLayout>

FileButtonBar::FileButtonBar(QWidget *parent)
    : QWidget(parent)
    , addFile(new FileButton(QStringLiteral(":/icons/icons/addfile.png"), QStringLiteral("添加文件"), this))
    , addDir(new FileButton(QStringLiteral(":/icons/icons/adddir.png"), QStringLiteral("添加文件夹"), this))
    , clear(new FileButton(QStringLiteral(":/icons/icons/clear.png"), QStringLiteral("清空列表"), this))
    , stop(new FileButton(QStringLiteral(":/icons/icons/stop.png"), QStringLiteral("停止"), this))
{
    stop->setEnabled(false);
    auto *layout = new QHBoxLayout(this);
    // Lines the buttons up with the centre area's left edge.
    layout->setContentsMargins(10, 10, 10, 5);
    layout->setSpacing(10);
    layout->addWidget(addFile);
    layout->addWidget(addDir);
    layout->addWidget(clear);
    layout->addWidget(stop);
    layout->addStretch();
}

void FileButtonBar::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
