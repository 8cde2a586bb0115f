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
    if (open == nullptr) return false;
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
        // Kept open to the end of the process: after a client closes its
        // connection the server takes the next one (SDL's, moments later)
        // 20 to 30 ms late, longer than SDL's whole start.
        static Display* kept = nullptr;
        kept = open(nullptr);
        answered = kept != nullptr;
    }
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    return answered;  // Xlib stays loaded: SDL takes it next
}

}  // namespace os::sdl
