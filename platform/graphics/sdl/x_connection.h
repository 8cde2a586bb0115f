// The file descriptor of the X connection SDL's windows use, so the display
// task can sleep until the server sends something (a key, a click, an
// expose) instead of looking only once a frame: a key then ends a picture
// at once. -1 when the window is not on X11 (Wayland: the task looks once a
// frame).
#pragma once

#include <SDL.h>

namespace os::sdl {

int XConnectionFd(SDL_Window* window);

}  // namespace os::sdl
