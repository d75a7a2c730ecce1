#include "batch/shell/PageCentre.h"

#include "batch/shell/SettingsPanel.h"
#include "BatchTableModel.h"
#include "FileTable.h"
#include "widgets/DropArea.h"
#include "widgets/UiProfile.h"

#include <QFileInfo>
#include <QHBoxLayout>

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
    , suffixes(acceptedSuffixes)
    , rows(new BatchTableModel(columns, this))
    , fileTable(new FileTable(rows, this))
    , dropWidget(new DropArea(hintText, this))
    , layout(new QHBoxLayout(this))
{
    dropWidget->setAcceptedSuffixes(suffixes);

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
    // The drop area and the table stretch, taking the room up to their full width
    // before the settings panel does: the file name has the more of it.
    layout->addWidget(dropWidget, 1);
    layout->addWidget(fileTable, 1);

    showEmptyView();
}

void PageCentre::setParamPanel(SettingsPanel *paramPanel)
{
    panel = paramPanel;
    layout->addWidget(panel);
}

const BatchColumns &PageCentre::columns() const
{
    return rows->columns();
}

bool PageCentre::acceptsPath(const QString &path, const QStringList &acceptedSuffixes)
{
    return acceptedSuffixes.contains(QFileInfo(path).suffix().toLower());
}

int PageCentre::addRow(const QString &path)
{
    if (!acceptsPath(path, suffixes))
        return -1;
    rows->append(BatchRow(path, QFileInfo(path).size()));
    return rows->rowCount() - 1;
}

int PageCentre::rowCount() const
{
    return rows->rowCount();
}

bool PageCentre::hasRow(int row) const
{
    return rows->hasRow(row);
}

const BatchRow &PageCentre::row(int row) const
{
    return rows->row(row);
}

void PageCentre::setRow(int row, const BatchRow &value)
{
    rows->setRow(row, value);
}

QString PageCentre::sourcePath(int row) const
{
    return hasRow(row) ? rows->row(row).source : QString();
}

QString PageCentre::outputPath(int row) const
{
    return hasRow(row) ? rows->row(row).output : QString();
}

QString PageCentre::rowReason(int row) const
{
    return hasRow(row) ? rows->row(row).reason : QString();
}

QString PageCentre::cellText(int row, int column) const
{
    return rows->index(row, column).data().toString();
}

void PageCentre::removeRowAt(int row)
{
    if (!hasRow(row))
        return;
    rows->removeAt(row);
    if (rows->rowCount() == 0)
        showEmptyView();
}

void PageCentre::clearRows()
{
    rows->clear();
    showEmptyView();
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
