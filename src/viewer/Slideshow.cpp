#include "Slideshow.h"

#include "ImageLoader.h"
#include "viewer/CurrentPicture.h"
#include "viewer/ImageView.h"

#include <QTimer>

Slideshow::Slideshow(ImageView *view)
    : QObject(view)
    , view(view)
    , timer(new QTimer(this))
{
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &Slideshow::turn);
    connect(view->loader(), &ImageLoader::decodeEnded, this, &Slideshow::onDecodeEnded);
    // Nothing left to show (the folder emptied): the show is over.
    connect(view->currentPicture(), &CurrentPicture::changed, this, [this] {
        if (running && this->view->currentPicture()->path().isEmpty())
            stop();
    });
}

void Slideshow::start()
{
    if (running)
        return;
    running = true;
    view->currentPicture()->setLoops(true);
    // The first picture comes after the last: have it ready too.
    view->preloadNeighbours();
    timer->start(intervalSeconds * 1000);
    emit runningChanged(true);
}

void Slideshow::stop()
{
    if (!running)
        return;
    running = false;
    waitingFor.clear();
    timer->stop();
    view->currentPicture()->setLoops(false);
    emit runningChanged(false);
}

bool Slideshow::isRunning() const
{
    return running;
}

void Slideshow::setSeconds(int seconds)
{
    intervalSeconds = qMax(1, seconds);
    if (timer->isActive())
        timer->start(intervalSeconds * 1000);
}

int Slideshow::seconds() const
{
    return intervalSeconds;
}

void Slideshow::turn()
{
    CurrentPicture *current = view->currentPicture();
    const QString next = current->neighbour(1);
    if (next.isEmpty()) {
        timer->start(intervalSeconds * 1000); // a folder of one: it stays, the show goes on
        return;
    }
    // Still decoding: the turn waits for it. Not held and nothing decoding (too large
    // to keep ready): it is shown as any picture is.
    if (!view->loader()->cached(next) && view->loader()->isBusy()) {
        waitingFor = next;
        return;
    }
    waitingFor.clear();
    current->step(1);
    timer->start(intervalSeconds * 1000);
}

void Slideshow::onDecodeEnded()
{
    // After the loader has put the decode away: it says so before it is done.
    QTimer::singleShot(0, this, [this] {
        if (running && !waitingFor.isEmpty())
            turn();
    });
}
