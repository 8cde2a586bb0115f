// One desktop window for a run of pictures. When a screen closes, its window
// is not destroyed at once but kept for a moment (kKeepWindowMs); when the
// next screen opens within that moment it takes the window over, resized to
// its own size where the window stands. So the window stays where the user
// put it, full screen stays on, and nothing flashes between pictures. The
// screens themselves still open and close one by one; only the desktop's
// window outlives them. A kept window is destroyed when the moment passes,
// when the user closes it, or at the end of the process.
#pragma once

#include <cstdint>

namespace os::sdl {

constexpr uint64_t kKeepWindowMs = 1000;

struct WindowSpot {
    int x = 0;
    int y = 0;
};

// Where a window whose client area is w x h and stands at (x, y) goes when
// it is resized for the next picture: where it is, moved only as far as it
// takes to bring the window with its frame (top, left, bottom, right) into
// the usable desktop (deskX, deskY, deskW, deskH). A window larger than the
// desktop keeps its frame's top-left corner inside it.
WindowSpot KeepInside(int x, int y, int w, int h, int frameTop, int frameLeft, int frameBottom, int frameRight,
                      int deskX, int deskY, int deskW, int deskH);

}  // namespace os::sdl
