#include "batch/shell/PageCentre.h"

#include "batch/shell/SettingsPanel.h"
#include "FileTable.h"
#include "formats/SizeText.h"
#include "widgets/DropArea.h"
#include "widgets/UiProfile.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <memory>

namespace {

const char *const kDirDisabledIcon = ":/icons/icons/itemdirdisable.png";
const char *const kDirEnabledIcon = ":/icons/icons/itemdirenable.png";

QTableWidgetItem *centredItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

void setButtonIcon(QPushButton *button, const char *path)
{
    button->setIcon(QIcon(QLatin1String(path)));
    // Lets a test or a screenshot script tell the two looks apart.
    button->setProperty("iconPath", QLatin1String(path));
}

void setOpenDirState(QPushButton *button, bool hasOutput)
{
    button->setEnabled(hasOutput);
    setButtonIcon(button, hasOutput ? kDirEnabledIcon : kDirDisabledIcon);
    button->setToolTip(hasOutput ? QStringLiteral("打开输出文件夹") : QStringLiteral("没有输出文件"));
}

QPushButton *makeRowButton(const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(name);
    const int side = UiProfile::pick(35, 45);
    button->setFixedSize(side, side);
    button->setIconSize(QSize(side / 2, side / 2));
    // Transparent, so a selected row's colour shows behind it too.
    button->setStyleSheet(QStringLiteral("QPushButton{border:0px; background-color:transparent;}"));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

BatchColumns BatchColumns::standard()
{
    BatchColumns columns;
    columns.headers = QStringList{QStringLiteral("编号"), QStringLiteral("文件名"), QStringLiteral("文件大小"),
                                  QStringLiteral("状态"), QStringLiteral("操作")};
    columns.widths
        = UiProfile::isSmallScreen() ? QList<int>{80, 200, 200, 140, 100} : QList<int>{80, 240, 240, 200, 200};
    return columns;
}

BatchColumns BatchColumns::withResultSize()
{
    BatchColumns columns;
    columns.headers = QStringList{QStringLiteral("编号"),       QStringLiteral("文件名"), QStringLiteral("文件大小"),
                                  QStringLiteral("压缩后大小"), QStringLiteral("状态"),   QStringLiteral("操作")};
    columns.widths
        = UiProfile::isSmallScreen() ? QList<int>{60, 150, 150, 150, 150, 80} : QList<int>{80, 200, 200, 200, 200, 100};
    columns.resultSizeColumn = 3;
    columns.statusColumn = 4;
    columns.buttonColumn = 5;
    return columns;
}

PageCentre::PageCentre(const QString &hintText, const QStringList &acceptedSuffixes, const BatchColumns &columns,
                             QWidget *parent)
    : QWidget(parent)
    , cols(columns)
    , suffixes(acceptedSuffixes)
    , fileTable(new FileTable(0, columns.headers.size(), this))
    , dropWidget(new DropArea(hintText, this))
    , layout(new QHBoxLayout(this))
{
    dropWidget->setAcceptedSuffixes(suffixes);

    fileTable->setHorizontalHeaderLabels(cols.headers);
    for (int column = 0; column < cols.widths.size(); ++column)
        fileTable->setColumnWidth(column, cols.widths.at(column));

    // Its full width wherever the window has room; on a small screen (a logical
    // 960 x 540) the table gives way and scrolls, so the settings beside it stay whole.
    const int width = UiProfile::pick(760, 1000);
    for (QWidget *part : {static_cast<QWidget *>(dropWidget), static_cast<QWidget *>(fileTable)}) {
        part->setMinimumWidth(width / 2);
        part->setMaximumWidth(width);
        part->setSizePolicy(QSizePolicy::Expanding, part->sizePolicy().verticalPolicy());
    }

    layout->setContentsMargins(10, 5, 10, 0);
    layout->setSpacing(8);
    // The wider six-column table takes the row as it is; otherwise the drop area and the
    // table stretch, taking the room up to their full width before the settings panel
    // does, so the status and the row buttons stay in view.
    const int stretch = cols.resultSizeColumn < 0 ? 1 : 0;
    layout->addWidget(dropWidget, stretch);
    layout->addWidget(fileTable, stretch);

    showEmptyView();
}

void PageCentre::setParamPanel(SettingsPanel *paramPanel)
{
    panel = paramPanel;
    layout->addWidget(panel);
}

bool PageCentre::acceptsPath(const QString &path, const QStringList &acceptedSuffixes)
{
    return acceptedSuffixes.contains(QFileInfo(path).suffix().toLower());
}

int PageCentre::addRow(const QString &path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    const int entry = suffixes.indexOf(suffix);
    if (entry < 0)
        return -1;

    const int row = fileTable->rowCount();
    fileTable->insertRow(row);

    QTableWidgetItem *number = centredItem(QString::number(row + 1));
    number->setData(SourcePathRole, path);
    fileTable->setItem(row, 0, number);
    QTableWidgetItem *name = centredItem(info.fileName());
    name->setToolTip(info.fileName());
    fileTable->setItem(row, 1, name);
    fileTable->setItem(row, 2, centredItem(sizeText(info.size())));
    fileTable->setCellWidget(row, cols.statusColumn, makeStatusCell());
    fileTable->setCellWidget(row, cols.buttonColumn, makeButtonCell());
    fileTable->setRowHeight(row, UiProfile::pick(40, 50));
    return row;
}

QWidget *PageCentre::makeStatusCell()
{
    auto *cell = new QWidget;
    cell->setObjectName(QStringLiteral("progressWidget"));
    auto *bar = new QProgressBar(cell);
    bar->setObjectName(QStringLiteral("progressBar"));
    bar->setRange(0, 100);
    bar->setAlignment(Qt::AlignCenter);
    bar->setFont(UiProfile::listFont());
    // Tall enough for its percentage in either profile's font.
    bar->setFixedHeight(qMax(UiProfile::pick(13, 15), QFontMetrics(bar->font()).height()));
    bar->setStyleSheet(QStringLiteral("QProgressBar{border-radius:3px;background-color:#DDDDDD;color:#333333;}"
                                      "QProgressBar::chunk{border-radius:3px;background-color:#8DB8F7;}"));
    auto *warning = new QLabel(cell);
    warning->setObjectName(QStringLiteral("rowWarning"));
    warning->setAlignment(Qt::AlignCenter);
    warning->setStyleSheet(QStringLiteral("QLabel{color:#484848;}"));
    warning->hide();

    auto *box = new QHBoxLayout(cell);
    box->setSpacing(0);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(bar);
    box->addWidget(warning);
    return cell;
}

QWidget *PageCentre::makeButtonCell()
{
    auto *cell = new QWidget;
    QPushButton *openDir = makeRowButton(QStringLiteral("openDirBtn"), cell);
    setOpenDirState(openDir, false);
    QPushButton *del = makeRowButton(QStringLiteral("delBtn"), cell);
    setButtonIcon(del, ":/icons/icons/delitem.png");

    auto *box = new QHBoxLayout(cell);
    box->setSpacing(8);
    box->setContentsMargins(0, 0, 0, 0);
    box->setAlignment(Qt::AlignCenter);
    box->addStretch();
    box->addWidget(openDir);
    box->addWidget(del);
    box->addStretch();
    return cell;
}

int PageCentre::rowCount() const
{
    return fileTable->rowCount();
}

bool PageCentre::hasRow(int row) const
{
    return row >= 0 && row < fileTable->rowCount();
}

QString PageCentre::sourcePath(int row) const
{
    const QTableWidgetItem *item = fileTable->item(row, 0);
    return item ? item->data(SourcePathRole).toString() : QString();
}

QString PageCentre::outputPath(int row) const
{
    const QTableWidgetItem *item = fileTable->item(row, 0);
    return item ? item->data(OutputPathRole).toString() : QString();
}

template<typename T> T *PageCentre::cellChild(int row, int column, const char *name) const
{
    QWidget *cell = fileTable->cellWidget(row, column);
    return cell ? cell->findChild<T *>(QLatin1String(name)) : nullptr;
}

QProgressBar *PageCentre::progressBar(int row) const
{
    return cellChild<QProgressBar>(row, cols.statusColumn, "progressBar");
}

QLabel *PageCentre::rowWarning(int row) const
{
    return cellChild<QLabel>(row, cols.statusColumn, "rowWarning");
}

QPushButton *PageCentre::openDirButton(int row) const
{
    return cellChild<QPushButton>(row, cols.buttonColumn, "openDirBtn");
}

QPushButton *PageCentre::deleteButton(int row) const
{
    return cellChild<QPushButton>(row, cols.buttonColumn, "delBtn");
}

void PageCentre::setRowProgress(int row, int value)
{
    if (QProgressBar *bar = progressBar(row))
        bar->setValue(value);
}

void PageCentre::setRowWarning(int row, const QString &text)
{
    QLabel *warning = rowWarning(row);
    QProgressBar *bar = progressBar(row);
    if (!warning || !bar)
        return;
    warning->setText(text);
    warning->show();
    bar->hide();
}

void PageCentre::resetRowStatus(int row)
{
    QLabel *warning = rowWarning(row);
    QProgressBar *bar = progressBar(row);
    if (!warning || !bar)
        return;
    warning->clear();
    warning->hide();
    bar->reset();
    bar->show();
    setRowReason(row, QString());
    if (cols.resultSizeColumn >= 0) {
        const std::unique_ptr<QTableWidgetItem> gone(fileTable->takeItem(row, cols.resultSizeColumn));
    }
    if (QPushButton *button = openDirButton(row))
        setOpenDirState(button, false);
    if (QTableWidgetItem *item = fileTable->item(row, 0)) {
        item->setData(OutputPathRole, QVariant());
        item->setData(DoneKeyRole, QVariant());
    }
}

void PageCentre::setRowReason(int row, const QString &text)
{
    QWidget *cell = fileTable->cellWidget(row, cols.statusColumn);
    if (!cell)
        return;
    // The bar and the warning have none of their own: theirs is the cell's.
    cell->setToolTip(text);
}

QString PageCentre::rowReason(int row) const
{
    const QWidget *cell = fileTable->cellWidget(row, cols.statusColumn);
    return cell ? cell->toolTip() : QString();
}

void PageCentre::setRowResult(int row, const QString &exportFilePath)
{
    if (QPushButton *button = openDirButton(row))
        setOpenDirState(button, !exportFilePath.isEmpty());
    if (QTableWidgetItem *item = fileTable->item(row, 0))
        item->setData(OutputPathRole, exportFilePath);
    if (cols.resultSizeColumn >= 0)
        fileTable->setItem(row, cols.resultSizeColumn, centredItem(sizeText(QFileInfo(exportFilePath).size())));
}

void PageCentre::setRowDoneKey(int row, const QString &key)
{
    if (QTableWidgetItem *item = fileTable->item(row, 0))
        item->setData(DoneKeyRole, key);
}

QString PageCentre::rowDoneKey(int row) const
{
    const QTableWidgetItem *item = fileTable->item(row, 0);
    return item ? item->data(DoneKeyRole).toString() : QString();
}

void PageCentre::removeRowAt(int row)
{
    if (!hasRow(row))
        return;
    fileTable->removeRow(row);
    if (fileTable->rowCount() == 0) {
        showEmptyView();
        return;
    }
    for (int r = 0; r < fileTable->rowCount(); ++r) {
        if (QTableWidgetItem *item = fileTable->item(r, 0))
            item->setText(QString::number(r + 1));
    }
}

void PageCentre::clearRows()
{
    fileTable->setRowCount(0);
    fileTable->clearContents();
    showEmptyView();
}

int PageCentre::rowOfWidget(const QWidget *widget) const
{
    // Matched by cell rather than by the cell's position, which is only laid out
    // once the table has been shown.
    for (int row = 0; row < fileTable->rowCount(); ++row) {
        const QWidget *cell = fileTable->cellWidget(row, cols.buttonColumn);
        if (cell && (cell == widget || cell->isAncestorOf(widget)))
            return row;
    }
    return -1;
}

void PageCentre::showTableView()
{
    dropWidget->hide();
    fileTable->show();
}

void PageCentre::showEmptyView()
{
    fileTable->hide();
    dropWidget->show();
}

bool PageCentre::isEmptyViewShown() const
{
    return !dropWidget->isHidden();
}
