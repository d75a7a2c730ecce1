#include "widgets/CenterShowWT.h"
#include "widgets/StyledBackground.h"
#include "widgets/UiLog.h"

#include "widgets/CenterShowForCenterWT.h"
#include "widgets/DragAcceptance.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QVBoxLayout>

CenterShowWT::CenterShowWT(const QString &hintText, QWidget *parent)
    : QWidget(parent)
    , center(new CenterShowForCenterWT(this))
{
    setStyleSheet(QStringLiteral("CenterShowWT{background-color:white;border:2px solid #E4E4E4;border-radius:8px;}"));
    center->setNoteText(hintText);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addStretch();
    layout->addWidget(center, 0, Qt::AlignCenter);
    layout->addStretch();

    setAcceptDrops(true);
}

void CenterShowWT::setAcceptedSuffixes(const QStringList &list)
{
    suffixes = list;
}

const QStringList &CenterShowWT::acceptedSuffixes() const
{
    return suffixes;
}

CenterShowForCenterWT *CenterShowWT::centerWidget() const
{
    return center;
}

void CenterShowWT::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && DragAcceptance::acceptsUrls(event->mimeData()->urls(), suffixes))
        event->acceptProposedAction();
}

void CenterShowWT::dropEvent(QDropEvent *event)
{
    qCDebug(lcUi) << "drop event";
    // Taken here: a window around the area that opens drops of its own must not
    // open the same files again.
    event->acceptProposedAction();
    emit drapAndDrop(event->mimeData()->urls());
}

void CenterShowWT::paintEvent(QPaintEvent *)
{
    StyledBackground::paint(this);
}
