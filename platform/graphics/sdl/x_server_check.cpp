#include "platform/graphics/sdl/x_server_check.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <chrono>
#include <thread>

namespace os::sdl {

bool XServerAnswers() {
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (xlib == nullptr) return false;
    auto open = reinterpret_cast<Display* (*)(const char*)>(dlsym(xlib, "XOpenDisplay"));
    auto close = reinterpret_cast<int (*)(Display*)>(dlsym(xlib, "XCloseDisplay"));
    if (open == nullptr || close == nullptr) return false;
    // Xlib keeps a few blocks of its own (locale, resource database) to the
    // end of the process, as it does for SDL.
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
#endif
    // As SDL's start does: a server whose queue of new connections is full
    // refuses one for a moment, one that is not there refuses every try.
    bool answered = false;
    for (int attempt = 0; attempt < 4 && !answered; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(40));
        Display* display = open(nullptr);
        if (display != nullptr) {
            close(display);
            answered = true;
        }
    }
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    return answered;  // Xlib stays loaded: SDL takes it next
}

}  // namespace os::sdl
