#pragma once

#include <QFont>

// The compact or normal size profile and the shared fonts, chosen once at start-up.
namespace UiProfile {

struct FontSizes
{
    int body;
    int list;
    int large;
};

struct Profile
{
    bool smallScreen;
    bool highDensity;
    FontSizes fonts; // pixel sizes
};

// Compact when the available area is at most 1600 wide or below 890 high; a normal
// screen is high-density from 144 logical DPI on.
Profile choose(int availableWidth, int availableHeight, qreal logicalDpi);

// Reads the primary screen, logs it, and sets the profile and the shared fonts.
void setup();

bool isSmallScreen();

// The compact value on a small screen, the normal one otherwise.
inline int pick(int compact, int normal)
{
    return isSmallScreen() ? compact : normal;
}

const QFont &bodyFont();
const QFont &listFont();
const QFont &largeFont();

// The family every widget asks for; mapped to an installed CJK face by setup().
QString uiFamily();

} // namespace UiProfile
