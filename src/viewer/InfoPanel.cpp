#include "InfoPanel.h"

#include "widgets/ElidedLabel.h"
#include "widgets/UiProfile.h"

#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QVariant>

#include <chrono>

InfoPanel::InfoPanel(QWidget *parent)
    : QFrame(parent)
    , status(new QLabel(QStringLiteral("读取中…"), this))
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
    layout->addWidget(status);
    layout->addWidget(scroll, 1);
    status->setObjectName(QStringLiteral("infoStatus"));
    status->setFont(UiProfile::bodyFont());
    status->hide();
    // One read at a time: a new picture cancels the one before.
    readers.setMaxThreadCount(1);
}

InfoPanel::~InfoPanel()
{
    // Nothing may still run and post to a dead panel.
    stopReading();
    readers.waitForDone();
}

bool InfoPanel::isReading() const
{
    return reading != nullptr;
}

void InfoPanel::stopReading()
{
    if (reading)
        *reading = true;
    reading.reset();
    status->hide();
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
    const bool sameFile = path == shownPath;
    shownPath = path;
    shownPixels = pixels;
    stopReading();
    if (path.isEmpty()) {
        showRows({});
        return;
    }
    // The picture's size came in: the rows read so far stay until the new ones come.
    if (!sameFile)
        showRows(PictureInfo::pathRows(path));
    status->show();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    reading = cancel;
    const quint64 generation = ++readGeneration;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadDeadlineMs);
    readers.start([this, cancel, generation, deadline, file = path, size = pixels] {
        const QVector<PictureInfo::Row> rows = PictureInfo::read(
            file, size, [cancel, deadline] { return *cancel || std::chrono::steady_clock::now() > deadline; });
        if (*cancel)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, rows] {
                if (generation != readGeneration)
                    return;
                stopReading();
                showRows(rows);
            },
            Qt::QueuedConnection);
    });
}

void InfoPanel::showRows(const QVector<PictureInfo::Row> &rows)
{
    shownRows = rows;
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
