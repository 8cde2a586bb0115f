// The SDL2 backend's frames and presents (sdl_backend.h).
//
// Frames: the framebuffer rows that changed are scaled (nearest pixel) and
// converted straight into the window's own surface, and the changed part of
// the window updated, at most once per kFrameMs, from the drawing calls (so
// rows appear while they are decoded) and from the wait hook. The window
// surface is the only copy of the picture besides the framebuffer; a palette
// change costs one table lookup per source pixel and copies for the rest.
#include "platform/graphics/sdl/sdl_backend.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/graphics/sdl/lut_row.h"
#include "platform/graphics/sdl/overlay.h"

namespace os::sdl {

// One frame: events, then every screen with something new is presented.
void SdlBackend::Frame() {
    Pump();
    for (SdlScreen* s : live_) {
        if (s->window == nullptr || !TakeRows(s)) continue;
        ScreenPrivate* sp = s->screen->priv;
        uint32_t serial = sp->paletteSerial.load(std::memory_order_acquire);
        const bool newColours = sp->depth == 8 && serial != s->paletteShown;
        if (s->dirtyTop < s->dirtyBottom || s->needPresent || newColours) Present(s);
    }
    lastFrame_ = gSdl->SDL_GetTicks64();
}

// The rows written since the last look become rows to show; false while
// the program holds the screen's presents.
bool SdlBackend::TakeRows(SdlScreen* s) {
    std::lock_guard<std::mutex> guard(rowsLock_);
    if (s->held) return false;
    if (s->pendingTop < s->pendingBottom) {
        s->damage.Written(s->pendingTop, s->pendingBottom);
        if (s->dirtyTop >= s->dirtyBottom) {
            s->dirtyTop = s->pendingTop;
            s->dirtyBottom = s->pendingBottom;
        } else {
            s->dirtyTop = std::min(s->dirtyTop, s->pendingTop);
            s->dirtyBottom = std::max(s->dirtyBottom, s->pendingBottom);
        }
        s->pendingTop = s->pendingBottom = 0;
    }
    return true;
}

// Writes columns [left, right) of the picture's rows [top, bottom) of the
// surface, each from its source row, repeating a row already made when
// the source is the same.
void SdlBackend::DrawRows(SdlScreen* s, SDL_Surface* surface, const uint32_t* lut, uint32_t top, uint32_t bottom,
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

void SdlBackend::Present(SdlScreen* s) {
    ScreenPrivate* sp = s->screen->priv;
    SDL_Surface* surface = gSdl->SDL_GetWindowSurface(s->window);
    if (surface == nullptr || surface->w <= 0 || surface->h <= 0) return;
    s->surfaceW = surface->w;
    s->surfaceH = surface->h;
    // The overlay lies over rows that are drawn anew: it is drawn again
    // with the whole window.
    if (s->overlay) s->needPresent = true;
    const ViewArea area{sp->width, sp->height, sp->bitmapWidth, sp->bitmapHeight, surface->w, surface->h,
                        s->fullScreen};
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
    // The program's task writes rows meanwhile: the framebuffer is read
    // (for the damage of new colours and the parts drawn) under its lock.
    std::unique_lock<std::mutex> pixels(sp->pixelsLock, std::defer_lock);
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
            pixels.lock();
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
    if (!pixels.owns_lock()) pixels.lock();
    if (s->needPresent) {
        // Black around the picture; its own part is drawn below, once (the
        // first write to a new window's pages is what costs).
        const uint32_t black = gSdl->SDL_MapRGB(surface->format, 0, 0, 0);
        const int below = placed.y + placed.h, right = placed.x + placed.w;
        const SDL_Rect around[4] = {{0, 0, surface->w, placed.y},
                                    {0, below, surface->w, surface->h - below},
                                    {0, placed.y, placed.x, placed.h},
                                    {right, placed.y, surface->w - right, placed.h}};
        for (const SDL_Rect& r : around)
            if (r.w > 0 && r.h > 0) gSdl->SDL_FillRect(surface, &r, black);
    }
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
    const bool drawn = sp->drawn;
    pixels.unlock();
    if (SDL_MUSTLOCK(surface)) gSdl->SDL_UnlockSurface(surface);
    if (s->overlay) DrawOverlay(s, surface);
    if (s->needPresent) {
        gSdl->SDL_UpdateWindowSurface(s->window);
    } else {
        gSdl->SDL_UpdateWindowSurfaceRects(s->window, parts.data(), static_cast<int>(parts.size()));
    }
    if (drawn) {  // picture rows, not a fill
        std::lock_guard<std::mutex> guard(rowsLock_);
        s->rowsShown = true;
    }
    s->needPresent = false;
    pixels.lock();
    gfx::NotePresented(s->screen);
}

// Only into the window's surface: the screen's bitmap never sees it.
void SdlBackend::DrawOverlay(SdlScreen* s, SDL_Surface* surface) {
    const uint32_t box = gSdl->SDL_MapRGB(surface->format, 24, 24, 40);
    const uint32_t ink = gSdl->SDL_MapRGB(surface->format, 240, 240, 240);
    const ScreenPrivate* sp = s->screen->priv;
    const ViewArea area{sp->width, sp->height, sp->bitmapWidth, sp->bitmapHeight, surface->w, surface->h,
                        s->fullScreen};
    const std::string text = OverlayText(s->info, ScaleOf(area, s->view));
    LayOutOverlay(text, surface->w, surface->h, [&](const OverlayRect& r, bool text) {
        SDL_Rect rect{r.x, r.y, r.w, r.h};
        gSdl->SDL_FillRect(surface, &rect, text ? ink : box);
    });
}

}  // namespace os::sdl
