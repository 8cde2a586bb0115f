// The SDL2 backend's table (sdl_backend.h): what the graphics model asks of
// it. What needs SDL goes to the display task as a command; what a frame
// only reads (rows written, presents held, the window wanted) is set here
// under the rows lock, for the display task's next frame.
#include "platform/graphics/sdl/sdl_backend.h"

#include "platform/graphics/sdl/window_front.h"

#include <algorithm>
#include <new>
#include <string>

namespace os::sdl {

const SdlLibrary* gSdl = nullptr;

bool SdlBackend::available() {
    std::call_once(startOnce_, [this] { BeginStart(); });
    return state_.load(std::memory_order_acquire) != -1;
}

// The record is made here, without SDL, so rows can be written at once;
// the display task makes the window once it is wanted (MakeWindow).
bool SdlBackend::screenOpened(Screen* screen) {
    if (!taskRunning_) return false;
    ScreenPrivate* sp = screen->priv;
    auto* s = new (std::nothrow) SdlScreen();
    if (s == nullptr) return false;
    s->screen = screen;
    s->owner = FindTask(nullptr);
    s->dirtyTop = 0;
    s->dirtyBottom = sp->height;
    s->paletteShown = sp->paletteSerial.load(std::memory_order_acquire);
    if (sp->allZero) s->damage.Fresh(*sp);  // a new bitmap: no row need be read
    sp->backend = s;
    std::lock_guard<std::mutex> guard(rowsLock_);
    screens_.push_back(s);
    return true;
}

void SdlBackend::screenClosing(Screen* screen) {
    SdlScreen* s = Of(screen);
    if (s == nullptr) return;
    Call([this, s] {
        {
            std::lock_guard<std::mutex> guard(rowsLock_);
            screens_.erase(std::remove(screens_.begin(), screens_.end(), s), screens_.end());
        }
        live_.erase(std::remove(live_.begin(), live_.end(), s), live_.end());
        if (s->window != nullptr) {
            KeepWindow(s);
        } else {
            delete s;  // never shown: nothing to keep
        }
    });
    screen->priv->backend = nullptr;
}

void SdlBackend::windowOpened(Window* window) {
    SdlScreen* s = Of(window->WScreen);
    if (s == nullptr) return;
    const auto* wp = static_cast<const WindowPrivate*>(window->priv);
    const PointerKind kind = wp->pointerKind;
    const Object* pointer = wp->pointer;
    Send([this, s, window, kind, pointer] {
        s->modelWindow = window;
        s->pointerKind = kind;
        s->pointer = pointer;
        WindowReady(s);
    });
}

void SdlBackend::windowClosing(Window* window) {
    SdlScreen* s = Of(window->WScreen);
    if (s == nullptr) return;
    Call([this, s] {
        s->modelWindow = nullptr;
        if (!Live()) return;
        gSdl->SDL_SetCursor(gSdl->SDL_GetDefaultCursor());
        gSdl->SDL_ShowCursor(SDL_ENABLE);
        FreeCustomCursor();
    });
}

// The next picture starts from the first view.
void SdlBackend::discarding(Screen* screen) {
    SdlScreen* s = Of(screen);
    if (s == nullptr) return;
    Send([s] {
        FirstView(s->view);
        s->drag = Drag{};
        s->needPresent = true;
    });
}

// Called for every row written: no command, only the record under the rows
// lock, and the display task woken only when it has something to do at once.
void SdlBackend::rowsChanged(Screen* screen, uint32_t top, uint32_t bottom) {
    SdlScreen* s = Of(screen);
    if (s == nullptr) return;
    const bool drawn = screen->priv->drawn;  // this task's own write
    bool wake = false;
    {
        std::lock_guard<std::mutex> guard(rowsLock_);
        if (s->pendingTop >= s->pendingBottom) {
            s->pendingTop = top;
            s->pendingBottom = bottom;
        } else {
            s->pendingTop = std::min(s->pendingTop, top);
            s->pendingBottom = std::max(s->pendingBottom, bottom);
        }
        // The first rows of a picture are shown at once (and bring its
        // window); after them, once a frame. A fill (the screen cleared for
        // the next picture) starts over.
        if (!drawn) s->rowsShown = false;
        if (drawn && !s->wanted) s->wanted = wake = true;
        if (!s->held && !s->rowsShown && !urgent_) urgent_ = wake = true;
    }
    if (wake) Kick();
}

void SdlBackend::holdPresents(Screen* screen, bool hold) {
    SdlScreen* s = Of(screen);
    if (s == nullptr) return;
    std::lock_guard<std::mutex> guard(rowsLock_);
    s->held = hold;
}

void SdlBackend::pointerChanged(Window* window) {
    SdlScreen* s = Of(window->WScreen);
    if (s == nullptr) return;
    const auto* wp = static_cast<const WindowPrivate*>(window->priv);
    const PointerKind kind = wp->pointerKind;
    const Object* pointer = wp->pointer;
    Send([this, s, kind, pointer] {
        s->pointerKind = kind;
        s->pointer = pointer;
        if (s->window != nullptr) ApplyPointer(s);
    });
}

void SdlBackend::toFront(Screen* screen) {
    SdlScreen* s = Of(screen);
    if (s == nullptr) return;
    Send([s] {
        if (s->window == nullptr) return;
        // Never SDL_RestoreWindow: on X11 it can wait for ever (window_front.h).
        if (!AskWindowManagerToActivate(s->window)) gSdl->SDL_RaiseWindow(s->window);
    });
}

void SdlBackend::titleChanged(Window* window, const char* title) {
    SdlScreen* s = Of(window->WScreen);
    if (s == nullptr) return;
    Send([s, text = std::string(title)] {
        s->title = text;
        if (s->window != nullptr) gSdl->SDL_SetWindowTitle(s->window, s->title.c_str());
    });
}

void SdlBackend::infoChanged(Window* window, const char* text) {
    SdlScreen* s = Of(window->WScreen);
    if (s == nullptr) return;
    Send([s, info = std::string(text)] {
        s->info = info;
        if (s->overlay) s->needPresent = true;
    });
}

// Let go before something else than a picture: a close of the kept
// window then stops no later picture.
void SdlBackend::releaseKept() {
    Call([this] {
        DestroyKeptWindow();
        stopAtNextWindow_ = false;
    });
}

// A screen's task that waits for its window's input or for a break (a wait a
// person can end: the picture finished, or the pause after the screen
// opened) wants that window on the desktop, and what it drew shown now:
// drawing has stopped for this wait. Its other waits (for the file's bytes,
// for rows decoded ahead) do not bring a window. The display task serves
// the window meanwhile; the wait itself is the task's own.
void SdlBackend::waitHook(uint32_t signalMask) {
    if (!taskRunning_) return;
    Task* me = FindTask(nullptr);
    bool wake = false;
    {
        std::lock_guard<std::mutex> guard(rowsLock_);
        for (SdlScreen* s : screens_) {
            if (s->owner != me) continue;  // only the owner touches the screen's window
            const Window* w = s->screen->priv->window;
            if (w == nullptr || w->UserPort == nullptr || w->UserPort->mp_SigTask != me ||
                (signalMask & ((1u << w->UserPort->mp_SigBit) | SIGBREAKF_CTRL_C)) == 0)
                continue;
            if (!s->wanted) s->wanted = wake = true;
            if (s->pendingTop < s->pendingBottom && !s->held) urgent_ = wake = true;
        }
    }
    if (wake) Kick();
}

SdlScreen* SdlBackend::Of(Screen* screen) const {
    if (screen == nullptr || screen->priv == nullptr) return nullptr;
    return static_cast<SdlScreen*>(screen->priv->backend);
}

SdlScreen* SdlBackend::ByWindowId(uint32_t id) const {
    for (SdlScreen* s : live_)
        if (s->window != nullptr && gSdl->SDL_GetWindowID(s->window) == id) return s;
    return nullptr;
}

void SdlBackend::Post(SdlScreen* s, uint32_t imClass, uint16_t code) {
    if (s != nullptr) gfx::PostInput(s->modelWindow, imClass, code);
}

}  // namespace os::sdl

namespace os::gfx {

// Never destroyed: its display task runs until the process ends.
Backend* CreateSdlBackend() {
    static sdl::SdlBackend* backend = new sdl::SdlBackend();
    return backend;
}

}  // namespace os::gfx
