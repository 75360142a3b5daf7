// Dialog units to pixels. A dialog unit is a quarter of the dialog font's
// average character width and an eighth of its height; for the 8-point
// dialog font at 96 dpi the base is 6 x 13 pixels, so one unit is 1.5 pixels
// across and 1.625 pixels down. Like the window system's mapping, the result
// is rounded to the nearest pixel.
#pragma once

#include "platform/mfc/window_state.h"

namespace tarnwick::gtk {

inline constexpr int kBaseUnitX = 6;   // pixels per 4 horizontal units
inline constexpr int kBaseUnitY = 13;  // pixels per 8 vertical units

constexpr int UnitsToPixelsX(int units) {
    return (units * kBaseUnitX + 2) / 4;
}
constexpr int UnitsToPixelsY(int units) {
    return (units * kBaseUnitY + 4) / 8;
}

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

constexpr PixelRect ToPixels(const DialogRect& r) {
    return {UnitsToPixelsX(r.x), UnitsToPixelsY(r.y), UnitsToPixelsX(r.width),
            UnitsToPixelsY(r.height)};
}

// A drop-down list's template height includes its open list; closed it is
// as tall as one line of the font plus its frame.
inline constexpr int kClosedListHeightUnits = 12;

}  // namespace tarnwick::gtk
