#include "platform/graphics/sdl/kept_window.h"

namespace os::sdl {

namespace {

// The start of a span of `size` at `at` moved into [lo, lo + room): as
// little as it takes, its start inside when it cannot fit whole.
int Within(int at, int size, int lo, int room) {
    if (at + size > lo + room) at = lo + room - size;
    if (at < lo) at = lo;
    return at;
}

}  // namespace

WindowSpot KeepInside(int x, int y, int w, int h, int frameTop, int frameLeft, int frameBottom, int frameRight,
                      int deskX, int deskY, int deskW, int deskH) {
    WindowSpot spot{x, y};
    if (deskW <= 0 || deskH <= 0) return spot;
    spot.x = Within(x - frameLeft, w + frameLeft + frameRight, deskX, deskW) + frameLeft;
    spot.y = Within(y - frameTop, h + frameTop + frameBottom, deskY, deskH) + frameTop;
    return spot;
}

}  // namespace os::sdl
