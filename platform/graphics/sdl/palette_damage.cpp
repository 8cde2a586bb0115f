// The index sets of the rows and columns, and the rectangle a palette change
// reaches.
#include "platform/graphics/sdl/palette_damage.h"

#include <algorithm>

namespace os::sdl {

void PaletteDamage::Fresh(const ScreenPrivate& screen) {
    IndexSet zero;
    zero.bits[0] = 1;
    rows_.assign(screen.bitmapHeight, zero);
    columns_.assign(screen.bitmapWidth, zero);
    staleTop_ = staleBottom_ = 0;
}

void PaletteDamage::Written(uint32_t top, uint32_t bottom) {
    if (top >= bottom) return;
    if (staleTop_ >= staleBottom_) {
        staleTop_ = top;
        staleBottom_ = bottom;
        return;
    }
    staleTop_ = std::min(staleTop_, top);
    staleBottom_ = std::max(staleBottom_, bottom);
}

DamageRect PaletteDamage::Changed(const ScreenPrivate& screen, const Rgb before[256], const Rgb after[256]) {
    IndexSet changed;
    bool any = false;
    for (uint32_t i = 0; i < 256; ++i) {
        if (before[i].r != after[i].r || before[i].g != after[i].g || before[i].b != after[i].b) {
            changed.bits[i / 64] |= uint64_t{1} << (i % 64);
            any = true;
        }
    }
    if (!any || screen.pixels == nullptr || screen.bytesPerPixel != 1) return {};

    const uint32_t height = screen.bitmapHeight;
    const uint32_t width = screen.bitmapWidth;
    if (screen.allZero) {
        // Nothing drawn (yet, or since a clear): every pixel holds index 0,
        // and no row need be read to know it.
        Fresh(screen);
        if ((changed.bits[0] & 1) == 0 || height == 0 || width == 0) return {};
        return {0, height, 0, width};
    }
    if (rows_.size() != height || columns_.size() != width) {
        rows_.assign(height, IndexSet{});
        staleTop_ = 0;
        staleBottom_ = height;
    }
    const uint32_t staleEnd = std::min(staleBottom_, height);
    if (staleTop_ == 0 && staleEnd == height) columns_.assign(width, IndexSet{});  // every row is read again
    for (uint32_t y = staleTop_; y < staleEnd; ++y) {
        IndexSet set;
        const uint8_t* row = screen.pixels + static_cast<size_t>(y) * screen.stride;
        for (uint32_t x = 0; x < width; ++x) {
            const uint64_t bit = uint64_t{1} << (row[x] % 64);
            set.bits[row[x] / 64] |= bit;
            columns_[x].bits[row[x] / 64] |= bit;
        }
        rows_[y] = set;
    }
    staleTop_ = staleBottom_ = 0;

    auto reached = [&](const IndexSet& s) {
        return ((s.bits[0] & changed.bits[0]) | (s.bits[1] & changed.bits[1]) | (s.bits[2] & changed.bits[2]) |
                (s.bits[3] & changed.bits[3])) != 0;
    };
    uint32_t top = 0;
    while (top < height && !reached(rows_[top])) ++top;
    if (top == height) return {};
    uint32_t bottom = height;
    while (!reached(rows_[bottom - 1])) --bottom;
    // A row holds a changed index, so some column does too.
    uint32_t left = 0;
    while (left < width && !reached(columns_[left])) ++left;
    uint32_t right = width;
    while (right > left && !reached(columns_[right - 1])) --right;
    return {top, bottom, left, right};
}

}  // namespace os::sdl
