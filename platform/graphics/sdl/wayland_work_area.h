// The part of a Wayland output a window may take: what a window would get
// maximized.
//
// Wayland tells a client neither the panels of the desktop nor, to SDL 2,
// the frame around a window, and SDL reports the whole output as its usable
// bounds: a picture's window sized from them can reach under a panel or past
// the output's edge. The compositor does tell the size of a maximized
// window, which leaves the panels out. So a surface of our own, over a
// connection of our own, asks for it: a toplevel set maximized and committed
// without any content, which the compositor answers with a configure and
// never shows; then it is destroyed again.
#pragma once

namespace os::sdl {

struct WorkArea {
    int w = 0;
    int h = 0;  // 0 x 0 when the compositor did not say
};

WorkArea WaylandWorkArea();

}  // namespace os::sdl
