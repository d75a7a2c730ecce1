#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>
#include <QWidget>

class DropTarget;

// The empty-state drop area of the viewer and of every batch page.
class DropArea : public QWidget
{
    Q_OBJECT

public:
    explicit DropArea(const QString &hintText, QWidget *parent = nullptr);

    void setAcceptedSuffixes(const QStringList &suffixes);
    const QStringList &acceptedSuffixes() const;

    DropTarget *centerWidget() const;

signals:
    void drapAndDrop(QList<QUrl> list);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    DropTarget *center;
    QStringList suffixes;
};
