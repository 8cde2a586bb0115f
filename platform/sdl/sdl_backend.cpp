// The SDL2 backend: every screen is a real window on the desktop.
//
// SDL is called from one thread only, the one that started it (the
// program's own task). Other tasks reach a screen only through its palette
// (LoadRGB32 under the palette lock, which bumps paletteSerial); the owner
// sees the new serial and shows the colours on its next frame.
//
// Frames: the framebuffer rows that changed are uploaded into a streaming
// texture and the window presented at most once per kFrameMs, from the
// drawing calls (so rows appear while they are decoded) and from the wait
// hook. While the program waits for window input the hook stays in a loop
// of its own: events (input, expose, resize, close), frames for palette
// changes, and a short sleep, until one of the awaited signals arrives.
#include <SDL.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/graphics_internal.h"

namespace os::sdl {

namespace {

constexpr uint64_t kFrameMs = 16;
constexpr uint32_t kWaitSliceMs = 4;

struct SdlScreen {
    Screen* screen = nullptr;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    uint32_t texWidth = 0;
    uint32_t texHeight = 0;
    uint32_t factor = 1;         // framebuffer pixels per texture pixel (huge screens)
    uint32_t dirtyTop = 0;       // framebuffer rows [dirtyTop, dirtyBottom) to upload
    uint32_t dirtyBottom = 0;
    uint32_t paletteShown = 0;   // paletteSerial of the colours in the texture
    bool needPresent = true;
    bool fullScreen = false;
};

void Destroy(SdlScreen* s) {
    if (s->texture != nullptr) SDL_DestroyTexture(s->texture);
    if (s->renderer != nullptr) SDL_DestroyRenderer(s->renderer);
    if (s->window != nullptr) SDL_DestroyWindow(s->window);
    delete s;
}

// Where a w x h picture goes in an area: a whole-number scale when it fits
// at least once, otherwise shrunk to fit; aspect kept, centred.
SDL_Rect FitRect(uint32_t w, uint32_t h, int areaW, int areaH) {
    SDL_Rect r{0, 0, 0, 0};
    if (w == 0 || h == 0 || areaW <= 0 || areaH <= 0) return r;
    uint32_t sx = static_cast<uint32_t>(areaW) / w;
    uint32_t sy = static_cast<uint32_t>(areaH) / h;
    uint32_t s = sx < sy ? sx : sy;
    if (s >= 1) {
        r.w = static_cast<int>(w * s);
        r.h = static_cast<int>(h * s);
    } else {
        double fx = static_cast<double>(areaW) / w;
        double fy = static_cast<double>(areaH) / h;
        double f = fx < fy ? fx : fy;
        r.w = static_cast<int>(w * f);
        r.h = static_cast<int>(h * f);
        if (r.w < 1) r.w = 1;
        if (r.h < 1) r.h = 1;
    }
    r.x = (areaW - r.w) / 2;
    r.y = (areaH - r.h) / 2;
    return r;
}

class SdlBackend final : public gfx::Backend {
public:
    bool available() override {
        if (state_.load(std::memory_order_acquire) == 0) Start();
        return state_.load(std::memory_order_acquire) == 1;
    }

    bool screenOpened(Screen* screen) override {
        if (!OnSdlThread()) return false;
        ScreenPrivate* sp = screen->priv;
        SDL_Rect desk{0, 0, 0, 0};
        if (SDL_GetDisplayUsableBounds(0, &desk) != 0 || desk.w <= 0 || desk.h <= 0) {
            SDL_DisplayMode mode;
            if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
                desk.w = mode.w;
                desk.h = mode.h;
            } else {
                desk.w = 1024;
                desk.h = 768;
            }
        }
        SDL_Rect size = FitRect(sp->width, sp->height, desk.w, desk.h);
        auto* s = new (std::nothrow) SdlScreen();
        if (s == nullptr) return false;
        s->screen = screen;
        s->window = SDL_CreateWindow("Lanterna", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.w, size.h,
                                     SDL_WINDOW_RESIZABLE);
        if (s->window == nullptr) {
            Destroy(s);
            return false;
        }
        s->renderer = SDL_CreateRenderer(s->window, -1, 0);
        if (s->renderer == nullptr) s->renderer = SDL_CreateRenderer(s->window, -1, SDL_RENDERER_SOFTWARE);
        if (s->renderer == nullptr) {
            Destroy(s);
            return false;
        }
        SDL_RendererInfo info;
        uint32_t maxW = 16384, maxH = 16384;
        if (SDL_GetRendererInfo(s->renderer, &info) == 0) {
            if (info.max_texture_width > 0) maxW = static_cast<uint32_t>(info.max_texture_width);
            if (info.max_texture_height > 0) maxH = static_cast<uint32_t>(info.max_texture_height);
        }
        // A screen wider than the largest texture is shown from every
        // factor-th pixel; it is shrunk on the desktop anyway.
        while ((sp->width + s->factor - 1) / s->factor > maxW || (sp->height + s->factor - 1) / s->factor > maxH)
            ++s->factor;
        s->texWidth = (sp->width + s->factor - 1) / s->factor;
        s->texHeight = (sp->height + s->factor - 1) / s->factor;
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, s->factor > 1 ? "linear" : "nearest");
        s->texture = SDL_CreateTexture(s->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                       static_cast<int>(s->texWidth), static_cast<int>(s->texHeight));
        if (s->texture == nullptr) {
            Destroy(s);
            return false;
        }
        s->dirtyTop = 0;
        s->dirtyBottom = sp->height;
        s->paletteShown = sp->paletteSerial.load(std::memory_order_acquire);
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
        if (OnSdlThread()) Destroy(s);
    }

    void windowOpened(Window* window) override {
        SdlScreen* s = Of(window->WScreen);
        if (s == nullptr) return;
        ApplyPointer(window);
        SDL_RaiseWindow(s->window);
    }

    void windowClosing(Window*) override {
        if (!OnSdlThread()) return;
        SDL_SetCursor(SDL_GetDefaultCursor());
        SDL_ShowCursor(SDL_ENABLE);
        FreeCustomCursor();
    }

    void discarding(Screen*) override {}
    void pixelArrayWritten(Screen*) override {}

    void rowsChanged(Screen* screen, uint32_t top, uint32_t bottom) override {
        SdlScreen* s = Of(screen);
        if (s == nullptr) return;
        if (s->dirtyTop >= s->dirtyBottom) {
            s->dirtyTop = top;
            s->dirtyBottom = bottom;
        } else {
            if (top < s->dirtyTop) s->dirtyTop = top;
            if (bottom > s->dirtyBottom) s->dirtyBottom = bottom;
        }
        if (SDL_GetTicks64() - lastFrame_ >= kFrameMs) Frame();
    }

    void pointerChanged(Window* window) override { ApplyPointer(window); }

    void toFront(Screen* screen) override {
        SdlScreen* s = Of(screen);
        if (s == nullptr) return;
        SDL_RestoreWindow(s->window);
        SDL_RaiseWindow(s->window);
    }

    void waitHook(uint32_t signalMask) override {
        if (!OnSdlThread() || screens_.empty()) return;
        if (!WaitsForWindow(signalMask)) {
            if (SDL_GetTicks64() - lastFrame_ >= kFrameMs) Frame();
            return;
        }
        for (;;) {
            if ((SetSignal(0, 0) & signalMask) != 0) return;
            Frame();
            if ((SetSignal(0, 0) & signalMask) != 0) return;
            SDL_WaitEventTimeout(nullptr, static_cast<int>(kWaitSliceMs));
        }
    }

private:
    void Start() {
        state_.store(-1, std::memory_order_release);
        const char* x = std::getenv("DISPLAY");
        const char* wl = std::getenv("WAYLAND_DISPLAY");
        const char* driver = std::getenv("SDL_VIDEODRIVER");
        if ((x == nullptr || *x == '\0') && (wl == nullptr || *wl == '\0') && (driver == nullptr || *driver == '\0'))
            return;
        // Ctrl-C and termination are the platform's break signals, not SDL's.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
        // The desktop-bus library that SDL starts for input methods keeps a
        // block of its own to the end of the process; the leak checker of
        // the sanitizer builds need not report it.
#if defined(__SANITIZE_ADDRESS__)
        __lsan_disable();
#endif
        const bool started = SDL_Init(SDL_INIT_VIDEO) == 0;
        if (started) SDL_StartTextInput();
#if defined(__SANITIZE_ADDRESS__)
        __lsan_enable();
#endif
        if (!started) return;
        sdlThread_ = std::this_thread::get_id();
        state_.store(1, std::memory_order_release);
        // SDL stays up until the process ends: every window has been closed
        // by then, and its connections go with the process.
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
            if (SDL_GetWindowID(s->window) == id) return s;
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

    void Pump() {
        SDL_Event e;
        while (SDL_PollEvent(&e) != 0) {
            switch (e.type) {
                case SDL_WINDOWEVENT: {
                    SdlScreen* s = ByWindowId(e.window.windowID);
                    if (s == nullptr) break;
                    if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                        Post(s, IDCMP_VANILLAKEY, 0x1B);  // closing the window stops the run
                    } else if (e.window.event == SDL_WINDOWEVENT_ENTER) {
                        if (s->screen->priv->window != nullptr) ApplyPointer(s->screen->priv->window);
                    } else {
                        s->needPresent = true;  // exposed, resized, shown, restored
                    }
                    break;
                }
                case SDL_KEYDOWN: {
                    SdlScreen* s = ByWindowId(e.key.windowID);
                    if (s == nullptr || e.key.repeat != 0) break;
                    if (e.key.keysym.sym == SDLK_F11) {
                        s->fullScreen = !s->fullScreen;
                        SDL_SetWindowFullscreen(s->window, s->fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
                        s->needPresent = true;
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

    // One frame: events, then every screen with something new is presented.
    void Frame() {
        Pump();
        for (SdlScreen* s : screens_) {
            ScreenPrivate* sp = s->screen->priv;
            uint32_t serial = sp->paletteSerial.load(std::memory_order_acquire);
            if (sp->depth == 8 && serial != s->paletteShown) {
                s->dirtyTop = 0;
                s->dirtyBottom = sp->height;
            }
            if (s->dirtyTop < s->dirtyBottom || s->needPresent) Present(s);
        }
        lastFrame_ = SDL_GetTicks64();
    }

    void Upload(SdlScreen* s) {
        ScreenPrivate* sp = s->screen->priv;
        uint32_t top = s->dirtyTop / s->factor;
        uint32_t bottom = (s->dirtyBottom + s->factor - 1) / s->factor;
        if (bottom > s->texHeight) bottom = s->texHeight;
        s->dirtyTop = s->dirtyBottom = 0;
        if (top >= bottom) return;
        uint32_t lut[256];
        if (sp->depth == 8) {
            Rgb palette[256];
            uint32_t serial;
            {
                std::lock_guard<std::mutex> guard(sp->paletteLock);
                std::memcpy(palette, sp->palette, sizeof palette);
                serial = sp->paletteSerial.load(std::memory_order_acquire);
            }
            for (int i = 0; i < 256; ++i)
                lut[i] = 0xFF000000u | (uint32_t{palette[i].r} << 16) | (uint32_t{palette[i].g} << 8) | palette[i].b;
            s->paletteShown = serial;
        }
        SDL_Rect rect{0, static_cast<int>(top), static_cast<int>(s->texWidth), static_cast<int>(bottom - top)};
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(s->texture, &rect, &pixels, &pitch) != 0) return;
        for (uint32_t ty = top; ty < bottom; ++ty) {
            auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + static_cast<size_t>(ty - top) * pitch);
            const uint8_t* src = sp->pixels + static_cast<size_t>(ty) * s->factor * sp->stride;
            if (sp->depth == 8) {
                if (s->factor == 1) {
                    for (uint32_t x = 0; x < s->texWidth; ++x) out[x] = lut[src[x]];
                } else {
                    for (uint32_t x = 0; x < s->texWidth; ++x) out[x] = lut[src[x * s->factor]];
                }
            } else {
                for (uint32_t x = 0; x < s->texWidth; ++x) {
                    const uint8_t* p = src + static_cast<size_t>(x) * s->factor * 3;
                    out[x] = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
                }
            }
        }
        SDL_UnlockTexture(s->texture);
    }

    void Present(SdlScreen* s) {
        Upload(s);
        int outW = 0, outH = 0;
        if (SDL_GetRendererOutputSize(s->renderer, &outW, &outH) != 0) return;
        SDL_Rect dst = FitRect(s->screen->priv->width, s->screen->priv->height, outW, outH);
        SDL_SetRenderDrawColor(s->renderer, 0, 0, 0, 255);
        SDL_RenderClear(s->renderer);
        SDL_RenderCopy(s->renderer, s->texture, nullptr, &dst);
        SDL_RenderPresent(s->renderer);
        s->needPresent = false;
    }

    void FreeCustomCursor() {
        if (customCursor_ != nullptr) {
            SDL_FreeCursor(customCursor_);
            customCursor_ = nullptr;
        }
    }

    void ApplyPointer(Window* window) {
        if (!OnSdlThread() || window == nullptr || window->priv == nullptr) return;
        auto* wp = static_cast<WindowPrivate*>(window->priv);
        if (wp->pointerKind == PointerKind::Busy) {
            if (waitCursor_ == nullptr) waitCursor_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
            if (waitCursor_ != nullptr) SDL_SetCursor(waitCursor_);
            SDL_ShowCursor(SDL_ENABLE);
        } else if (wp->pointerKind == PointerKind::Custom && wp->pointer != nullptr) {
            const Object* o = wp->pointer;
            if (o->blank || o->width == 0 || o->height == 0) {
                SDL_ShowCursor(SDL_DISABLE);
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
            customCursor_ = SDL_CreateCursor(data.data(), mask.data(), static_cast<int>(bytesPerRow * 8),
                                             static_cast<int>(o->height), 0, 0);
            if (customCursor_ != nullptr) SDL_SetCursor(customCursor_);
            SDL_ShowCursor(SDL_ENABLE);
        } else {
            SDL_SetCursor(SDL_GetDefaultCursor());
            SDL_ShowCursor(SDL_ENABLE);
        }
    }

    // 0 not tried, 1 running, -1 unavailable. Waits of every task look at it;
    // everything else of SDL belongs to the thread that started it.
    std::atomic<int> state_{0};
    std::thread::id sdlThread_;
    std::vector<SdlScreen*> screens_;
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
