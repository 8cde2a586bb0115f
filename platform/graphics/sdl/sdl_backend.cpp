// The SDL2 backend's table (sdl_backend.h): what the graphics model asks of
// it, the start of SDL, and the wait for window input.
//
// While the program waits for window input the hook stays in a loop of its
// own: events (input, expose, resize, close), frames for palette changes,
// and a short sleep, until one of the awaited signals arrives.
//
// The sleep is the task's own signal wait with a time limit, never one of
// SDL's waits for an event. SDL 2's X11 driver arms a "wake-up" in those:
// when any event is queued during the wait it sends a client message to the
// waited-on window over a second X connection. The key or click that ends a
// picture is such an event, and the program destroys that window moments
// later over the main connection. The X server serves its clients in turn,
// not in the order their requests were written, so now and then it performs
// the destroy before the send, answers the send with BadWindow, and Xlib's
// default handler ends the process with 1 on the next wake-up. Window
// managers make that likely (the server is busy with their requests while
// windows come and go). Only one thread calls SDL here and nothing else
// queues SDL events, so no wake-up is needed: polling after the sleep sees
// everything the wait would have.
#include "platform/graphics/sdl/sdl_backend.h"

#include "platform/graphics/sdl/compose_table.h"
#include "platform/graphics/sdl/kept_window.h"
#include "platform/graphics/sdl/wayland_seat.h"
#include "platform/graphics/sdl/window_front.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <langinfo.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "platform/exec/exec_internal.h"

namespace os::sdl {

const SdlLibrary* gSdl = nullptr;

bool SdlBackend::available() {
    if (state_.load(std::memory_order_acquire) == 0) Start();
    return state_.load(std::memory_order_acquire) == 1;
}

bool SdlBackend::screenOpened(Screen* screen) {
    if (!OnSdlThread()) return false;
    ScreenPrivate* sp = screen->priv;
    // The window with its frame fits the usable desktop. The frame is
    // known only once the window manager has framed the window, so a
    // window opens at the size the frame of the last one (or none)
    // allows and is made smaller, and centred again, when its own frame
    // needs that (AllowForFrame).
    SDL_Rect desk = UsableDesktop();
    ClientSize size = WindowClientSize(sp->width, sp->height, desk.w - frame_.left - frame_.right,
                                       desk.h - frame_.top - frame_.bottom);
    if (TakeKeptWindow(screen, size, desk)) return true;
    auto* s = new (std::nothrow) SdlScreen();
    if (s == nullptr) return false;
    s->screen = screen;
    s->window = gSdl->SDL_CreateWindow("Lanterna", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.w, size.h,
                                 SDL_WINDOW_RESIZABLE);
    if (s->window == nullptr) {
        Destroy(s);
        return false;
    }
    s->openedAt = gSdl->SDL_GetTicks64();
    AllowForFrame(s);
    s->dirtyTop = 0;
    s->dirtyBottom = sp->height;
    s->paletteShown = sp->paletteSerial.load(std::memory_order_acquire);
    if (sp->allZero) s->damage.Fresh(*sp);  // a new bitmap: no row need be read
    sp->backend = s;
    screens_.push_back(s);
    Present(s);
    return true;
}

void SdlBackend::screenClosing(Screen* screen) {
    auto* s = static_cast<SdlScreen*>(screen->priv->backend);
    if (s == nullptr) return;
    for (size_t i = 0; i < screens_.size(); ++i) {
        if (screens_[i] == s) {
            screens_.erase(screens_.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    screen->priv->backend = nullptr;
    if (OnSdlThread()) KeepWindow(s);
}

void SdlBackend::windowOpened(Window* window) {
    SdlScreen* s = Of(window->WScreen);
    if (s == nullptr) return;
    ApplyPointer(window);
    gSdl->SDL_RaiseWindow(s->window);
    if (stopAtNextWindow_) Post(s, IDCMP_VANILLAKEY, 0x1B);  // the kept window was closed: stop
    stopAtNextWindow_ = false;
}

void SdlBackend::windowClosing(Window*) {
    if (!OnSdlThread()) return;
    gSdl->SDL_SetCursor(gSdl->SDL_GetDefaultCursor());
    gSdl->SDL_ShowCursor(SDL_ENABLE);
    FreeCustomCursor();
}

// The next picture starts from the first view.
void SdlBackend::discarding(Screen* screen) {
    SdlScreen* s = Of(screen);
    if (s == nullptr) return;
    FirstView(s->view);
    s->drag = Drag{};
    s->needPresent = true;
}

void SdlBackend::rowsChanged(Screen* screen, uint32_t top, uint32_t bottom) {
    SdlScreen* s = Of(screen);
    if (s == nullptr) return;
    s->damage.Written(top, bottom);
    if (s->dirtyTop >= s->dirtyBottom) {
        s->dirtyTop = top;
        s->dirtyBottom = bottom;
    } else {
        if (top < s->dirtyTop) s->dirtyTop = top;
        if (bottom > s->dirtyBottom) s->dirtyBottom = bottom;
    }
    // The first rows of a picture are shown at once; after them, once a
    // frame. A fill (the screen cleared for the next picture) starts over.
    if (!screen->priv->drawn) s->rowsShown = false;
    if (!s->held && (!s->rowsShown || gSdl->SDL_GetTicks64() - lastFrame_ >= kFrameMs)) Frame();
}

void SdlBackend::holdPresents(Screen* screen, bool hold) {
    SdlScreen* s = Of(screen);
    if (s != nullptr) s->held = hold;
}

void SdlBackend::toFront(Screen* screen) {
    SdlScreen* s = Of(screen);
    if (s == nullptr) return;
    // Never SDL_RestoreWindow: on X11 it can wait for ever (window_front.h).
    if (!AskWindowManagerToActivate(s->window)) gSdl->SDL_RaiseWindow(s->window);
}

void SdlBackend::titleChanged(Window* window, const char* title) {
    SdlScreen* s = Of(window->WScreen);
    if (s != nullptr) gSdl->SDL_SetWindowTitle(s->window, title);
}

void SdlBackend::infoChanged(Window* window, const char* text) {
    SdlScreen* s = Of(window->WScreen);
    if (s == nullptr) return;
    s->info = text;
    if (s->overlay) s->needPresent = true;
}

// Let go before something else than a picture: a close of the kept
// window then stops no later picture.
void SdlBackend::releaseKept() {
    if (!OnSdlThread()) return;
    DestroyKeptWindow();
    stopAtNextWindow_ = false;
}

void SdlBackend::waitHook(uint32_t signalMask) {
    if (!OnSdlThread()) return;
    if (screens_.empty()) {
        ServeKeptWindow(signalMask);
        return;
    }
    if (!WaitsForWindow(signalMask)) {
        if (gSdl->SDL_GetTicks64() - lastFrame_ >= kFrameMs) Frame();
        return;
    }
    // Drawing has stopped for this wait: the rows drawn since the last
    // frame are shown now, not when the next frame is due.
    if (HasUnshownRows()) Frame();
    for (;;) {
        if ((SetSignal(0, 0) & signalMask) != 0) return;
        uint64_t since = gSdl->SDL_GetTicks64() - lastFrame_;
        if (since >= kFrameMs) {
            Frame();
            since = 0;
        } else {
            Pump();
        }
        SleepSlice(signalMask, kFrameMs - since > kMinSliceMs ? kFrameMs - since : kMinSliceMs);
    }
}

void SdlBackend::Start() {
    state_.store(-1, std::memory_order_release);
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    // Left to itself SDL falls back, when the desktop's server cannot be
    // reached (a stale DISPLAY), to drivers that show nothing to anyone:
    // the run would then wait for input that never comes, or say "Done."
    // for pictures nobody saw. Only the drivers of a desktop a person
    // looks at are tried, for the servers the environment names, unless
    // SDL_VIDEODRIVER names a driver itself.
    const bool named = driver != nullptr && *driver != '\0';
    std::string drivers;
    if (!named) {
        if (wl != nullptr && *wl != '\0' && WaylandCompositorHasSeat()) drivers = "wayland";
        if (x != nullptr && *x != '\0') drivers += drivers.empty() ? "x11" : ",x11";
        if (drivers.empty()) return;
    }
    gSdl = LoadSdlLibrary();
    if (gSdl == nullptr) return;
    // Over an empty SDL_VIDEODRIVER in the environment too.
    if (!named) gSdl->SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers.c_str(), SDL_HINT_OVERRIDE);
    // Ctrl-C and termination are the platform's break signals, not SDL's.
    gSdl->SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    gSdl->SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // The desktop-bus library that SDL starts for input methods keeps a
    // block of its own to the end of the process; the leak checker of
    // the sanitizer builds need not report it.
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
#endif
    // Xlib converts window titles (UTF-8) through the character type of
    // the C library's locale, which is "C" until someone sets it: titles
    // beyond ASCII would reach the desktop mangled. The user's own is
    // taken when it is UTF-8, else C.UTF-8; the rest of the program
    // handles its text byte by byte and is not changed by it.
    const char* ctype = std::setlocale(LC_CTYPE, "");
    if (ctype == nullptr || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
    // A display server that is busy can refuse a connection for a moment
    // (its queue of new connections is full): SDL then finds no driver.
    // A few tries a short while apart tell that from a display that is
    // not there, which still fails within a fraction of a second.
    bool started = false;
    {
        const EmptyComposeTableWhileStarting quickStart;
        for (int attempt = 0; attempt < 4 && !started; ++attempt) {
            if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(40));
            started = gSdl->SDL_Init(SDL_INIT_VIDEO) == 0;
        }
    }
    if (started) gSdl->SDL_StartTextInput();
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    if (!started) return;
    if (!named && !ShowsAWindow(gSdl->SDL_GetCurrentVideoDriver())) {
        gSdl->SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return;
    }
    // On X the window surface goes to the server's own shared-memory
    // images, not through a 3-D renderer that may be emulated in
    // software. Wayland has no such images: there a window surface is
    // only had through SDL's renderer, so its own choice stands.
    const char* current = gSdl->SDL_GetCurrentVideoDriver();
    if (current != nullptr && std::strcmp(current, "x11") == 0)
        gSdl->SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    sdlThread_ = std::this_thread::get_id();
    state_.store(1, std::memory_order_release);
    // SDL stays up until the process ends: every window has been closed
    // by then, and its connections go with the process.
}

bool SdlBackend::ShowsAWindow(const char* driver) {
    return driver != nullptr && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
}

// Up to `ms`, or until a signal of the mask arrives.
void SdlBackend::SleepSlice(uint32_t signalMask, uint64_t ms) {
    TaskPrivate* p = internal::CurrentTask()->priv;
    std::unique_lock lock(p->mutex);
    p->wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return (p->signals & signalMask) != 0; });
}

bool SdlBackend::OnSdlThread() const {
    return state_.load(std::memory_order_acquire) == 1 && std::this_thread::get_id() == sdlThread_;
}

SdlScreen* SdlBackend::Of(Screen* screen) const {
    if (screen == nullptr || screen->priv == nullptr || !OnSdlThread()) return nullptr;
    return static_cast<SdlScreen*>(screen->priv->backend);
}

SdlScreen* SdlBackend::ByWindowId(uint32_t id) const {
    for (SdlScreen* s : screens_)
        if (gSdl->SDL_GetWindowID(s->window) == id) return s;
    return nullptr;
}

bool SdlBackend::WaitsForWindow(uint32_t signalMask) const {
    Task* me = FindTask(nullptr);
    for (SdlScreen* s : screens_) {
        Window* w = s->screen->priv->window;
        if (w == nullptr || w->UserPort == nullptr) continue;
        if (w->UserPort->mp_SigTask == me && (signalMask & (1u << w->UserPort->mp_SigBit)) != 0) return true;
    }
    return false;
}

void SdlBackend::Post(SdlScreen* s, uint32_t imClass, uint16_t code) {
    if (s != nullptr) gfx::PostInput(s->screen->priv->window, imClass, code);
}

}  // namespace os::sdl

namespace os::gfx {

Backend* CreateSdlBackend() {
    static sdl::SdlBackend backend;
    return &backend;
}

}  // namespace os::gfx
