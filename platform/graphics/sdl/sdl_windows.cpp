// The SDL2 backend's windows (sdl_backend.h): the one kept for the next
// screen (kept_window.h), the size a window gets once its window manager's
// frame is known, and the pointer over it.
#include "platform/graphics/sdl/sdl_backend.h"

#include "platform/graphics/sdl/kept_window.h"
#include "platform/graphics/sdl/x_connection.h"

#include <cstdint>
#include <mutex>
#include <vector>


namespace os::sdl {

void Destroy(SdlScreen* s) {
    if (s->window != nullptr) gSdl->SDL_DestroyWindow(s->window);
    delete s;
}

// The window of a screen that closes is kept for the next screen
// (kept_window.h); one at most. A window the user closed is not kept.
void SdlBackend::KeepWindow(SdlScreen* s) {
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

void SdlBackend::DestroyKeptWindow() {
    if (kept_ == nullptr) return;
    if (kept_->closeAsked) stopAtNextWindow_ = true;  // closing it asked for a stop
    Destroy(kept_);
    kept_ = nullptr;
}

// A screen's window, once it is wanted: the kept window taken over, or a
// new one. The window with its frame fits the usable desktop. The frame is
// known only once the window manager has framed the window, so a window
// opens at the size the frame of the last one (or none) allows and is made
// smaller, and centred again, when its own frame needs that
// (AllowForFrame). A window that cannot be made stops the run, as closing
// it would.
void SdlBackend::MakeWindow(SdlScreen* s) {
    ScreenPrivate* sp = s->screen->priv;
    SDL_Rect desk = UsableDesktop();
    ClientSize size = WindowClientSize(sp->width, sp->height, desk.w - frame_.left - frame_.right,
                                       desk.h - frame_.top - frame_.bottom);
    if (TakeKeptWindow(s, size, desk)) {
        gSdl->SDL_SetWindowTitle(s->window, s->title.c_str());
    } else {
        s->window = gSdl->SDL_CreateWindow(s->title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.w,
                                           size.h, SDL_WINDOW_RESIZABLE);
        if (s->window == nullptr) {
            {
                std::lock_guard<std::mutex> guard(rowsLock_);
                s->wanted = false;
            }
            Post(s, IDCMP_VANILLAKEY, 0x1B);
            return;
        }
        s->openedAt = gSdl->SDL_GetTicks64();
        if (xFd_ < 0) xFd_ = XConnectionFd(s->window);
        AllowForFrame(s);
        s->needPresent = true;
    }
    if (s->modelWindow != nullptr) WindowReady(s);
    TakeRows(s);
    Present(s);
}

// The screen's window is open in the model (and, when made, on the desktop):
// its pointer shown, the window raised, and the stop that the user's close
// of the kept window asked for.
void SdlBackend::WindowReady(SdlScreen* s) {
    if (s->window != nullptr) {
        ApplyPointer(s);
        gSdl->SDL_RaiseWindow(s->window);
    }
    if (stopAtNextWindow_) Post(s, IDCMP_VANILLAKEY, 0x1B);
    stopAtNextWindow_ = false;
}

// The new screen takes over the kept window, when there is one and its
// moment has not passed: resized where it stands (full screen stays as
// it is), and not cleared before the new screen's first frame, which
// draws all of it. The screen's record takes the window and what goes
// with it (full screen, the overlay, the frame); the rest is the new
// picture's own.
bool SdlBackend::TakeKeptWindow(SdlScreen* s, ClientSize size, SDL_Rect desk) {
    if (kept_ == nullptr) return false;
    Pump();  // what came between the pictures goes nowhere
    if (kept_ == nullptr) return false;
    if (kept_->closeAsked || gSdl->SDL_GetTicks64() - kept_->keptAt >= kKeepWindowMs) {
        DestroyKeptWindow();
        return false;
    }
    SdlScreen* k = kept_;
    kept_ = nullptr;
    s->window = k->window;
    s->fullScreen = k->fullScreen;
    s->overlay = k->overlay;
    s->openedAt = k->openedAt;
    s->frameAllowed = k->frameAllowed;
    s->refitUntil = k->refitUntil;
    s->surfaceW = k->surfaceW;
    s->surfaceH = k->surfaceH;
    if (s->info.empty()) s->info = k->info;
    k->window = nullptr;
    delete k;
    s->needPresent = true;
    {
        std::lock_guard<std::mutex> guard(rowsLock_);
        s->rowsShown = false;
    }
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
    return true;
}

// A window that took a new screen over in full screen gets that screen's
// size when full screen is left; the window manager puts back the size
// it had before, so this is done again when that size arrives.
void SdlBackend::Refit(SdlScreen* s) {
    ScreenPrivate* sp = s->screen->priv;
    SDL_Rect desk = UsableDesktop();
    ClientSize want = WindowClientSize(sp->width, sp->height, desk.w - frame_.left - frame_.right,
                                       desk.h - frame_.top - frame_.bottom);
    int w = 0, h = 0;
    gSdl->SDL_GetWindowSize(s->window, &w, &h);
    if (want.w <= 0 || want.h <= 0 || (want.w == w && want.h == h)) return;
    gSdl->SDL_SetWindowSize(s->window, want.w, want.h);
}

// The desktop less panels and docks (the work area a window manager
// reports, or on Wayland what a maximized window gets, its frame left out
// too); the whole display, or 1024x768, when that is not known.
SDL_Rect SdlBackend::UsableDesktop() {
    if (waylandArea_.w > 0 && waylandArea_.h > 0) {
        SDL_Rect bounds{0, 0, 0, 0};
        if (gSdl->SDL_GetDisplayUsableBounds(0, &bounds) != 0) bounds = SDL_Rect{0, 0, 0, 0};
        return SDL_Rect{bounds.x, bounds.y, waylandArea_.w, waylandArea_.h};
    }
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
void SdlBackend::AllowForFrame(SdlScreen* s) {
    if (s->frameAllowed) return;
    if (gSdl->SDL_GetTicks64() - s->openedAt > kFrameWaitMs || s->fullScreen) {
        s->frameAllowed = true;
        return;
    }
    Borders frame;
    if (gSdl->SDL_GetWindowBordersSize(s->window, &frame.top, &frame.left, &frame.bottom, &frame.right) != 0) return;
    if (frame.top <= 0 && frame.left <= 0 && frame.bottom <= 0 && frame.right <= 0) return;
    if (frame.top < 0 || frame.left < 0 || frame.bottom < 0 || frame.right < 0) return;
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
    // Done once the window stands so; until then (or the time is over) it is
    // asked again: a window manager still placing a new window can let a
    // move asked meanwhile go.
    if (want.w == w && want.h == h && inside) {
        s->frameAllowed = true;
        return;
    }
    if (want.w != w || want.h != h) gSdl->SDL_SetWindowSize(s->window, want.w, want.h);
    const int outerW = want.w + frame.left + frame.right;
    const int outerH = want.h + frame.top + frame.bottom;
    gSdl->SDL_SetWindowPosition(s->window, desk.x + (desk.w - outerW) / 2 + frame.left,
                                desk.y + (desk.h - outerH) / 2 + frame.top);
    s->needPresent = true;
}

void SdlBackend::FreeCustomCursor() {
    if (customCursor_ != nullptr) {
        gSdl->SDL_FreeCursor(customCursor_);
        customCursor_ = nullptr;
    }
}

void SdlBackend::ApplyPointer(SdlScreen* s) {
    if (s->modelWindow == nullptr) return;
    if (s->pointerKind == PointerKind::Busy) {
        if (waitCursor_ == nullptr) waitCursor_ = gSdl->SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
        if (waitCursor_ != nullptr) gSdl->SDL_SetCursor(waitCursor_);
        gSdl->SDL_ShowCursor(SDL_ENABLE);
    } else if (s->pointerKind == PointerKind::Custom && s->pointer != nullptr) {
        const Object* o = s->pointer;
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

}  // namespace os::sdl
