#pragma once

#include "viewer/FolderOrder.h"
#include "viewer/PictureFacts.h"
#include "viewer/TrashBin.h"
#include "viewer/ViewerCommands.h"

#include <QFrame>

class CurrentPicture;
class FolderModel;
class Slideshow;
class FolderThumbnails;
class ViewerToolStrip;
class ImageView;
class InfoPanel;
class TitleBar;
class Toast;

// The frameless viewer window: title bar, image view and tool strip. It drags
// itself by the top band, does its commands (ViewerCommands: one QAction each,
// shared by the keys, the tool strip and the menu on the picture), and opens a file
// dropped anywhere on it.
class ViewerWindow : public QFrame
{
    Q_OBJECT

public:
    explicit ViewerWindow(QWidget *parent = nullptr);

    TitleBar *titleBar() const;
    ViewerToolStrip *toolStrip() const;
    ImageView *view() const;
    Toast *toast() const;
    InfoPanel *info() const;
    // The shown picture and its folder's model, for views of the folder to follow.
    CurrentPicture *currentPicture() const;
    FolderModel *folderModel() const;
    Slideshow *slideshowRunner() const;
    // The strip and the grid of the shown picture's folder.
    FolderThumbnails *thumbnails() const;
    bool gridShown() const;
    bool stripShown() const;
    // The window's commands, one QAction each.
    ViewerCommands::Actions *commandActions() const;
    // 1 while the picture is fitted, 2 at actual size.
    int sizeMode() const;
    // The shown file while it is a picture file (ShownFile), asked now; empty
    // otherwise. Every action on the shown file takes its path from here.
    QString shownPictureFile() const;
    // Trash undo, for tests that put something under the name at the last moment.
    TrashBin &trash();
    // The size the window asks for at least, before the screen bounds it.
    static QSize wantedMinimum();
    // That, widened to what the tool strip needs with every button whole.
    QSize neededMinimum() const;
    // Shows the window as the last run left it (place, size, maximised); maximised
    // the first time.
    void showAsRemembered();
    // Remembers the window's place, size and maximised state for the next start.
    void rememberGeometry();

signals:
    // The strip's and the grid's commands, toggled: whoever shows them follows.
    void stripToggled(bool shown);
    void gridToggled(bool shown);

public slots:
    void onSetScale(double scale);
    void setImgName(const QString &path);
    void showDefaultImg();
    // What a command does, asked by its action (a key, a button or the menu).
    void perform(ViewerCommands::Action action);
    // Full screen hides the title bar and the tool strip; the picture follows.
    void toggleFullScreen();
    void leaveFullScreen();
    // The file manager shows the shown file selected.
    void showInFolder();
    // The toolbox opens on tab (a Toolbox::Tab) with the shown file.
    void openWith(int tab);
    // The folder's grid in place of the picture, or the picture again.
    void showGrid(bool on);
    // The thumbnail strip along the bottom on or off.
    void showStrip(bool on);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool hasImage() const;
    void connectButtons();
    // Fitted: the toggle offers actual size; ActualSize: it offers the fit.
    enum class SizeMode { Fitted = 1, ActualSize = 2 };
    void setSizeMode(SizeMode mode);
    void zoomStep(bool up);
    void step(int offset);
    void showFolderEnd(bool last);
    void showAnimationCut(int framesPlayed);
    void turn(double angle);
    // The title, the panel, the start folder and the facts follow the current picture.
    void followCurrent();
    void placeFacts();
    // The facts line and the window title follow the file, its picture and the zoom.
    void updateFacts();
    void trashShown();
    void restoreTrashed();
    void toggleInfo();
    void copyPicture();
    void copyPath();
    void showContextMenu(const QPoint &pos);
    void print();
    void setFullScreenLook(bool on);
    // The folder's order, chosen from the menu: applied, shown checked, remembered.
    void setSortKey(FolderOrder::Key key);
    void setSortDescending(bool descending);
    void setSortOrder(FolderOrder::Order order);
    void showSortOrder(FolderOrder::Order order);
    void toggleSlideshow();

    TitleBar *title;
    ViewerToolStrip *toolStripWidget = nullptr;
    Toast *toastWidget;
    InfoPanel *infoPanel;
    TrashBin trashBin;
    PictureFacts::Facts facts;
    QString factsPath; // the file facts are about
    QWidget *contentWidget = nullptr;
    SizeMode sizeModeValue = SizeMode::Fitted;
    int dragTop = 0;
    int dragBottom = 60;
    int pressX = 0;
    int pressY = 0;
    bool dragging = false;
    bool maximizedBeforeFullScreen = true;
    ImageView *imageView;
    FolderThumbnails *folderThumbnails = nullptr;
    ViewerCommands::Actions *commands = nullptr;
    Slideshow *slideshow = nullptr;
    bool slideshowEnteredFullScreen = false;
};
