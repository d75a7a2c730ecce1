#pragma once

#include "PictureInfo.h"

#include <QFrame>

class QGridLayout;
class QLabel;

// The side panel with what is known about the shown file (PictureInfo). It reads the
// file only while it is shown.
class InfoPanel : public QFrame
{
    Q_OBJECT

public:
    explicit InfoPanel(QWidget *parent = nullptr);

    // The file shown in the viewer and its picture's size (invalid while unknown).
    void setPicture(const QString &path, const QSize &pixels);
    const QVector<PictureInfo::Row> &rows() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();

    QString path;
    QSize pixels;
    QString shownPath;
    QSize shownPixels;
    QVector<PictureInfo::Row> shownRows;
    QWidget *sheet;
    QGridLayout *grid;
};
