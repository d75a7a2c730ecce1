#include "widgets/UiProfile.h"

#include "UiLog.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

namespace UiProfile {

namespace {

struct State
{
    bool smallScreen = true;
    QFont body;
    QFont list;
    QFont large;
};

State &state()
{
    static State s;
    return s;
}

} // namespace

QString uiFamily()
{
    return QStringLiteral("Microsoft YaHei");
}

Profile choose(int availableWidth, int availableHeight, qreal logicalDpi)
{
    Profile p;
    p.smallScreen = availableWidth <= 1600 || availableHeight < 890;
    p.highDensity = !p.smallScreen && logicalDpi >= 144;
    if (p.smallScreen)
        p.fonts = {15, 12, 17};
    else if (p.highDensity)
        p.fonts = {18, 16, 20};
    else
        p.fonts = {15, 14, 18};
    return p;
}

void setup()
{
    // The design asks for Microsoft YaHei; here the same Simplified Chinese glyphs come
    // from Noto Sans CJK SC. Without the substitution fontconfig falls back to a Latin
    // face with Japanese CJK glyphs.
    QFont::insertSubstitutions(uiFamily(),
                               {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
                                QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback")});

    State &s = state();
    s.body.setFamily(uiFamily());
    s.list.setFamily(uiFamily());
    s.large.setFamily(uiFamily());

    int width = 0;
    int height = 0;
    qreal dpi = 96;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        width = area.width();
        height = area.height();
        dpi = screen->logicalDotsPerInch();
    }
    qCDebug(lcUi) << "dpi is:" << dpi;

    const Profile p = choose(width, height, dpi);
    s.smallScreen = p.smallScreen;
    s.body.setPixelSize(p.fonts.body);
    s.list.setPixelSize(p.fonts.list);
    s.large.setPixelSize(p.fonts.large);
    qCDebug(lcUi) << width << height << ",is small:" << p.smallScreen;
}

bool isSmallScreen()
{
    return state().smallScreen;
}

const QFont &bodyFont()
{
    return state().body;
}

const QFont &listFont()
{
    return state().list;
}

const QFont &largeFont()
{
    return state().large;
}

} // namespace UiProfile
