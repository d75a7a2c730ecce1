#include "viewer/ViewerSettings.h"

#include <QSettings>

namespace ViewerSettings {

namespace {

const char *const kSortOrder = "viewer/sortOrder";
const char *const kStripShown = "viewer/stripShown";
const char *const kThumbnailSize = "viewer/thumbnailSize";
const char *const kWindowGeometry = "viewer/windowGeometry";

} // namespace

Choices read()
{
    const QSettings settings(QStringLiteral("quorvane"), QStringLiteral("quorvane"));
    const Choices defaults;
    Choices choices;
    choices.sortOrder = FolderOrder::fromText(settings.value(QLatin1String(kSortOrder)).toString());
    choices.stripShown = settings.value(QLatin1String(kStripShown), defaults.stripShown).toBool();
    bool ok = false;
    const int size = settings.value(QLatin1String(kThumbnailSize)).toInt(&ok);
    choices.thumbnailSize = ok && size > 0 ? size : defaults.thumbnailSize;
    choices.windowGeometry = settings.value(QLatin1String(kWindowGeometry)).toByteArray();
    return choices;
}

void write(const Choices &choices)
{
    QSettings settings(QStringLiteral("quorvane"), QStringLiteral("quorvane"));
    settings.setValue(QLatin1String(kSortOrder), FolderOrder::toText(choices.sortOrder));
    settings.setValue(QLatin1String(kStripShown), choices.stripShown);
    settings.setValue(QLatin1String(kThumbnailSize), choices.thumbnailSize);
    settings.setValue(QLatin1String(kWindowGeometry), choices.windowGeometry);
}

} // namespace ViewerSettings
