#include "FileTable.h"

#include "BatchTableModel.h"
#include "ColumnFit.h"
#include "widgets/UiProfile.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>

namespace {

const char *const kDirDisabledIcon = ":/icons/icons/itemdirdisable.png";
const char *const kDirEnabledIcon = ":/icons/icons/itemdirenable.png";
const char *const kDeleteIcon = ":/icons/icons/delitem.png";

int buttonSide()
{
    return UiProfile::pick(35, 45);
}

// A delegate that draws a cell of its own over the cell's background.
class CellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    // The background as the style draws it (selection, the row's rule), without text.
    void paintBackground(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
    {
        QStyleOptionViewItem background(option);
        initStyleOption(&background, index);
        background.text.clear();
        if (const QWidget *widget = option.widget)
            widget->style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
    }
};

// A row's bar while it waits, runs or has succeeded; its words otherwise.
class StatusDelegate : public CellDelegate
{
public:
    using CellDelegate::CellDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (!index.data(BatchTableModel::ShowsBarRole).toBool()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        paintBackground(painter, option, index);
        const QFont &font = UiProfile::listFont();
        // Tall enough for its percentage in either profile's font.
        const int height = qMax(UiProfile::pick(13, 15), QFontMetrics(font).height());
        const QRect bar(option.rect.left(), option.rect.center().y() - height / 2, option.rect.width(), height);
        const int percent = index.data(BatchTableModel::ProgressRole).toInt();

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0xDD, 0xDD, 0xDD));
        painter->drawRoundedRect(bar, 3, 3);
        if (percent > 0) {
            painter->setBrush(QColor(0x8D, 0xB8, 0xF7));
            painter->drawRoundedRect(QRect(bar.topLeft(), QSize(bar.width() * qMin(percent, 100) / 100, height)), 3, 3);
        }
        if (percent >= 0) { // an empty bar (a waiting row) says nothing
            painter->setPen(QColor(0x33, 0x33, 0x33));
            painter->setFont(font);
            painter->drawText(bar, Qt::AlignCenter, QString::number(percent) + QLatin1Char('%'));
        }
        painter->restore();
    }
};

// The folder button (lit while the row has an output) and the delete button.
class ButtonsDelegate : public CellDelegate
{
public:
    using CellDelegate::CellDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        paintBackground(painter, option, index);
        const bool hasOutput = index.data(BatchTableModel::HasOutputRole).toBool();
        paintButton(painter, option.rect, FileTable::RowButton::OpenFolder,
                    hasOutput ? kDirEnabledIcon : kDirDisabledIcon);
        paintButton(painter, option.rect, FileTable::RowButton::Delete, kDeleteIcon);
    }

private:
    static void paintButton(QPainter *painter, const QRect &cell, FileTable::RowButton button, const char *icon)
    {
        const QRect place = FileTable::buttonRect(cell, button);
        const int side = buttonSide() / 2;
        const QRect iconRect(place.center() - QPoint(side / 2, side / 2), QSize(side, side));
        QIcon(QLatin1String(icon)).paint(painter, iconRect);
    }
};

} // namespace

FileTable::FileTable(BatchTableModel *model, QWidget *parent)
    : QTableView(parent)
    , rows(model)
{
    setModel(model);
    const BatchColumns &columns = model->columns();
    setItemDelegateForColumn(columns.statusColumn, new StatusDelegate(this));
    setItemDelegateForColumn(columns.buttonColumn, new ButtonsDelegate(this));

    setFrameShape(QFrame::NoFrame);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(true); // the hand over a row button

    QHeaderView *rowsHeader = verticalHeader();
    rowsHeader->setVisible(false);
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowsHeader->setDefaultSectionSize(UiProfile::pick(40, 50));

    QHeaderView *header = horizontalHeader();
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setFixedHeight(UiProfile::pick(40, 50));
    header->setFont(UiProfile::bodyFont());
    header->setSectionResizeMode(QHeaderView::Fixed);
    // The least a column does with: its header or a typical size in it; the
    // name a few letters around its ellipsis; the status and the buttons all they ask.
    const QFontMetrics metrics(UiProfile::bodyFont());
    const int padding = UiProfile::pick(16, 24);
    const int sizeText = metrics.horizontalAdvance(QStringLiteral("999.9 KB"));
    const int numberText = metrics.horizontalAdvance(QStringLiteral("9999"));
    for (int column = 0; column < columns.widths.size(); ++column) {
        const int preferred = columns.widths.at(column);
        const int caption = metrics.horizontalAdvance(columns.headers.value(column)) + padding;
        int least = preferred;
        if (column == BatchColumns::NameColumn)
            least = UiProfile::pick(60, 80);
        else if (column == BatchColumns::NumberColumn)
            least = qMax(caption, numberText + padding);
        else if (column != columns.statusColumn && column != columns.buttonColumn)
            least = qMax(caption, sizeText + padding);
        leastWidths.append(qMin(least, preferred));
        header->resizeSection(column, preferred);
    }
    header->setMinimumSectionSize(*std::min_element(leastWidths.cbegin(), leastWidths.cend()));

    // The row buttons are drawn, so the keyboard reaches them through the table: Tab
    // to it, the arrows to a row, Delete for its delete button, Enter for its folder.
    setFocusPolicy(Qt::StrongFocus);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFont(UiProfile::bodyFont());
    setStyleSheet(QStringLiteral(
        "QHeaderView{background:transparent;border:0px;padding:0px;color:#484848;}"
        "QHeaderView::section{text-align:center;background:#F8F8F9;border-radius:8px;margin:0px;border:0px;padding:0px;"
        "}"
        "QTableView{border:2px solid #E4E4E4; border-radius:8px; background:white;alternate-background-color:#003366;"
        "gridline-color:#003366;}"
        "QTableView::item{text-align:center;border-bottom:1px solid #E4EFFA;color:#484848;}"
        // A selected row stays readable and lets its bar and buttons show.
        "QTableView::item:selected{background:#E8F1FD;color:#484848;}"));
}

void FileTable::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    fitColumns();
}

void FileTable::fitColumns()
{
    const QList<int> widths = ColumnFit::widths(rows->columns().widths, leastWidths, BatchColumns::NameColumn,
                                                viewport()->width());
    for (int column = 0; column < widths.size(); ++column)
        horizontalHeader()->resizeSection(column, widths.at(column));
}

QRect FileTable::buttonRect(const QRect &cell, RowButton button)
{
    const int side = buttonSide();
    const int spacing = 8;
    const int left = cell.center().x() - (2 * side + spacing) / 2 + 1;
    const int x = button == RowButton::OpenFolder ? left : left + side + spacing;
    return QRect(x, cell.center().y() - side / 2, side, side);
}

bool FileTable::buttonAt(const QPoint &point, int *row, RowButton *button) const
{
    const QModelIndex index = indexAt(point);
    if (!index.isValid() || index.column() != rows->columns().buttonColumn)
        return false;
    const QRect cell = visualRect(index);
    for (RowButton which : {RowButton::OpenFolder, RowButton::Delete}) {
        if (buttonRect(cell, which).contains(point)) {
            *row = index.row();
            *button = which;
            return true;
        }
    }
    return false;
}

void FileTable::mouseMoveEvent(QMouseEvent *event)
{
    int row = -1;
    RowButton button = RowButton::Delete;
    const bool onButton = buttonAt(event->pos(), &row, &button)
        && (button == RowButton::Delete || rows->row(row).hasOutput());
    viewport()->setCursor(onButton ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QTableView::mouseMoveEvent(event);
}

void FileTable::mousePressEvent(QMouseEvent *event)
{
    QTableView::mousePressEvent(event);
    pressedRow = -1;
    if (event->button() == Qt::LeftButton && !buttonAt(event->pos(), &pressedRow, &pressedButton))
        pressedRow = -1;
}

void FileTable::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    int row = -1;
    RowButton button = RowButton::Delete;
    const bool samePlace = event->button() == Qt::LeftButton && buttonAt(event->pos(), &row, &button)
        && row == pressedRow && button == pressedButton;
    pressedRow = -1;
    if (!samePlace)
        return;
    if (button == RowButton::Delete)
        emit deleteClicked(row);
    else if (rows->row(row).hasOutput())
        emit openFolderClicked(row);
}

void FileTable::keyPressEvent(QKeyEvent *event)
{
    const int row = currentIndex().isValid() ? currentIndex().row() : -1;
    if (row >= 0 && event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_Delete) {
            emit deleteClicked(row);
            return;
        }
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && rows->row(row).hasOutput()) {
            emit openFolderClicked(row);
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

bool FileTable::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        int row = -1;
        RowButton button = RowButton::Delete;
        if (buttonAt(help->pos(), &row, &button)) {
            if (button == RowButton::OpenFolder)
                QToolTip::showText(help->globalPos(),
                                   rows->row(row).hasOutput() ? QStringLiteral("打开输出文件夹")
                                                              : QStringLiteral("没有输出文件"),
                                   viewport());
            else
                QToolTip::hideText();
            return true;
        }
    }
    return QTableView::viewportEvent(event);
}
