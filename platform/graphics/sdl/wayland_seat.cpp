#include "platform/graphics/sdl/wayland_seat.h"

#include <dlfcn.h>
#include <wayland-client.h>

#include <cstring>

namespace os::sdl {

namespace {

// The few libwayland-client calls the question needs; the library is loaded
// and let go again, it is SDL's to load for good.
struct WaylandClient {
    decltype(&::wl_display_connect) connect = nullptr;
    decltype(&::wl_display_disconnect) disconnect = nullptr;
    decltype(&::wl_display_roundtrip) roundtrip = nullptr;
    decltype(&::wl_proxy_marshal_constructor) marshalConstructor = nullptr;
    decltype(&::wl_proxy_add_listener) addListener = nullptr;
    decltype(&::wl_proxy_destroy) destroy = nullptr;
    const wl_interface* registryInterface = nullptr;
};

bool Resolve(void* handle, WaylandClient& c) {
    c.connect = reinterpret_cast<decltype(c.connect)>(dlsym(handle, "wl_display_connect"));
    c.disconnect = reinterpret_cast<decltype(c.disconnect)>(dlsym(handle, "wl_display_disconnect"));
    c.roundtrip = reinterpret_cast<decltype(c.roundtrip)>(dlsym(handle, "wl_display_roundtrip"));
    c.marshalConstructor =
        reinterpret_cast<decltype(c.marshalConstructor)>(dlsym(handle, "wl_proxy_marshal_constructor"));
    c.addListener = reinterpret_cast<decltype(c.addListener)>(dlsym(handle, "wl_proxy_add_listener"));
    c.destroy = reinterpret_cast<decltype(c.destroy)>(dlsym(handle, "wl_proxy_destroy"));
    c.registryInterface = static_cast<const wl_interface*>(dlsym(handle, "wl_registry_interface"));
    return c.connect != nullptr && c.disconnect != nullptr && c.roundtrip != nullptr &&
           c.marshalConstructor != nullptr && c.addListener != nullptr && c.destroy != nullptr &&
           c.registryInterface != nullptr;
}

void Global(void* data, wl_registry* /*registry*/, uint32_t /*name*/, const char* interface, uint32_t /*version*/) {
    if (interface != nullptr && std::strcmp(interface, "wl_seat") == 0) *static_cast<bool*>(data) = true;
}

void GlobalRemove(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

const wl_registry_listener kListener = {&Global, &GlobalRemove};

bool Ask(const WaylandClient& c) {
    wl_display* display = c.connect(nullptr);
    if (display == nullptr) return false;
    bool seat = false;
    auto* registry = reinterpret_cast<wl_proxy*>(
        c.marshalConstructor(reinterpret_cast<wl_proxy*>(display), WL_DISPLAY_GET_REGISTRY, c.registryInterface, nullptr));
    if (registry != nullptr) {
        // The globals come with the answer to the first round trip.
        if (c.addListener(registry, reinterpret_cast<void (**)(void)>(const_cast<wl_registry_listener*>(&kListener)),
                          &seat) == 0)
            c.roundtrip(display);
        c.destroy(registry);
    }
    c.disconnect(display);
    return seat;
}

}  // namespace

bool WaylandCompositorHasSeat() {
    void* handle = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return false;
    WaylandClient client;
    const bool seat = Resolve(handle, client) && Ask(client);
    dlclose(handle);
    return seat;
}

}  // namespace os::sdl
