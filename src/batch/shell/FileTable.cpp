#include "FileTable.h"

#include "widgets/UiProfile.h"

#include <QHeaderView>

FileTable::FileTable(int rows, int columns, QWidget *parent)
    : QTableWidget(rows, columns, parent)
{
    setFrameShape(QFrame::NoFrame);
    setShowGrid(false);
    verticalHeader()->setVisible(false);

    QHeaderView *header = horizontalHeader();
    header->setStretchLastSection(true);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setFixedHeight(UiProfile::pick(40, 50));
    header->setFont(UiProfile::bodyFont());

    setFocusPolicy(Qt::NoFocus);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFont(UiProfile::bodyFont());
    setStyleSheet(QStringLiteral(
        "QHeaderView{background:transparent;border:0px;padding:0px;color:#484848;}"
        "QHeaderView::section{text-align:center;background:#F8F8F9;border-radius:8px;margin:0px;border:0px;padding:0px;"
        "}"
        "QTableWidget{border:2px solid #E4E4E4; border-radius:8px; background:white;alternate-background-color:#003366;"
        "gridline-color:#003366;}"
        "QTableWidget::item{text-align:center;border-bottom:1px solid #E4EFFA;color:#484848;}"
        // A selected row stays readable and lets its progress bar and buttons show.
        "QTableWidget::item:selected{background:#E8F1FD;color:#484848;}"));
}
