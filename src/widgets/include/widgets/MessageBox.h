#pragma once

#include <QDialog>

class QGraphicsDropShadowEffect;
class QGridLayout;
class QLabel;
class QPushButton;

// The program's message box: created with new, shown, and forgotten. It is
// application-modal while shown and deletes itself when closed.
class MessageBox : public QDialog
{
    Q_OBJECT

public:
    MessageBox(const QString &text, QWidget *parent);

    QString text() const;

private:
    QLabel *textLabel;
    QWidget *spacer;
    QPushButton *okButton;
    QGridLayout *layout;
    QGraphicsDropShadowEffect *shadow;
};
