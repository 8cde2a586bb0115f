#include "platform/graphics/sdl/wayland_work_area.h"

#include <dlfcn.h>
#include <wayland-client.h>

#include <cstring>

namespace os::sdl {

namespace {

// The part of xdg-shell (version 1) the question needs, as its protocol
// description defines it: the messages up to the last one sent, in order.
// Only a new object's type is ever looked at here; the other types are left
// out.
extern const wl_interface kToplevel;
extern const wl_interface kXdgSurface;
const wl_interface* kNoTypes[4] = {nullptr, nullptr, nullptr, nullptr};
const wl_interface* kToplevelType[1] = {&kToplevel};
const wl_interface* kXdgSurfaceTypes[2] = {&kXdgSurface, nullptr};

const wl_message kToplevelRequests[] = {
    {"destroy", "", kNoTypes},       {"set_parent", "?o", kNoTypes},    {"set_title", "s", kNoTypes},
    {"set_app_id", "s", kNoTypes},   {"show_window_menu", "ouii", kNoTypes}, {"move", "ou", kNoTypes},
    {"resize", "ouu", kNoTypes},     {"set_max_size", "ii", kNoTypes},  {"set_min_size", "ii", kNoTypes},
    {"set_maximized", "", kNoTypes}};
const wl_message kToplevelEvents[] = {{"configure", "iia", kNoTypes}, {"close", "", kNoTypes}};
const wl_interface kToplevel = {"xdg_toplevel", 1, 10, kToplevelRequests, 2, kToplevelEvents};

const wl_message kXdgSurfaceRequests[] = {{"destroy", "", kNoTypes}, {"get_toplevel", "n", kToplevelType}};
const wl_message kXdgSurfaceEvents[] = {{"configure", "u", kNoTypes}};
const wl_interface kXdgSurface = {"xdg_surface", 1, 2, kXdgSurfaceRequests, 1, kXdgSurfaceEvents};

const wl_message kWmBaseRequests[] = {{"destroy", "", kNoTypes},
                                      {"create_positioner", "n", kNoTypes},
                                      {"get_xdg_surface", "no", kXdgSurfaceTypes},
                                      {"pong", "u", kNoTypes}};
const wl_message kWmBaseEvents[] = {{"ping", "u", kNoTypes}};
const wl_interface kWmBase = {"xdg_wm_base", 1, 4, kWmBaseRequests, 1, kWmBaseEvents};

constexpr uint32_t kBind = 0;                 // wl_registry
constexpr uint32_t kCreateSurface = 0;        // wl_compositor
constexpr uint32_t kCommit = 6;               // wl_surface
constexpr uint32_t kDestroy = 0;              // every object here
constexpr uint32_t kGetXdgSurface = 2, kPong = 3;
constexpr uint32_t kGetToplevel = 1;
constexpr uint32_t kSetMaximized = 9;

// The calls of libwayland-client, loaded for the question (SDL loads it for
// good on its own).
struct Client {
    decltype(&::wl_display_connect) connect = nullptr;
    decltype(&::wl_display_disconnect) disconnect = nullptr;
    decltype(&::wl_display_roundtrip) roundtrip = nullptr;
    decltype(&::wl_proxy_marshal_flags) marshal = nullptr;
    decltype(&::wl_proxy_add_listener) addListener = nullptr;
    decltype(&::wl_proxy_destroy) destroy = nullptr;
    const wl_interface* registry = nullptr;
    const wl_interface* compositor = nullptr;
    const wl_interface* surface = nullptr;
};

template <typename T>
bool Find(void* handle, const char* name, T& out) {
    out = reinterpret_cast<T>(dlsym(handle, name));
    return out != nullptr;
}

bool Resolve(void* h, Client& c) {
    return Find(h, "wl_display_connect", c.connect) && Find(h, "wl_display_disconnect", c.disconnect) &&
           Find(h, "wl_display_roundtrip", c.roundtrip) && Find(h, "wl_proxy_marshal_flags", c.marshal) &&
           Find(h, "wl_proxy_add_listener", c.addListener) && Find(h, "wl_proxy_destroy", c.destroy) &&
           (c.registry = static_cast<const wl_interface*>(dlsym(h, "wl_registry_interface"))) != nullptr &&
           (c.compositor = static_cast<const wl_interface*>(dlsym(h, "wl_compositor_interface"))) != nullptr &&
           (c.surface = static_cast<const wl_interface*>(dlsym(h, "wl_surface_interface"))) != nullptr;
}

struct Question {
    const Client* client = nullptr;
    wl_proxy* registry = nullptr;
    wl_proxy* compositor = nullptr;
    wl_proxy* wmBase = nullptr;
    bool configured = false;
    WorkArea area;
};

using Listener = void (**)(void);
template <typename T>
Listener Of(const T& listener) {
    return reinterpret_cast<Listener>(const_cast<T*>(&listener));
}

void Global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t) {
    auto* q = static_cast<Question*>(data);
    const Client& c = *q->client;
    auto bind = [&](const wl_interface* type) {
        return c.marshal(q->registry, kBind, type, 1, 0, name, type->name, 1u, nullptr);
    };
    if (q->compositor == nullptr && std::strcmp(interface, "wl_compositor") == 0) q->compositor = bind(c.compositor);
    if (q->wmBase == nullptr && std::strcmp(interface, "xdg_wm_base") == 0) q->wmBase = bind(&kWmBase);
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {&Global, &GlobalRemove};

void Ping(void* data, wl_proxy* wmBase, uint32_t serial) {
    static_cast<Question*>(data)->client->marshal(wmBase, kPong, nullptr, 1, 0, serial);
}
struct WmBaseListener {
    void (*ping)(void*, wl_proxy*, uint32_t);
} const kWmBaseListener = {&Ping};

void SurfaceConfigure(void* data, wl_proxy*, uint32_t) { static_cast<Question*>(data)->configured = true; }
struct XdgSurfaceListener {
    void (*configure)(void*, wl_proxy*, uint32_t);
} const kXdgSurfaceListener = {&SurfaceConfigure};

void ToplevelConfigure(void* data, wl_proxy*, int32_t w, int32_t h, wl_array*) {
    static_cast<Question*>(data)->area = WorkArea{w > 0 ? w : 0, h > 0 ? h : 0};
}
void ToplevelClose(void*, wl_proxy*) {}
struct ToplevelListener {
    void (*configure)(void*, wl_proxy*, int32_t, int32_t, wl_array*);
    void (*close)(void*, wl_proxy*);
} const kToplevelListener = {&ToplevelConfigure, &ToplevelClose};

// Destroys the object: with its destructor request where it has one.
void Release(const Client& c, wl_proxy* p, bool request) {
    if (p == nullptr) return;
    if (request) {
        c.marshal(p, kDestroy, nullptr, 1, WL_MARSHAL_FLAG_DESTROY);
    } else {
        c.destroy(p);
    }
}

WorkArea Ask(const Client& c) {
    wl_display* display = c.connect(nullptr);
    if (display == nullptr) return {};
    Question q;
    q.client = &c;
    auto* displayProxy = reinterpret_cast<wl_proxy*>(display);
    q.registry = c.marshal(displayProxy, WL_DISPLAY_GET_REGISTRY, c.registry, 1, 0, nullptr);
    wl_proxy* surface = nullptr;
    wl_proxy* xdgSurface = nullptr;
    wl_proxy* toplevel = nullptr;
    if (q.registry != nullptr && c.addListener(q.registry, Of(kRegistryListener), &q) == 0) c.roundtrip(display);
    if (q.compositor != nullptr && q.wmBase != nullptr && c.addListener(q.wmBase, Of(kWmBaseListener), &q) == 0) {
        surface = c.marshal(q.compositor, kCreateSurface, c.surface, 1, 0, nullptr);
        if (surface != nullptr) xdgSurface = c.marshal(q.wmBase, kGetXdgSurface, &kXdgSurface, 1, 0, nullptr, surface);
        if (xdgSurface != nullptr && c.addListener(xdgSurface, Of(kXdgSurfaceListener), &q) == 0)
            toplevel = c.marshal(xdgSurface, kGetToplevel, &kToplevel, 1, 0, nullptr);
        if (toplevel != nullptr && c.addListener(toplevel, Of(kToplevelListener), &q) == 0) {
            c.marshal(toplevel, kSetMaximized, nullptr, 1, 0);
            c.marshal(surface, kCommit, nullptr, 1, 0);  // no content: the surface is never shown
            for (int i = 0; i < 3 && !q.configured; ++i)
                if (c.roundtrip(display) < 0) break;
        }
    }
    Release(c, toplevel, true);
    Release(c, xdgSurface, true);
    Release(c, surface, true);
    Release(c, q.wmBase, true);
    Release(c, q.compositor, false);
    Release(c, q.registry, false);
    c.roundtrip(display);  // the destruction reaches the compositor before the connection goes
    c.disconnect(display);
    return q.configured ? q.area : WorkArea{};
}

}  // namespace

WorkArea WaylandWorkArea() {
    void* handle = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return {};
    Client client;
    const WorkArea area = Resolve(handle, client) ? Ask(client) : WorkArea{};
    dlclose(handle);
    return area;
}

}  // namespace os::sdl
