#pragma once

#include "viewer/ImageView.h"

#include <QTest>

// Waits until the view's current load has ended (picture in or failure shown).
inline bool waitLoaded(ImageView &view)
{
    return QTest::qWaitFor([&] { return !view.isLoading(); }, 20000);
}

// The image view as the main window holds it: shown, at a known size, so that its
// layout has placed the graphics view.
struct ShownView
{
    ImageView view;

    explicit ShownView(const QSize &size = QSize(1200, 800))
    {
        view.resize(size);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }

    // showImg and wait for the load to end.
    bool open(const QString &path)
    {
        view.showImg(path);
        return waitLoaded(view);
    }
};
