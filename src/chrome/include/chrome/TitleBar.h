#pragma once

#include <QWidget>

class CloseBtn;
class ElidedLabel;
class QLabel;
class QPushButton;

// The frameless main window's title bar: product name, current file name and the
// minimise, maximise/restore and close buttons.
class TitleBar : public QWidget
{
    Q_OBJECT

public:
    explicit TitleBar(QWidget *parent);

    // The file name, elided in the middle when it is too long, with toolTip (the
    // full path) over it.
    void setTitleText(const QString &text, const QString &toolTip = QString());
    QString titleText() const;
    // The title as drawn at the bar's current width.
    QString shownTitleText() const;
    // The line of facts beside the name (place, pixel size, file size, zoom).
    void setFacts(const QString &text);
    QString facts() const;

    QPushButton *minimizeButton() const;
    QPushButton *maxButton() const;
    QPushButton *closeButton() const;
    // Resource path of the icon the maximise button shows.
    QString maxButtonIcon() const;

signals:
    // The close button closed the window; the application ends the process on it.
    void closeClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void toggleMaximized();
    void setMaxIcon(const QString &path);

    QLabel *iconLabel;
    QLabel *productLabel;
    ElidedLabel *fileNameLabel;
    QLabel *factsLabel;
    QPushButton *minButton;
    QPushButton *maximizeButton;
    CloseBtn *closeBtn;
    QString maxIconPath;
};
