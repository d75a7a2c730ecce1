#pragma once

#include "batch/shell/BatchPage.h"
#include "batch/toolbox/Toolbox.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// Helpers for the batch toolbox tests: shown messages, a private home folder,
// waiting for a page's job, and catching open-folder requests.
namespace BatchTestKit {

// Texts of the message dialogs currently shown, in no particular order.
QStringList shownDialogTexts();
// Closes every shown message dialog (they delete themselves).
void closeDialogs();

// Points HOME at dir and drops the XDG overrides, so the Desktop (and with it the
// default output folder) lies inside dir.
void useHome(const QString &dir);

// Waits until the page has heard its job end and the job has deleted itself.
// False on timeout.
bool waitForJobEnd(const BatchPage *page, int timeoutMs = 120000);

// Clicks a row's folder or delete button as a user does: a mouse click on the
// spot of the file table where it is drawn.
void clickOpenFolder(const PageCentre *centre, int row);
void clickDelete(const PageCentre *centre, int row);

} // namespace BatchTestKit

// A stand-in xdg-open first on PATH while it exists: it notes the folders the
// toolbox asks the desktop's file manager to open, and ends well or, after
// setFails(true), as xdg-open without a file manager does (status 3).
class UrlCatcher
{
public:
    UrlCatcher();
    ~UrlCatcher();

    // The folders asked for so far, once every opener started has ended.
    QList<QUrl> urls() const;
    void setFails(bool fails);

private:
    QTemporaryDir bin;
    QByteArray oldPath;
};

// A page as the toolbox makes it for a tab (its page-table row), owned by the test.
class ToolboxPage : public BatchPage
{
    Q_OBJECT

public:
    explicit ToolboxPage(Toolbox::Tab tab);
};
