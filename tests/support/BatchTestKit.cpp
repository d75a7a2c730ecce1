#include "support/BatchTestKit.h"

#include "batch/shell/BatchPage.h"
#include "ToolboxTabs.h"
#include "widgets/MessageBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
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
    QElapsedTimer timer;
    timer.start();
    while (page->isJobRunning()) {
        if (timer.hasExpired(timeoutMs))
            return false;
        QTest::qWait(20);
    }
    QTest::qWait(50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return true;
}

} // namespace BatchTestKit

UrlCatcher::UrlCatcher()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

UrlCatcher::~UrlCatcher()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void UrlCatcher::open(const QUrl &url)
{
    urls.append(url);
}

ToolboxPage::ToolboxPage(Toolbox::Tab tab)
    : BatchPage(toolboxTabs().at(tab).spec, toolboxTabs().at(tab).makePanel(), toolboxTabs().at(tab).columns())
{ }
