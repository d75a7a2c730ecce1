#pragma once

#include <QWidget>

class QLabel;

// The clickable middle of the drop area: picture, call to action and hint.
class DropTarget : public QWidget
{
    Q_OBJECT

public:
    explicit DropTarget(QWidget *parent = nullptr);

    void setNoteText(const QString &text);
    QString noteText() const;

signals:
    void clicked();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *iconLabel;
    QLabel *textLabel;
    QLabel *noteLabel;
};
