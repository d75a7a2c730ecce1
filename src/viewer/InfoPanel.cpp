#include "viewer/InfoPanel.h"

#include "widgets/UiProfile.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QVariant>

InfoPanel::InfoPanel(QWidget *parent)
    : QFrame(parent)
    , form(new QFormLayout)
{
    setObjectName(QStringLiteral("infoPanel"));
    setFixedWidth(UiProfile::pick(240, 300));
    setStyleSheet(QStringLiteral("QFrame#infoPanel{background:#F7F9FC;border-left:1px solid #E3E8F0;}"
                                 "QLabel{color:#484848;background:transparent;}"
                                 "QLabel[role=\"label\"]{color:#7A8089;}"));

    auto *heading = new QLabel(QStringLiteral("图片信息"), this);
    heading->setFont(UiProfile::largeFont());

    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(8);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(14);
    layout->addWidget(heading);
    layout->addLayout(form);
    layout->addStretch();
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
    while (form->rowCount() > 0)
        form->removeRow(0);
    for (const PictureInfo::Row &row : qAsConst(shownRows)) {
        auto *label = new QLabel(row.label, this);
        label->setProperty("role", QStringLiteral("label"));
        label->setFont(UiProfile::bodyFont());
        auto *value = new QLabel(row.value, this);
        value->setFont(UiProfile::bodyFont());
        value->setWordWrap(true);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, value);
    }
}
