#pragma once

#include "batch/shell/BatchPage.h"
#include "batch/toolbox/Toolbox.h"

#include <QList>
#include <QObject>
#include <QStringList>
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

// Waits until the page has heard its job end, then
// lets finished jobs delete themselves. False on timeout.
bool waitForJobEnd(const BatchPage *page, int timeoutMs = 120000);

} // namespace BatchTestKit

// Receives the "file" URLs that would go to the desktop's file manager while it
// exists.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher();
    ~UrlCatcher() override;

    QList<QUrl> urls;

public slots:
    void open(const QUrl &url);
};

// A page as the toolbox makes it for a tab (its page-table row), owned by the test.
class ToolboxPage : public BatchPage
{
    Q_OBJECT

public:
    explicit ToolboxPage(Toolbox::Tab tab);
};
