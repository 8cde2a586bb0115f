// The index sets of the rows and tiles, and the rectangles a palette change
// reaches.
#include "platform/graphics/sdl/palette_damage.h"

#include <algorithm>

namespace os::sdl {

namespace {

uint32_t Bands(uint32_t height) { return (height + kDamageTileRows - 1) / kDamageTileRows; }
uint32_t Across(uint32_t width) { return (width + kDamageTileColumns - 1) / kDamageTileColumns; }

}  // namespace

void PaletteDamage::Fresh(const ScreenPrivate& screen) {
    IndexSet zero;
    zero.bits[0] = 1;
    rows_.assign(screen.bitmapHeight, zero);
    tilesAcross_ = Across(screen.bitmapWidth);
    tiles_.assign(size_t{tilesAcross_} * Bands(screen.bitmapHeight), zero);
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

// Makes the sets of the stale rows again, and of the tiles they lie in. A
// tile's set is made from all of its rows, so the stale rows widen to whole
// bands of tiles.
void PaletteDamage::Reread(const ScreenPrivate& screen) {
    const uint32_t height = screen.bitmapHeight;
    const uint32_t width = screen.bitmapWidth;
    const uint32_t across = Across(width);
    const size_t tileCount = size_t{across} * Bands(height);
    if (rows_.size() != height || tilesAcross_ != across || tiles_.size() != tileCount) {
        rows_.assign(height, IndexSet{});
        tilesAcross_ = across;
        tiles_.assign(tileCount, IndexSet{});
        staleTop_ = 0;
        staleBottom_ = height;
    }
    const uint32_t staleEnd = std::min(staleBottom_, height);
    for (uint32_t band = staleTop_ / kDamageTileRows; staleTop_ < staleEnd && band < Bands(staleEnd); ++band) {
        IndexSet* tiles = &tiles_[size_t{band} * across];
        std::fill(tiles, tiles + across, IndexSet{});
        const uint32_t bandEnd = std::min(height, (band + 1) * kDamageTileRows);
        for (uint32_t y = band * kDamageTileRows; y < bandEnd; ++y) {
            const uint8_t* row = screen.pixels + static_cast<size_t>(y) * screen.stride;
            IndexSet rowSet;
            for (uint32_t t = 0; t < across; ++t) {
                IndexSet piece;
                const uint32_t end = std::min(width, (t + 1) * kDamageTileColumns);
                for (uint32_t x = t * kDamageTileColumns; x < end; ++x) {
                    piece.bits[row[x] / 64] |= uint64_t{1} << (row[x] % 64);
                }
                for (int w = 0; w < 4; ++w) {
                    tiles[t].bits[w] |= piece.bits[w];
                    rowSet.bits[w] |= piece.bits[w];
                }
            }
            rows_[y] = rowSet;
        }
    }
    staleTop_ = staleBottom_ = 0;
}

void PaletteDamage::Changed(const ScreenPrivate& screen, const Rgb before[256], const Rgb after[256],
                            std::vector<DamageRect>& out) {
    out.clear();
    IndexSet changed;
    bool any = false;
    for (uint32_t i = 0; i < 256; ++i) {
        if (before[i].r != after[i].r || before[i].g != after[i].g || before[i].b != after[i].b) {
            changed.bits[i / 64] |= uint64_t{1} << (i % 64);
            any = true;
        }
    }
    const uint32_t height = screen.bitmapHeight;
    const uint32_t width = screen.bitmapWidth;
    if (!any || screen.pixels == nullptr || screen.bytesPerPixel != 1 || height == 0 || width == 0) return;
    if (screen.allZero) {
        // Nothing drawn (yet, or since a clear): every pixel holds index 0,
        // and no row need be read to know it.
        Fresh(screen);
        if ((changed.bits[0] & 1) != 0) out.push_back({0, height, 0, width});
        return;
    }
    Reread(screen);

    auto reached = [&](const IndexSet& s) {
        return ((s.bits[0] & changed.bits[0]) | (s.bits[1] & changed.bits[1]) | (s.bits[2] & changed.bits[2]) |
                (s.bits[3] & changed.bits[3])) != 0;
    };
    // Rectangles that reach the bottom of the band above (indices into
    // `out`), and those that reach the bottom of this one.
    open_.clear();
    for (uint32_t band = 0; band < Bands(height); ++band) {
        const uint32_t bandTop = band * kDamageTileRows;
        const uint32_t bandEnd = std::min(height, bandTop + kDamageTileRows);
        nowOpen_.clear();
        uint32_t top = bandTop;
        while (top < bandEnd && !reached(rows_[top])) ++top;
        uint32_t bottom = bandEnd;
        while (bottom > top && !reached(rows_[bottom - 1])) --bottom;
        const IndexSet* tiles = &tiles_[size_t{band} * tilesAcross_];
        for (uint32_t t = 0; top < bottom && t < tilesAcross_;) {
            if (!reached(tiles[t])) {
                ++t;
                continue;
            }
            const uint32_t first = t;
            while (t < tilesAcross_ && reached(tiles[t])) ++t;
            const uint32_t left = first * kDamageTileColumns;
            const uint32_t right = std::min(width, t * kDamageTileColumns);
            // The same columns just above, down to this band's first row:
            // that rectangle grows down instead of a new one beginning.
            size_t at = out.size();
            for (size_t i : open_) {
                if (out[i].left == left && out[i].right == right && out[i].bottom == top) at = i;
            }
            if (at == out.size()) {
                out.push_back({top, bottom, left, right});
            } else {
                out[at].bottom = bottom;
            }
            if (bottom == bandEnd) nowOpen_.push_back(at);
        }
        open_.swap(nowOpen_);
    }
    // A screen of scattered colours could give thousands, each a request to
    // the display: past a few dozen, the box around them all is cheaper.
    if (out.size() > kMostDamageRects) {
        DamageRect box = out.front();
        for (const DamageRect& r : out) {
            box.top = std::min(box.top, r.top);
            box.bottom = std::max(box.bottom, r.bottom);
            box.left = std::min(box.left, r.left);
            box.right = std::max(box.right, r.right);
        }
        out.assign(1, box);
    }
}

}  // namespace os::sdl
