// The SDL2 backend: every screen is a real window on the desktop.
//
// SDL is called from one thread only, the one that started it (the
// program's own task). Other tasks reach a screen only through its palette
// (LoadRGB32 under the palette lock, which bumps paletteSerial); the owner
// sees the new serial and shows the colours on its next frame.
//
// Frames: the framebuffer rows that changed are scaled (nearest pixel) and
// converted straight into the window's own surface, and the changed part of
// the window updated, at most once per kFrameMs, from the drawing calls (so
// rows appear while they are decoded) and from the wait hook. The window
// surface is the only copy of the picture besides the framebuffer; a palette
// change costs one table lookup per source pixel and copies for the rest.
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
#include "platform/graphics/sdl/compose_table.h"
#include "platform/graphics/sdl/kept_window.h"
#include "platform/graphics/sdl/lut_row.h"
#include "platform/graphics/sdl/overlay.h"
#include "platform/graphics/sdl/palette_damage.h"
#include "platform/graphics/sdl/sdl_library.h"
#include "platform/graphics/sdl/view.h"
#include "platform/graphics/sdl/view_events.h"
#include "platform/graphics/sdl/wayland_seat.h"
#include "platform/graphics/sdl/window_size.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <langinfo.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/exec/exec_internal.h"
#include "platform/graphics/graphics_internal.h"

namespace os::sdl {

namespace {

// The loaded library; set once SDL is wanted and found.
const SdlLibrary* gSdl = nullptr;

constexpr uint64_t kFrameMs = 16;
// How long a new window waits for the window manager's frame.
constexpr uint64_t kFrameWaitMs = 1500;
// The wait sleeps until the next frame is due, so a picture standing still
// or cycling wakes the program once a frame (input is seen within a frame
// too), but never less than this.
constexpr uint64_t kMinSliceMs = 1;

struct SdlScreen {
    Screen* screen = nullptr;
    SDL_Window* window = nullptr;
    uint32_t dirtyTop = 0;       // framebuffer rows [dirtyTop, dirtyBottom) written, to show
    uint32_t dirtyBottom = 0;
    uint32_t paletteShown = 0;   // paletteSerial of the colours in the window
    bool needPresent = true;     // the whole window: exposed, resized, new
    bool rowsShown = false;      // a present has shown rows of the picture (written, not filled)
    bool fullScreen = false;
    Placement placed;            // the part of the bitmap shown, and where in the window surface
    std::vector<uint32_t> xMap;  // source x of every surface x, from the view's left edge (placed.srcX)
    ViewState view;              // scrolled and zoomed by the window's own controls (view.h)
    Drag drag;
    int surfaceW = 0;            // the window surface's size at the last present
    int surfaceH = 0;
    std::string info;            // the picture's facts (SetWindowInfo)
    bool overlay = false;        // F1: keys and facts over the picture
    uint64_t openedAt = 0;       // SDL_GetTicks64 when the window was made
    bool frameAllowed = false;   // sized for its window manager's frame
    bool closeAsked = false;     // the user closed the window
    uint64_t keptAt = 0;         // when its screen closed (kept_window.h)
    bool tookOverFullScreen = false;  // taken over by a new screen while full screen
    uint64_t refitUntil = 0;     // after leaving that full screen: sized for the new screen until then
    PaletteDamage damage;        // which parts a change of colours reaches
    std::vector<DamageRect> changed;  // Present's own: those parts, in the bitmap
    std::vector<SDL_Rect> parts;      // and what it draws, in the surface
    Rgb shownPalette[256];       // the colours in the window (8-bit screens)
    bool paletteKnown = false;   // shownPalette has been filled
};

void Destroy(SdlScreen* s) {
    if (s->window != nullptr) gSdl->SDL_DestroyWindow(s->window);
    delete s;
}

// The frame a window manager puts around a window, in pixels.
struct Borders {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
};

class SdlBackend final : public gfx::Backend {
public:
    bool available() override {
        if (state_.load(std::memory_order_acquire) == 0) Start();
        return state_.load(std::memory_order_acquire) == 1;
    }

    bool screenOpened(Screen* screen) override {
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

    void screenClosing(Screen* screen) override {
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

    void windowOpened(Window* window) override {
        SdlScreen* s = Of(window->WScreen);
        if (s == nullptr) return;
        ApplyPointer(window);
        gSdl->SDL_RaiseWindow(s->window);
        if (stopAtNextWindow_) Post(s, IDCMP_VANILLAKEY, 0x1B);  // the kept window was closed: stop
        stopAtNextWindow_ = false;
    }

    void windowClosing(Window*) override {
        if (!OnSdlThread()) return;
        gSdl->SDL_SetCursor(gSdl->SDL_GetDefaultCursor());
        gSdl->SDL_ShowCursor(SDL_ENABLE);
        FreeCustomCursor();
    }

    bool keepsAreaBeyondScreen() override { return true; }

    // The next picture starts from the first view.
    void discarding(Screen* screen) override {
        SdlScreen* s = Of(screen);
        if (s == nullptr) return;
        FirstView(s->view);
        s->drag = Drag{};
        s->needPresent = true;
    }
    void pixelArrayWritten(Screen*) override {}

    void rowsChanged(Screen* screen, uint32_t top, uint32_t bottom) override {
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
        if (!s->rowsShown || gSdl->SDL_GetTicks64() - lastFrame_ >= kFrameMs) Frame();
    }

    void pointerChanged(Window* window) override { ApplyPointer(window); }

    void toFront(Screen* screen) override {
        SdlScreen* s = Of(screen);
        if (s == nullptr) return;
        gSdl->SDL_RestoreWindow(s->window);
        gSdl->SDL_RaiseWindow(s->window);
    }

    void titleChanged(Window* window, const char* title) override {
        SdlScreen* s = Of(window->WScreen);
        if (s != nullptr) gSdl->SDL_SetWindowTitle(s->window, title);
    }

    void infoChanged(Window* window, const char* text) override {
        SdlScreen* s = Of(window->WScreen);
        if (s == nullptr) return;
        s->info = text;
        if (s->overlay) s->needPresent = true;
    }

    // Let go before something else than a picture: a close of the kept
    // window then stops no later picture.
    void releaseKept() override {
        if (!OnSdlThread()) return;
        DestroyKeptWindow();
        stopAtNextWindow_ = false;
    }

    void waitHook(uint32_t signalMask) override {
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

private:
    void Start() {
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

    // The window of a screen that closes is kept for the next screen
    // (kept_window.h); one at most. A window the user closed is not kept.
    void KeepWindow(SdlScreen* s) {
        if (kept_ != nullptr) Destroy(kept_);
        kept_ = nullptr;
        if (s->closeAsked) {
            Destroy(s);
            return;
        }
        s->screen = nullptr;
        s->keptAt = gSdl->SDL_GetTicks64();
        kept_ = s;
    }

    void DestroyKeptWindow() {
        if (kept_ == nullptr) return;
        if (kept_->closeAsked) stopAtNextWindow_ = true;  // closing it asked for a stop
        Destroy(kept_);
        kept_ = nullptr;
    }

    // While no screen is open, the kept window's events are taken (input
    // between pictures belongs to none of them; a close is noted) until an
    // awaited signal arrives or the moment has passed.
    void ServeKeptWindow(uint32_t signalMask) {
        while (kept_ != nullptr) {
            if (kept_->closeAsked || gSdl->SDL_GetTicks64() - kept_->keptAt >= kKeepWindowMs) {
                DestroyKeptWindow();
                return;
            }
            if ((SetSignal(0, 0) & signalMask) != 0) return;
            Pump();
            SleepSlice(signalMask, kFrameMs);  // events a frame apart, as while a picture is up
        }
    }

    void KeptWindowEvent(const SDL_WindowEvent& e) {
        if (kept_ == nullptr || gSdl->SDL_GetWindowID(kept_->window) != e.windowID) return;
        if (e.event == SDL_WINDOWEVENT_CLOSE) {
            kept_->closeAsked = true;
        } else if (e.event == SDL_WINDOWEVENT_EXPOSED) {
            gSdl->SDL_UpdateWindowSurface(kept_->window);  // still the last picture
        }
    }

    // The new screen takes over the kept window, when there is one and its
    // moment has not passed: resized where it stands (full screen stays as
    // it is), and not cleared before the new screen's first frame, which
    // draws all of it.
    bool TakeKeptWindow(Screen* screen, ClientSize size, SDL_Rect desk) {
        if (kept_ == nullptr) return false;
        Pump();  // what came between the pictures goes nowhere
        if (kept_->closeAsked || gSdl->SDL_GetTicks64() - kept_->keptAt >= kKeepWindowMs) {
            DestroyKeptWindow();
            return false;
        }
        SdlScreen* s = kept_;
        kept_ = nullptr;
        ScreenPrivate* sp = screen->priv;
        s->screen = screen;
        s->dirtyTop = 0;
        s->dirtyBottom = sp->height;
        s->paletteShown = sp->paletteSerial.load(std::memory_order_acquire);
        s->needPresent = true;
        s->rowsShown = false;
        s->placed = Placement{};
        FirstView(s->view);  // the new picture starts from its first view
        s->drag = Drag{};
        s->damage = PaletteDamage{};
        if (sp->allZero) s->damage.Fresh(*sp);
        s->paletteKnown = false;
        s->tookOverFullScreen = s->fullScreen;
        if (size.w > 0 && size.h > 0 && !s->fullScreen) {
            int w = 0, h = 0, x = 0, y = 0;
            gSdl->SDL_GetWindowSize(s->window, &w, &h);
            gSdl->SDL_GetWindowPosition(s->window, &x, &y);
            const WindowSpot spot = KeepInside(x, y, size.w, size.h, frame_.top, frame_.left, frame_.bottom,
                                               frame_.right, desk.x, desk.y, desk.w, desk.h);
            if (w != size.w || h != size.h) gSdl->SDL_SetWindowSize(s->window, size.w, size.h);
            if (spot.x != x || spot.y != y) gSdl->SDL_SetWindowPosition(s->window, spot.x, spot.y);
        }
        sp->backend = s;
        screens_.push_back(s);
        return true;
    }

    // A window that took a new screen over in full screen gets that screen's
    // size when full screen is left; the window manager puts back the size
    // it had before, so this is done again when that size arrives.
    void Refit(SdlScreen* s) {
        ScreenPrivate* sp = s->screen->priv;
        SDL_Rect desk = UsableDesktop();
        ClientSize want = WindowClientSize(sp->width, sp->height, desk.w - frame_.left - frame_.right,
                                           desk.h - frame_.top - frame_.bottom);
        int w = 0, h = 0;
        gSdl->SDL_GetWindowSize(s->window, &w, &h);
        if (want.w <= 0 || want.h <= 0 || (want.w == w && want.h == h)) return;
        gSdl->SDL_SetWindowSize(s->window, want.w, want.h);
    }

    static bool ShowsAWindow(const char* driver) {
        return driver != nullptr && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
    }

    // Up to `ms`, or until a signal of the mask arrives.
    static void SleepSlice(uint32_t signalMask, uint64_t ms) {
        TaskPrivate* p = internal::CurrentTask()->priv;
        std::unique_lock lock(p->mutex);
        p->wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return (p->signals & signalMask) != 0; });
    }

    bool OnSdlThread() const {
        return state_.load(std::memory_order_acquire) == 1 && std::this_thread::get_id() == sdlThread_;
    }

    SdlScreen* Of(Screen* screen) const {
        if (screen == nullptr || screen->priv == nullptr || !OnSdlThread()) return nullptr;
        return static_cast<SdlScreen*>(screen->priv->backend);
    }

    SdlScreen* ByWindowId(uint32_t id) const {
        for (SdlScreen* s : screens_)
            if (gSdl->SDL_GetWindowID(s->window) == id) return s;
        return nullptr;
    }

    bool WaitsForWindow(uint32_t signalMask) const {
        Task* me = FindTask(nullptr);
        for (SdlScreen* s : screens_) {
            Window* w = s->screen->priv->window;
            if (w == nullptr || w->UserPort == nullptr) continue;
            if (w->UserPort->mp_SigTask == me && (signalMask & (1u << w->UserPort->mp_SigBit)) != 0) return true;
        }
        return false;
    }

    void Post(SdlScreen* s, uint32_t imClass, uint16_t code) {
        if (s != nullptr) gfx::PostInput(s->screen->priv->window, imClass, code);
    }

    // The character of a key that has no text event: control keys and
    // Ctrl with a letter. Other keys without a character give nothing.
    static int ControlCode(const SDL_Keysym& key) {
        switch (key.sym) {
            case SDLK_ESCAPE: return 0x1B;
            case SDLK_TAB: return 0x09;
            case SDLK_RETURN:
            case SDLK_KP_ENTER: return 0x0D;
            case SDLK_BACKSPACE: return 0x08;
            case SDLK_DELETE: return 0x7F;
            default: break;
        }
        if ((key.mod & KMOD_CTRL) != 0 && (key.mod & (KMOD_ALT | KMOD_GUI)) == 0 && key.sym >= SDLK_a &&
            key.sym <= SDLK_z)
            return key.sym - SDLK_a + 1;
        return -1;
    }

    // The desktop less panels and docks (the work area a window manager
    // reports); the whole display, or 1024x768, when that is not known.
    SDL_Rect UsableDesktop() {
        SDL_Rect desk{0, 0, 0, 0};
        if (gSdl->SDL_GetDisplayUsableBounds(0, &desk) == 0 && desk.w > 0 && desk.h > 0) return desk;
        desk = SDL_Rect{0, 0, 1024, 768};
        SDL_DisplayMode mode;
        if (gSdl->SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
            desk.w = mode.w;
            desk.h = mode.h;
        }
        return desk;
    }

    // Once the window manager has put its frame around a new window, the
    // window is sized so that window and frame fit the usable desktop. The
    // frame is looked for while the window is new (kFrameWaitMs): on a bare
    // X server there is none and the window keeps its first size.
    void AllowForFrame(SdlScreen* s) {
        if (s->frameAllowed) return;
        if (gSdl->SDL_GetTicks64() - s->openedAt > kFrameWaitMs || s->fullScreen) {
            s->frameAllowed = true;
            return;
        }
        Borders frame;
        if (gSdl->SDL_GetWindowBordersSize(s->window, &frame.top, &frame.left, &frame.bottom, &frame.right) != 0) return;
        if (frame.top <= 0 && frame.left <= 0 && frame.bottom <= 0 && frame.right <= 0) return;
        if (frame.top < 0 || frame.left < 0 || frame.bottom < 0 || frame.right < 0) return;
        s->frameAllowed = true;
        frame_ = frame;
        ScreenPrivate* sp = s->screen->priv;
        SDL_Rect desk = UsableDesktop();
        ClientSize want = WindowClientSize(sp->width, sp->height, desk.w - frame.left - frame.right,
                                           desk.h - frame.top - frame.bottom);
        int w = 0, h = 0, x = 0, y = 0;
        gSdl->SDL_GetWindowSize(s->window, &w, &h);
        gSdl->SDL_GetWindowPosition(s->window, &x, &y);
        // Centred on the whole display, a window of the right size may
        // still lie partly over a panel.
        const bool inside = x - frame.left >= desk.x && y - frame.top >= desk.y &&
                            x + w + frame.right <= desk.x + desk.w && y + h + frame.bottom <= desk.y + desk.h;
        if (want.w == w && want.h == h && inside) return;
        if (want.w != w || want.h != h) gSdl->SDL_SetWindowSize(s->window, want.w, want.h);
        const int outerW = want.w + frame.left + frame.right;
        const int outerH = want.h + frame.top + frame.bottom;
        gSdl->SDL_SetWindowPosition(s->window, desk.x + (desk.w - outerW) / 2 + frame.left,
                                    desk.y + (desk.h - outerH) / 2 + frame.top);
        s->needPresent = true;
    }

    void Pump() {
        for (SdlScreen* s : screens_) AllowForFrame(s);
        SDL_Event e;
        while (gSdl->SDL_PollEvent(&e) != 0) {
            if (ViewControl(e)) continue;
            switch (e.type) {
                case SDL_WINDOWEVENT: {
                    SdlScreen* s = ByWindowId(e.window.windowID);
                    if (s == nullptr) {
                        KeptWindowEvent(e.window);
                        break;
                    }
                    if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                        s->closeAsked = true;
                        Post(s, IDCMP_VANILLAKEY, 0x1B);  // closing the window stops the run
                    } else if (e.window.event == SDL_WINDOWEVENT_ENTER) {
                        if (s->screen->priv->window != nullptr) ApplyPointer(s->screen->priv->window);
                    } else {
                        s->needPresent = true;  // exposed, resized, shown, restored
                        if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && s->refitUntil > gSdl->SDL_GetTicks64())
                            Refit(s);
                    }
                    break;
                }
                case SDL_KEYDOWN: {
                    SdlScreen* s = ByWindowId(e.key.windowID);
                    if (s == nullptr || e.key.repeat != 0) break;
                    if (e.key.keysym.sym == SDLK_F1) {
                        s->overlay = !s->overlay;
                        s->needPresent = true;
                        break;
                    }
                    if (e.key.keysym.sym == SDLK_F11) {
                        s->fullScreen = !s->fullScreen;
                        gSdl->SDL_SetWindowFullscreen(s->window, s->fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
                        s->needPresent = true;
                        if (!s->fullScreen && s->tookOverFullScreen) {
                            s->tookOverFullScreen = false;
                            s->refitUntil = gSdl->SDL_GetTicks64() + kFrameWaitMs;
                            Refit(s);
                        }
                        break;
                    }
                    if (e.key.keysym.sym == SDLK_PAGEUP || e.key.keysym.sym == SDLK_PAGEDOWN) {
                        Post(s, IDCMP_RAWKEY, e.key.keysym.sym == SDLK_PAGEUP ? RAWKEY_PAGEUP : RAWKEY_PAGEDOWN);
                        break;
                    }
                    int code = ControlCode(e.key.keysym);
                    if (code >= 0) Post(s, IDCMP_VANILLAKEY, static_cast<uint16_t>(code));
                    break;
                }
                case SDL_TEXTINPUT: {
                    SdlScreen* s = ByWindowId(e.text.windowID);
                    if (s == nullptr) break;
                    // Characters of Latin-1 are what a vanilla key carries.
                    const auto* p = reinterpret_cast<const unsigned char*>(e.text.text);
                    while (*p != 0) {
                        uint32_t c = *p++;
                        if (c >= 0xC0 && c < 0xE0 && (*p & 0xC0) == 0x80) {
                            c = ((c & 0x1F) << 6) | (*p++ & 0x3F);
                        } else if (c >= 0x80) {
                            while ((*p & 0xC0) == 0x80) ++p;
                            continue;
                        }
                        if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF))
                            Post(s, IDCMP_VANILLAKEY, static_cast<uint16_t>(c));
                    }
                    break;
                }
                case SDL_MOUSEBUTTONDOWN:
                case SDL_MOUSEBUTTONUP: {
                    SdlScreen* s = ByWindowId(e.button.windowID);
                    if (s == nullptr) break;
                    uint16_t code;
                    if (e.button.button == SDL_BUTTON_LEFT) code = SELECTDOWN;
                    else if (e.button.button == SDL_BUTTON_MIDDLE) code = MIDDLEDOWN;
                    else if (e.button.button == SDL_BUTTON_RIGHT) code = MENUDOWN;
                    else break;
                    if (e.type == SDL_MOUSEBUTTONUP) code = static_cast<uint16_t>(code | IECODE_UP_PREFIX);
                    Post(s, IDCMP_MOUSEBUTTONS, code);
                    break;
                }
                default: break;
            }
        }
    }

    // The view's own controls (view_events.h); true when the event was one.
    bool ViewControl(const SDL_Event& e) {
        uint32_t id = 0;
        if (e.type == SDL_KEYDOWN) id = e.key.windowID;
        else if (e.type == SDL_MOUSEWHEEL) id = e.wheel.windowID;
        else if (e.type == SDL_MOUSEMOTION) id = e.motion.windowID;
        else if (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) id = e.button.windowID;
        else return false;
        SdlScreen* s = ByWindowId(id);
        if (s == nullptr) return false;
        ScreenPrivate* sp = s->screen->priv;
        const ViewArea area{sp->width, sp->height, sp->bitmapWidth, sp->bitmapHeight, s->surfaceW, s->surfaceH};
        switch (HandleViewEvent(e, area, s->view, s->drag)) {
            case ViewEvent::NotMine: return false;
            case ViewEvent::Handled: return true;
            case ViewEvent::Moved: s->needPresent = true; return true;
            case ViewEvent::Click:
                Post(s, IDCMP_MOUSEBUTTONS, SELECTDOWN);
                Post(s, IDCMP_MOUSEBUTTONS, SELECTUP);
                return true;
        }
        return false;
    }

    bool HasUnshownRows() const {
        for (const SdlScreen* s : screens_) {
            if (s->dirtyTop < s->dirtyBottom) return true;
        }
        return false;
    }

    // One frame: events, then every screen with something new is presented.
    void Frame() {
        Pump();
        for (SdlScreen* s : screens_) {
            ScreenPrivate* sp = s->screen->priv;
            uint32_t serial = sp->paletteSerial.load(std::memory_order_acquire);
            const bool newColours = sp->depth == 8 && serial != s->paletteShown;
            if (s->dirtyTop < s->dirtyBottom || s->needPresent || newColours) Present(s);
        }
        lastFrame_ = gSdl->SDL_GetTicks64();
    }

    // Writes columns [left, right) of the picture's rows [top, bottom) of the
    // surface, each from its source row, repeating a row already made when
    // the source is the same.
    static void DrawRows(SdlScreen* s, SDL_Surface* surface, const uint32_t* lut, uint32_t top, uint32_t bottom,
                         uint32_t left, uint32_t right) {
        ScreenPrivate* sp = s->screen->priv;
        const Placement& r = s->placed;
        const int bpp = surface->format->BytesPerPixel;
        const bool packed = bpp == 4 && surface->format->Rmask == 0x00FF0000 && surface->format->Gmask == 0x0000FF00 &&
                            surface->format->Bmask == 0x000000FF;
        const uint32_t* xMap = s->xMap.data();
        // At a whole scale of 1 to 4 a part of a row that starts and ends on
        // a source pixel (the whole row, too) is a row of its own for LutRow.
        const uint32_t scale = r.srcW > 0 && r.w % r.srcW == 0 ? static_cast<uint32_t>(r.w / r.srcW) : 0;
        const bool wholePixels = scale >= 1 && scale <= 4 && left % scale == 0 && right % scale == 0;
        const size_t width = right - left;
        uint8_t* previous = nullptr;
        uint32_t previousSource = UINT32_MAX;
        for (uint32_t dy = top; dy < bottom; ++dy) {
            uint32_t sy = r.srcY + static_cast<uint32_t>(static_cast<uint64_t>(dy) * r.srcH / static_cast<uint32_t>(r.h));
            uint8_t* out = static_cast<uint8_t*>(surface->pixels) + static_cast<size_t>(r.y + static_cast<int>(dy)) * surface->pitch +
                           static_cast<size_t>(r.x) * bpp;
            if (sy == previousSource) {
                std::memcpy(out + left * bpp, previous + left * bpp, width * bpp);
                continue;
            }
            const uint8_t* src =
                sp->pixels + static_cast<size_t>(sy) * sp->stride + static_cast<size_t>(r.srcX) * sp->bytesPerPixel;
            if (packed) {
                auto* o = reinterpret_cast<uint32_t*>(out);
                if (sp->depth == 8 && wholePixels) {
                    LutRow(src + left / scale, static_cast<uint32_t>(width / scale), xMap, lut, o + left,
                           static_cast<uint32_t>(width));
                } else if (sp->depth == 8) {
                    for (uint32_t x = left; x < right; ++x) o[x] = lut[src[xMap[x]]];
                } else {
                    for (uint32_t x = left; x < right; ++x) {
                        const uint8_t* p = src + static_cast<size_t>(xMap[x]) * 3;
                        o[x] = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
                    }
                }
            } else {
                for (uint32_t x = left; x < right; ++x) {
                    uint32_t v;
                    if (sp->depth == 8) {
                        v = lut[src[xMap[x]]];
                    } else {
                        const uint8_t* p = src + static_cast<size_t>(xMap[x]) * 3;
                        v = gSdl->SDL_MapRGB(surface->format, p[0], p[1], p[2]);
                    }
                    std::memcpy(out + static_cast<size_t>(x) * bpp, &v, static_cast<size_t>(bpp));  // little-endian
                }
            }
            previous = out;
            previousSource = sy;
        }
    }

    void Present(SdlScreen* s) {
        ScreenPrivate* sp = s->screen->priv;
        SDL_Surface* surface = gSdl->SDL_GetWindowSurface(s->window);
        if (surface == nullptr || surface->w <= 0 || surface->h <= 0) return;
        s->surfaceW = surface->w;
        s->surfaceH = surface->h;
        // The overlay lies over rows that are drawn anew: it is drawn again
        // with the whole window.
        if (s->overlay) s->needPresent = true;
        const ViewArea area{sp->width, sp->height, sp->bitmapWidth, sp->bitmapHeight, surface->w, surface->h};
        const Placement placed = Place(area, s->view);
        if (placed.w <= 0 || placed.h <= 0) return;
        if (!(placed == s->placed)) s->needPresent = true;  // resized or moved: black around the new place
        bool whole = s->needPresent;
        if (whole) {
            s->placed = placed;
            s->xMap.resize(static_cast<size_t>(placed.w));
            for (int x = 0; x < placed.w; ++x)
                s->xMap[x] = static_cast<uint32_t>(static_cast<uint64_t>(x) * placed.srcW /
                                                                 static_cast<uint32_t>(placed.w));
        }
        uint32_t lut[256];
        uint32_t serial = sp->paletteSerial.load(std::memory_order_acquire);
        if (sp->depth == 8) {
            Rgb palette[256];
            {
                std::lock_guard<std::mutex> guard(sp->paletteLock);
                std::memcpy(palette, sp->palette, sizeof palette);
                serial = sp->paletteSerial.load(std::memory_order_acquire);
            }
            for (int i = 0; i < 256; ++i) lut[i] = gSdl->SDL_MapRGB(surface->format, palette[i].r, palette[i].g, palette[i].b);
            // New colours: the tiles that hold one of the changed entries.
            if (serial != s->paletteShown && !whole) {
                if (!s->paletteKnown) {
                    whole = true;
                } else {
                    s->damage.Changed(*sp, s->shownPalette, palette, s->changed);
                }
            }
            std::memcpy(s->shownPalette, palette, sizeof palette);
            s->paletteKnown = true;
        }
        s->paletteShown = serial;
        // The parts of the surface to draw: all of the picture, or the rows
        // written since the last present and the rectangles of new colours.
        // Surface x shows source column x * srcW / w, so the first surface x
        // at or after source column c is ceil(c * w / srcW); rows alike.
        std::vector<SDL_Rect>& parts = s->parts;
        parts.clear();
        auto toSurface = [](uint32_t from, uint32_t to, int srcStart, int srcSize, int size, int& first, int& end) {
            const uint64_t lo = std::clamp<uint64_t>(from, srcStart, uint64_t(srcStart) + srcSize) - srcStart;
            const uint64_t hi = std::clamp<uint64_t>(to, srcStart, uint64_t(srcStart) + srcSize) - srcStart;
            first = static_cast<int>((lo * size + srcSize - 1) / srcSize);
            end = static_cast<int>(std::min<uint64_t>((hi * size + srcSize - 1) / srcSize, size));
        };
        auto add = [&](const DamageRect& r) {
            int top, bottom, left, right;
            toSurface(r.top, r.bottom, placed.srcY, placed.srcH, placed.h, top, bottom);
            toSurface(r.left, r.right, placed.srcX, placed.srcW, placed.w, left, right);
            if (top < bottom && left < right) parts.push_back({left, top, right - left, bottom - top});
        };
        if (whole) {
            parts.push_back({0, 0, placed.w, placed.h});
        } else {
            if (s->dirtyTop < s->dirtyBottom) add({s->dirtyTop, s->dirtyBottom, 0, UINT32_MAX});
            for (const DamageRect& r : s->changed) add(r);  // only ever made for 8-bit screens
        }
        s->changed.clear();
        s->dirtyTop = s->dirtyBottom = 0;
        if (parts.empty()) return;
        if (SDL_MUSTLOCK(surface) && gSdl->SDL_LockSurface(surface) != 0) return;
        if (s->needPresent) gSdl->SDL_FillRect(surface, nullptr, gSdl->SDL_MapRGB(surface->format, 0, 0, 0));
        for (SDL_Rect& part : parts) {
            if (sp->allZero) {
                // Nothing drawn yet: every pixel is index 0 (black on a
                // 24-bit screen), one fill instead of reading the bitmap.
                SDL_Rect fill{placed.x + part.x, placed.y + part.y, part.w, part.h};
                gSdl->SDL_FillRect(surface, &fill, sp->depth == 8 ? lut[0] : gSdl->SDL_MapRGB(surface->format, 0, 0, 0));
            } else {
                DrawRows(s, surface, lut, static_cast<uint32_t>(part.y), static_cast<uint32_t>(part.y + part.h),
                         static_cast<uint32_t>(part.x), static_cast<uint32_t>(part.x + part.w));
            }
            part.x += placed.x;
            part.y += placed.y;
        }
        if (SDL_MUSTLOCK(surface)) gSdl->SDL_UnlockSurface(surface);
        if (s->overlay) DrawOverlay(s, surface);
        if (s->needPresent) {
            gSdl->SDL_UpdateWindowSurface(s->window);
        } else {
            gSdl->SDL_UpdateWindowSurfaceRects(s->window, parts.data(), static_cast<int>(parts.size()));
        }
        if (sp->drawn) s->rowsShown = true;  // picture rows, not a fill
        s->needPresent = false;
        gfx::NotePresented(s->screen);
    }

    // Only into the window's surface: the screen's bitmap never sees it.
    void DrawOverlay(SdlScreen* s, SDL_Surface* surface) {
        const uint32_t box = gSdl->SDL_MapRGB(surface->format, 24, 24, 40);
        const uint32_t ink = gSdl->SDL_MapRGB(surface->format, 240, 240, 240);
        LayOutOverlay(OverlayText(s->info), surface->w, surface->h, [&](const OverlayRect& r, bool text) {
            SDL_Rect rect{r.x, r.y, r.w, r.h};
            gSdl->SDL_FillRect(surface, &rect, text ? ink : box);
        });
    }

    void FreeCustomCursor() {
        if (customCursor_ != nullptr) {
            gSdl->SDL_FreeCursor(customCursor_);
            customCursor_ = nullptr;
        }
    }

    void ApplyPointer(Window* window) {
        if (!OnSdlThread() || window == nullptr || window->priv == nullptr) return;
        auto* wp = static_cast<WindowPrivate*>(window->priv);
        if (wp->pointerKind == PointerKind::Busy) {
            if (waitCursor_ == nullptr) waitCursor_ = gSdl->SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
            if (waitCursor_ != nullptr) gSdl->SDL_SetCursor(waitCursor_);
            gSdl->SDL_ShowCursor(SDL_ENABLE);
        } else if (wp->pointerKind == PointerKind::Custom && wp->pointer != nullptr) {
            const Object* o = wp->pointer;
            if (o->blank || o->width == 0 || o->height == 0) {
                gSdl->SDL_ShowCursor(SDL_DISABLE);
                return;
            }
            // Pen 1 black, pens 2 and 3 white; pen 0 is transparent.
            uint32_t bytesPerRow = (o->width + 7) / 8;
            std::vector<uint8_t> data(bytesPerRow * o->height, 0), mask(bytesPerRow * o->height, 0);
            for (uint32_t y = 0; y < o->height; ++y) {
                for (uint32_t x = 0; x < o->width; ++x) {
                    uint8_t pen = o->image[y * o->width + x];
                    if (pen == 0) continue;
                    uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
                    mask[y * bytesPerRow + x / 8] |= bit;
                    if (pen == 1) data[y * bytesPerRow + x / 8] |= bit;
                }
            }
            FreeCustomCursor();
            customCursor_ = gSdl->SDL_CreateCursor(data.data(), mask.data(), static_cast<int>(bytesPerRow * 8),
                                             static_cast<int>(o->height), 0, 0);
            if (customCursor_ != nullptr) gSdl->SDL_SetCursor(customCursor_);
            gSdl->SDL_ShowCursor(SDL_ENABLE);
        } else {
            gSdl->SDL_SetCursor(gSdl->SDL_GetDefaultCursor());
            gSdl->SDL_ShowCursor(SDL_ENABLE);
        }
    }

    // 0 not tried, 1 running, -1 unavailable. Waits of every task look at it;
    // everything else of SDL belongs to the thread that started it.
    std::atomic<int> state_{0};
    std::thread::id sdlThread_;
    std::vector<SdlScreen*> screens_;
    Borders frame_;  // the window manager's frame around the last window
    SdlScreen* kept_ = nullptr;      // the window of the screen closed last
    bool stopAtNextWindow_ = false;  // the kept window was closed by the user
    uint64_t lastFrame_ = 0;
    SDL_Cursor* waitCursor_ = nullptr;
    SDL_Cursor* customCursor_ = nullptr;
};

}  // namespace

}  // namespace os::sdl

namespace os::gfx {

Backend* CreateSdlBackend() {
    static sdl::SdlBackend backend;
    return &backend;
}

}  // namespace os::gfx
