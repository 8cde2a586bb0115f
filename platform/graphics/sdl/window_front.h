// Bringing a window to the front without waiting on the display server.
//
// SDL_RestoreWindow maps a window that is not mapped and then waits, on X11
// without a time limit, for the server to say it is mapped. A window on a
// desktop the user has switched away from is kept unmapped by the window
// manager, so that wait never ends, and with it the program's one thread
// that serves the window: breaks, keys and the slideshow all stop. And
// SDL_RaiseWindow does nothing for a window that is not shown. On X11 the
// window manager is asked instead, with the EWMH request to activate the
// window (_NET_ACTIVE_WINDOW, as from a pager, for the user asked for it):
// it raises, de-iconifies or goes to the window's desktop as it sees fit,
// and nothing waits for its answer. Wayland has no such request for a
// client; SDL_RaiseWindow there only asks the compositor and returns.
#pragma once

#include <SDL.h>

namespace os::sdl {

// The EWMH request on X11; false when the window is not on X11 (or Xlib's
// calls cannot be had), so the caller falls back to SDL_RaiseWindow.
bool AskWindowManagerToActivate(SDL_Window* window);

}  // namespace os::sdl
