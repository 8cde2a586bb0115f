#include "platform/graphics/sdl/x_connection.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include "platform/graphics/sdl/sdl_backend.h"

namespace os::sdl {

int XConnectionFd(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (gSdl->SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return -1;
    // A field of the display record (Xlib's ConnectionNumber), no call into Xlib.
    return ConnectionNumber(info.info.x11.display);
}

}  // namespace os::sdl
