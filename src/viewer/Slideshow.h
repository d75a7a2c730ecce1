#pragma once

#include <QObject>
#include <QString>

class ImageView;
class QTimer;

// Shows the folder's pictures in turn from the shown one, round and round, one every
// few seconds. A picture's turn comes only once it is decoded (the view keeps the
// next one ready meanwhile), so none shows half-loaded or late.
class Slideshow : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultSeconds = 3;

    explicit Slideshow(ImageView *view);

    void start();
    void stop();
    bool isRunning() const;
    void setSeconds(int seconds);
    int seconds() const;

signals:
    void runningChanged(bool running);

private:
    // The shown picture's time is up.
    void turn();
    // A decode ended: maybe the one the turn waits for.
    void onDecodeEnded();

    ImageView *view;
    QTimer *timer;
    int intervalSeconds = kDefaultSeconds;
    bool running = false;
    QString waitingFor; // the next picture, when its turn came before its decode ended
};
