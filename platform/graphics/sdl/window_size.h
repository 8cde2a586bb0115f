// The size a picture's window opens at on the desktop.
#pragma once

#include <cstdint>

namespace os::sdl {

struct ClientSize {
    int w = 0;
    int h = 0;
};

// The largest whole scale, at most kMaxWindowScale, at which a w x h picture
// fits an area of areaW x areaH (the usable desktop less the window's frame).
// A picture too large for the area even once is shrunk to fit, aspect kept.
// Zero sizes give a zero size. A window is never narrower than
// kMinWindowWidth where the area allows it (the picture centred in it): the
// window manager's buttons would leave its title no room at all.
constexpr uint32_t kMaxWindowScale = 4;
constexpr int kMinWindowWidth = 160;
ClientSize WindowClientSize(uint32_t w, uint32_t h, int areaW, int areaH);

}  // namespace os::sdl
