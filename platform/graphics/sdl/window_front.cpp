#include "platform/graphics/sdl/window_front.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <mutex>

#include "platform/graphics/sdl/sdl_backend.h"

namespace os::sdl {
namespace {

// Xlib as SDL's X11 driver loaded it: looked up in the process, never loaded
// here, so a run without X (Wayland) does not pull it in.
struct Xlib {
    decltype(&::XInternAtom) internAtom = nullptr;
    decltype(&::XSendEvent) sendEvent = nullptr;
    decltype(&::XRaiseWindow) raiseWindow = nullptr;
    decltype(&::XFlush) flush = nullptr;
};

const Xlib* LoadedXlib() {
    static Xlib xlib;
    static bool found = false;
    static std::once_flag once;
    std::call_once(once, [] {
        // Kept to the end of the process, as SDL keeps the library itself.
        void* handle = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
        if (handle == nullptr) return;
        xlib.internAtom = reinterpret_cast<decltype(xlib.internAtom)>(dlsym(handle, "XInternAtom"));
        xlib.sendEvent = reinterpret_cast<decltype(xlib.sendEvent)>(dlsym(handle, "XSendEvent"));
        xlib.raiseWindow = reinterpret_cast<decltype(xlib.raiseWindow)>(dlsym(handle, "XRaiseWindow"));
        xlib.flush = reinterpret_cast<decltype(xlib.flush)>(dlsym(handle, "XFlush"));
        found = xlib.internAtom != nullptr && xlib.sendEvent != nullptr && xlib.raiseWindow != nullptr &&
                xlib.flush != nullptr;
    });
    return found ? &xlib : nullptr;
}

}  // namespace

bool AskWindowManagerToActivate(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (gSdl->SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return false;
    const Xlib* x = LoadedXlib();
    if (x == nullptr) return false;
    Display* display = info.info.x11.display;
    const ::Window xwindow = info.info.x11.window;
    // The atom is the server's answer to a lookup, not the window manager's.
    const Atom active = x->internAtom(display, "_NET_ACTIVE_WINDOW", False);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = xwindow;
    e.xclient.message_type = active;
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // source: a pager, that is the user's own request
    e.xclient.data.l[1] = CurrentTime;
    e.xclient.data.l[2] = 0;
    x->sendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    // Without a window manager nothing answers the request; a mapped window
    // is raised all the same.
    x->raiseWindow(display, xwindow);
    x->flush(display);
    return true;
}

}  // namespace os::sdl
