// Colours and pixel writes on a screen's framebuffer: clearing to a pen,
// SetRGB4 and LoadRGB32 (under the palette lock, from any task) and
// WritePixelArray. The backend is told of every row written.
#include <cstring>
#include <mutex>

#include "platform/exec/byte_order.h"
#include "platform/graphics/graphics_internal.h"
#include "platform/graphics/graphics_model.h"

namespace os {

namespace gfx {

bool ApplyColourTable(Rgb palette[256], const uint32_t* table) {
    bool changed = false;
    while (table != nullptr && *table != 0) {
        uint32_t count = *table >> 16;
        uint32_t first = *table & 0xFFFF;
        ++table;
        for (uint32_t i = 0; i < count; ++i, table += 3) {
            uint32_t index = first + i;
            if (index > 255) continue;
            palette[index] = {static_cast<uint8_t>(table[0] >> 24),
                              static_cast<uint8_t>(table[1] >> 24),
                              static_cast<uint8_t>(table[2] >> 24)};
            changed = true;
        }
    }
    return changed;
}

}  // namespace gfx

namespace {

Screen* ScreenOf(RastPort* rastPort) {
    if (rastPort == nullptr || rastPort->screen == nullptr || rastPort->screen->priv == nullptr)
        return nullptr;
    return rastPort->screen;
}

}  // namespace

uint32_t GetBitMapAttr(const RastPort* rastPort, uint32_t attribute) {
    if (rastPort == nullptr || rastPort->screen == nullptr || rastPort->screen->priv == nullptr) return 0;
    const ScreenPrivate* sp = rastPort->screen->priv;
    if (attribute == BMA_WIDTH) return sp->bitmapWidth;
    if (attribute == BMA_HEIGHT) return sp->bitmapHeight;
    return 0;
}

void SetRast(RastPort* rastPort, uint8_t pen) {
    Screen* screen = ScreenOf(rastPort);
    if (screen == nullptr) return;
    ScreenPrivate* sp = screen->priv;
    gfx::Backend* backend = gfx::CurrentBackend();
    if (sp->drawn) backend->discarding(screen);
    size_t bytes = sp->stride * sp->bitmapHeight;
    std::unique_lock<std::mutex> pixels(sp->pixelsLock);
    if (sp->depth == 8) {
        // A screen that holds nothing but zeros needs no clearing to pen 0:
        // the fill would only touch every page of a fresh framebuffer.
        if (!(pen == 0 && sp->allZero)) std::memset(sp->pixels, pen, bytes);
        sp->allZero = pen == 0;
    } else {
        Rgb c;
        {
            std::lock_guard<std::mutex> guard(sp->paletteLock);
            c = sp->palette[pen];
        }
        bool black = c.r == 0 && c.g == 0 && c.b == 0;
        if (black && sp->allZero) {
            // already black
        } else if (c.r == c.g && c.g == c.b) {
            std::memset(sp->pixels, c.r, bytes);
        } else {
            uint8_t* row = sp->pixels;
            for (uint32_t x = 0; x < sp->bitmapWidth; ++x) {
                row[3 * x] = c.r;
                row[3 * x + 1] = c.g;
                row[3 * x + 2] = c.b;
            }
            for (uint32_t y = 1; y < sp->bitmapHeight; ++y) std::memcpy(row + y * sp->stride, row, sp->stride);
        }
        sp->allZero = black;
    }
    sp->drawn = false;
    pixels.unlock();
    backend->rowsChanged(screen, 0, sp->bitmapHeight);
}

void SetRGB4(ViewPort* viewPort, int32_t index, uint8_t r, uint8_t g, uint8_t b) {
    if (viewPort == nullptr || viewPort->screen == nullptr || viewPort->screen->priv == nullptr) return;
    if (index < 0 || index > 255) return;
    ScreenPrivate* sp = viewPort->screen->priv;
    std::lock_guard<std::mutex> guard(sp->paletteLock);
    sp->palette[index] = {Widen4(r), Widen4(g), Widen4(b)};
    sp->paletteSerial.fetch_add(1, std::memory_order_release);
}

void LoadRGB32(ViewPort* viewPort, const uint32_t* table) {
    if (viewPort == nullptr || viewPort->screen == nullptr || viewPort->screen->priv == nullptr) return;
    ScreenPrivate* sp = viewPort->screen->priv;
    std::lock_guard<std::mutex> guard(sp->paletteLock);
    if (gfx::ApplyColourTable(sp->palette, table)) sp->paletteSerial.fetch_add(1, std::memory_order_release);
}

uint32_t WritePixelArray(const void* source, uint16_t sourceX, uint16_t sourceY, uint16_t sourceModulo,
                         RastPort* rastPort, uint16_t destX, uint16_t destY, uint16_t width,
                         uint16_t height, uint8_t format) {
    Screen* screen = ScreenOf(rastPort);
    if (screen == nullptr || source == nullptr) return 0;
    ScreenPrivate* sp = screen->priv;
    gfx::Backend* backend = gfx::CurrentBackend();
    backend->pixelArrayWritten(screen);
    uint32_t sourceBpp;
    if (format == RECTFMT_LUT8)
        sourceBpp = 1;
    else if (format == RECTFMT_RGB && sp->depth == 24)
        sourceBpp = 3;
    else
        return 0;  // RGB pixels have no place on a colour-mapped screen
    if (destX >= sp->bitmapWidth || destY >= sp->bitmapHeight) return 0;
    uint32_t w = width, h = height;
    if (w > sp->bitmapWidth - destX) w = sp->bitmapWidth - destX;
    if (h > sp->bitmapHeight - destY) h = sp->bitmapHeight - destY;
    if (w == 0 || h == 0) return 0;

    std::unique_lock<std::mutex> pixels(sp->pixelsLock);
    const auto* src = static_cast<const uint8_t*>(source) + static_cast<size_t>(sourceY) * sourceModulo +
                      static_cast<size_t>(sourceX) * sourceBpp;
    uint8_t* dst = sp->pixels + static_cast<size_t>(destY) * sp->stride + static_cast<size_t>(destX) * sp->bytesPerPixel;
    if (sourceBpp == sp->bytesPerPixel) {
        size_t rowBytes = static_cast<size_t>(w) * sourceBpp;
        for (uint32_t y = 0; y < h; ++y) std::memcpy(dst + y * sp->stride, src + static_cast<size_t>(y) * sourceModulo, rowBytes);
    } else {
        // Indices on a 24-bit screen go through its palette.
        Rgb palette[256];
        gfx::CopyPalette(screen, palette);
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t* s = src + static_cast<size_t>(y) * sourceModulo;
            uint8_t* d = dst + y * sp->stride;
            for (uint32_t x = 0; x < w; ++x) {
                const Rgb& c = palette[s[x]];
                d[3 * x] = c.r;
                d[3 * x + 1] = c.g;
                d[3 * x + 2] = c.b;
            }
        }
    }
    sp->drawn = true;
    sp->allZero = false;
    gfx::TraceWritten(sp, destY, destY + h);
    pixels.unlock();
    backend->rowsChanged(screen, destY, destY + h);
    return w * h;
}

}  // namespace os
