#pragma once

#include "viewer/FolderOrder.h"

#include <QByteArray>

// The viewer's few remembered choices, read and written whole through QSettings in
// the standard place (~/.config/quorvane/quorvane.conf, beside the open dialogs'
// last folder). Everything else the viewer starts with afresh.
namespace ViewerSettings {

struct Choices
{
    FolderOrder::Order sortOrder;
    bool stripShown = false;
    int thumbnailSize = 128; // logical pixels of a grid cell's picture
    QByteArray windowGeometry; // QWidget::saveGeometry(): place, size, maximised; empty the first time
};

Choices read();
void write(const Choices &choices);

} // namespace ViewerSettings
