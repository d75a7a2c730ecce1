#include "support/BatchTestKit.h"

#include "batch/engine/BatchJob.h"
#include "batch/shell/BatchPage.h"
#include "batch/shell/PageCentre.h"
#include "FileTable.h"
#include "widgets/FolderOpener.h"
#include "ToolboxTabs.h"
#include "widgets/MessageBox.h"

#include <QApplication>
#include <QFile>
#include <QTest>

namespace BatchTestKit {

QStringList shownDialogTexts()
{
    QStringList texts;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *dialog = qobject_cast<MessageBox *>(window); dialog && dialog->isVisible())
            texts.append(dialog->text());
    }
    return texts;
}

void closeDialogs()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *dialog = qobject_cast<MessageBox *>(window))
            dialog->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void useHome(const QString &dir)
{
    qputenv("HOME", dir.toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DESKTOP_DIR");
}

bool waitForJobEnd(const BatchPage *page, int timeoutMs)
{
    // qWaitFor also runs the deferred deletes, the job's own among them.
    return QTest::qWaitFor(
        [page] {
            return !page->isJobRunning()
                && page->findChildren<BatchJob *>(QString(), Qt::FindDirectChildrenOnly).isEmpty();
        },
        timeoutMs);
}

namespace {

void clickRowButton(const PageCentre *centre, int row, FileTable::RowButton button)
{
    FileTable *table = centre->table();
    const QModelIndex index = table->model()->index(row, centre->columns().buttonColumn);
    table->scrollTo(index);
    const QRect place = FileTable::buttonRect(table->visualRect(index), button);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, place.center());
}

} // namespace

void clickOpenFolder(const PageCentre *centre, int row)
{
    clickRowButton(centre, row, FileTable::RowButton::OpenFolder);
}

void clickDelete(const PageCentre *centre, int row)
{
    clickRowButton(centre, row, FileTable::RowButton::Delete);
}

} // namespace BatchTestKit

UrlCatcher::UrlCatcher()
    : oldPath(qgetenv("PATH"))
{
    QFile script(bin.filePath(QStringLiteral("xdg-open")));
    if (script.open(QIODevice::WriteOnly)) {
        script.write("#!/bin/sh\n"
                     "dir=$(dirname \"$0\")\n"
                     "printf '%s\\n' \"$1\" >> \"$dir/asked\"\n"
                     "[ -e \"$dir/fails\" ] && exit 3\n"
                     "exit 0\n");
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + oldPath);
}

UrlCatcher::~UrlCatcher()
{
    qputenv("PATH", oldPath);
}

QList<QUrl> UrlCatcher::urls() const
{
    // Until every opener started has ended and deleted itself.
    if (!QTest::qWaitFor([] { return FolderOpener::pending() == 0; }, 10000))
        qWarning("a folder opener has not ended in 10 s");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<QUrl> asked;
    QFile file(bin.filePath(QStringLiteral("asked")));
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray &line : lines) {
            if (!line.isEmpty())
                asked << QUrl::fromLocalFile(QFile::decodeName(line));
        }
    }
    return asked;
}

void UrlCatcher::setFails(bool fails)
{
    QFile marker(bin.filePath(QStringLiteral("fails")));
    if (fails)
        marker.open(QIODevice::WriteOnly);
    else
        marker.remove();
}

ToolboxPage::ToolboxPage(Toolbox::Tab tab)
    : BatchPage(toolboxTabs().at(tab).spec, toolboxTabs().at(tab).makePanel(), toolboxTabs().at(tab).columns())
{ }
