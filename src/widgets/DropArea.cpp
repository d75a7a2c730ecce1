#include "widgets/DropArea.h"
#include "widgets/StyledBackground.h"
#include "UiLog.h"

#include "widgets/DropTarget.h"
#include "widgets/DragAcceptance.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QVBoxLayout>

DropArea::DropArea(const QString &hintText, QWidget *parent)
    : QWidget(parent)
    , center(new DropTarget(this))
{
    setStyleSheet(QStringLiteral("DropArea{background-color:white;border:2px solid #E4E4E4;border-radius:8px;}"));
    center->setNoteText(hintText);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addStretch();
    layout->addWidget(center, 0, Qt::AlignCenter);
    layout->addStretch();

    setAcceptDrops(true);
}

void DropArea::setAcceptedSuffixes(const QStringList &list)
{
    suffixes = list;
}

const QStringList &DropArea::acceptedSuffixes() const
{
    return suffixes;
}

DropTarget *DropArea::centerWidget() const
{
    return center;
}

void DropArea::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && DragAcceptance::acceptsUrls(event->mimeData()->urls(), suffixes))
        event->acceptProposedAction();
}

void DropArea::dropEvent(QDropEvent *event)
{
    qCDebug(lcUi) << "drop event";
    // Taken here: a window around the area that opens drops of its own must not
    // open the same files again.
    event->acceptProposedAction();
    emit drapAndDrop(event->mimeData()->urls());
}

void DropArea::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
