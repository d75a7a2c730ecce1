#include "batch/pages/convert/CHFMainWT.h"

#include "batch/pages/convert/CHFCenterWT.h"
#include "batch/pages/convert/CHFParamWT.h"
#include "batch/shell/ToolboxLog.h"

#include <QDesktopServices>
#include <QUrl>

CHFMainWT::CHFMainWT(QWidget *parent)
    : BatchPage(parent)
    , centre(new CHFCenterWT(this))
{
    setupPage(centre, [this] { chFormat(); });
}

void CHFMainWT::chFormat()
{
    if (!canStart(QStringLiteral("请添加要转换的文件！")))
        return;
    const CHFParamWT *param = centre->paramWidget();
    JobSettings settings;
    settings.imgType = BatchOp::Convert;
    settings.formatIndex = param->formatIndex();
    settings.zoomWidth = param->zoomWidth();
    settings.zoomHeight = param->zoomHeight();
    startJob(settings, param->exportDir());
}

void CHFMainWT::openItemDir()
{
    const QString folder = centre->paramWidget()->exportDir();
    qCDebug(lcToolbox) << "filePath is:" << folder;
    if (!folder.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
