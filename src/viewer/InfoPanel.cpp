#include "InfoPanel.h"

#include "widgets/ElidedLabel.h"
#include "widgets/UiProfile.h"

#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QVariant>

InfoPanel::InfoPanel(QWidget *parent)
    : QFrame(parent)
    , sheet(new QWidget)
    , grid(new QGridLayout(sheet))
{
    setObjectName(QStringLiteral("infoPanel"));
    setFixedWidth(UiProfile::pick(240, 300));
    setStyleSheet(QStringLiteral("QFrame#infoPanel{background:#F7F9FC;border-left:1px solid #E3E8F0;}"
                                 "QScrollArea,QWidget#infoSheet{background:transparent;border:0px;}"
                                 "QLabel{color:#484848;background:transparent;}"
                                 "QLabel[role=\"label\"]{color:#7A8089;}"));

    auto *heading = new QLabel(QStringLiteral("图片信息"), this);
    heading->setFont(UiProfile::largeFont());

    sheet->setObjectName(QStringLiteral("infoSheet"));
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    grid->setAlignment(Qt::AlignTop);
    // On a small screen the rows scroll rather than squeeze.
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(sheet);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 8, 16);
    layout->setSpacing(14);
    layout->addWidget(heading);
    layout->addWidget(scroll, 1);
}

void InfoPanel::setPicture(const QString &filePath, const QSize &size)
{
    path = filePath;
    pixels = size;
    if (isVisible())
        refresh();
}

const QVector<PictureInfo::Row> &InfoPanel::rows() const
{
    return shownRows;
}

void InfoPanel::showEvent(QShowEvent *event)
{
    refresh();
    QFrame::showEvent(event);
}

void InfoPanel::refresh()
{
    if (path == shownPath && pixels == shownPixels)
        return;
    shownPath = path;
    shownPixels = pixels;
    shownRows = path.isEmpty() ? QVector<PictureInfo::Row>() : PictureInfo::read(path, pixels);
    // The old rows go (hidden now, so they take no room until they are deleted).
    for (QLabel *old : sheet->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
        old->hide();
        old->deleteLater();
    }
    int line = 0;
    for (const PictureInfo::Row &row : qAsConst(shownRows)) {
        auto *label = new QLabel(row.label, sheet);
        label->setProperty("role", QStringLiteral("label"));
        label->setFont(UiProfile::bodyFont());
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Names and folders are one unbroken word: elided in the middle, whole in
        // the tooltip. The rest wraps.
        QLabel *value = nullptr;
        if (row.label == QStringLiteral("文件名") || row.label == QStringLiteral("文件夹")) {
            auto *elided = new ElidedLabel(sheet);
            elided->setFullText(row.value);
            value = elided;
        } else {
            value = new QLabel(row.value, sheet);
            value->setWordWrap(true);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
        value->setFont(UiProfile::bodyFont());
        // A wrapping label asks for a wide minimum; the panel's width decides.
        value->setMinimumWidth(1);
        grid->addWidget(label, line, 0);
        grid->addWidget(value, line, 1);
        ++line;
    }
}
