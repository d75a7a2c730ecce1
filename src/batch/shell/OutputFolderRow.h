#pragma once

#include <QWidget>

class ElidedLabel;
class QPushButton;

// The output-folder row of a parameter panel: the folder, a button to choose
// another one and a button to open it.
class OutputFolderRow : public QWidget
{
    Q_OBJECT

public:
    explicit OutputFolderRow(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &folder);
    // The folder as drawn: elided in the middle when the row is too narrow.
    QString shownText() const;

    // Asks for an existing folder, starting in startDir; empty when cancelled.
    static QString askFolder(QWidget *parent, const QString &startDir);

    QPushButton *chooseDirBtn() const { return chooseBtn; }
    QPushButton *openDirBtn() const { return openBtn; }

public slots:
    void onChooseDirClicked();
    void onOpenDirClicked();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ElidedLabel *dirLabel;
    QPushButton *chooseBtn;
    QPushButton *openBtn;
};
