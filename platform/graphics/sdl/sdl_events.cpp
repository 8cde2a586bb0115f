// The SDL2 backend's events (sdl_backend.h): input becomes the window's
// IDCMP messages, the view's own controls (view_events.h) move and zoom,
// and window events ask for a present.
#include "platform/graphics/sdl/sdl_backend.h"

#include <cstdint>

#include "platform/graphics/sdl/view_events.h"

namespace os::sdl {

void SdlBackend::KeptWindowEvent(const SDL_WindowEvent& e) {
    if (kept_ == nullptr || gSdl->SDL_GetWindowID(kept_->window) != e.windowID) return;
    if (e.event == SDL_WINDOWEVENT_CLOSE) {
        kept_->closeAsked = true;
    } else if (e.event == SDL_WINDOWEVENT_EXPOSED) {
        gSdl->SDL_UpdateWindowSurface(kept_->window);  // still the last picture
    }
}

// The character of a key that has no text event: control keys and
// Ctrl with a letter. Other keys without a character give nothing.
int SdlBackend::ControlCode(const SDL_Keysym& key) {
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

void SdlBackend::Pump() {
    for (SdlScreen* s : live_)
        if (s->window != nullptr) AllowForFrame(s);
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
                    ApplyPointer(s);
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
                if (e.key.keysym.sym >= SDLK_F5 && e.key.keysym.sym <= SDLK_F7) {
                    Post(s, IDCMP_RAWKEY, static_cast<uint16_t>(RAWKEY_F5 + (e.key.keysym.sym - SDLK_F5)));
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
bool SdlBackend::ViewControl(const SDL_Event& e) {
    uint32_t id = 0;
    if (e.type == SDL_KEYDOWN) id = e.key.windowID;
    else if (e.type == SDL_MOUSEWHEEL) id = e.wheel.windowID;
    else if (e.type == SDL_MOUSEMOTION) id = e.motion.windowID;
    else if (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) id = e.button.windowID;
    else return false;
    SdlScreen* s = ByWindowId(id);
    if (s == nullptr) return false;
    ScreenPrivate* sp = s->screen->priv;
    const ViewArea area{sp->width, sp->height, sp->bitmapWidth, sp->bitmapHeight, s->surfaceW, s->surfaceH,
                        s->fullScreen};
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

}  // namespace os::sdl
