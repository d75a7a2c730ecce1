#pragma once

#include "viewer/SeeImgMainWT.h"

#include <QTest>

// The image view as the main window holds it: shown, at a known size, so that its
// layout has placed the graphics view.
struct ShownView
{
    SeeImgMainWT view;

    explicit ShownView(const QSize &size = QSize(1200, 800))
    {
        view.resize(size);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
};
