#include "platform/graphics/sdl/sdl_library.h"

#include <dlfcn.h>

#include <mutex>

namespace os::sdl {

const SdlLibrary* LoadSdlLibrary() {
    static SdlLibrary library;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        // RTLD_NODELETE: SDL stays mapped to the end of the process, as its
        // threads and atexit handlers expect.
        void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (handle == nullptr) return;
        bool complete = true;
#define LANTERNA_SDL_RESOLVE(name)                                               \
    library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, #name)); \
    complete = complete && library.name != nullptr;
        LANTERNA_SDL_FUNCTIONS(LANTERNA_SDL_RESOLVE)
#undef LANTERNA_SDL_RESOLVE
        library.SDL_GetWindowWMInfo =
            reinterpret_cast<decltype(library.SDL_GetWindowWMInfo)>(dlsym(handle, "SDL_GetWindowWMInfo"));
        complete = complete && library.SDL_GetWindowWMInfo != nullptr;
        loaded = complete;
    });
    return loaded ? &library : nullptr;
}

}  // namespace os::sdl
