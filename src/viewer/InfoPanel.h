#pragma once

#include "PictureInfo.h"

#include <QFrame>
#include <QThreadPool>

#include <atomic>
#include <memory>

class QGridLayout;
class QLabel;

// The side panel with what is known about the shown file (PictureInfo). It reads the
// file only while it is shown, never on the GUI thread: a RAW file's facts come from
// the decoder process, which may take long or never answer. Meanwhile the panel
// shows the rows the path gives and "读取中…"; a read still running when the picture
// changes is cancelled, and one past kReadDeadlineMs is given up.
class InfoPanel : public QFrame
{
    Q_OBJECT

public:
    static constexpr int kReadDeadlineMs = 10000;

    explicit InfoPanel(QWidget *parent = nullptr);
    ~InfoPanel() override;

    // The file shown in the viewer and its picture's size (invalid while unknown).
    void setPicture(const QString &path, const QSize &pixels);
    const QVector<PictureInfo::Row> &rows() const;
    // The file's rows are still being read.
    bool isReading() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();
    void showRows(const QVector<PictureInfo::Row> &rows);
    void stopReading();

    QThreadPool readers;
    std::shared_ptr<std::atomic<bool>> reading; // the read in flight's cancel flag
    quint64 readGeneration = 0;
    QLabel *status;
    QString path;
    QSize pixels;
    QString shownPath;
    QSize shownPixels;
    QVector<PictureInfo::Row> shownRows;
    QWidget *sheet;
    QGridLayout *grid;
};
