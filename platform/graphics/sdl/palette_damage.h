// The part of a colour-mapped screen that a change of its colours reaches.
//
// A colour-cycling step changes a few entries of the palette, and only the
// pixels that hold one of them look different. The screen is cut into tiles
// of kDamageTileRows rows by kDamageTileColumns columns, and the colour
// indices each tile uses are kept as a set of 256 bits, made again for the
// tiles of rows written since; so are those of each row. A step redraws the
// tiles its colours lie in (the arc of a rainbow, the fire in a corner), in
// a few rectangles, and not the box around all of them. Each rectangle is
// trimmed to the rows that hold a changed index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/graphics/graphics_internal.h"

namespace os::sdl {

constexpr uint32_t kDamageTileRows = 16;
constexpr uint32_t kDamageTileColumns = 64;
// More rectangles than this are given as the one box around them.
constexpr size_t kMostDamageRects = 64;

struct DamageRect {
    uint32_t top = 0;     // rows [top, bottom); empty when top == bottom
    uint32_t bottom = 0;
    uint32_t left = 0;    // columns [left, right)
    uint32_t right = 0;
};

class PaletteDamage {
public:
    // The screen's bitmap holds nothing but zeros (it is new): every tile
    // and row holds index 0, known without reading them.
    void Fresh(const ScreenPrivate& screen);
    // Framebuffer rows [top, bottom) were written.
    void Written(uint32_t top, uint32_t bottom);
    // Sets `out` to the rectangles, top to bottom and apart from each other,
    // that cover every pixel holding an index whose colour differs between
    // `before` and `after`; empty when no shown colour changed.
    void Changed(const ScreenPrivate& screen, const Rgb before[256], const Rgb after[256],
                 std::vector<DamageRect>& out);

private:
    struct IndexSet {
        uint64_t bits[4] = {0, 0, 0, 0};
    };
    void Reread(const ScreenPrivate& screen);
    std::vector<IndexSet> rows_;
    std::vector<IndexSet> tiles_;  // band by band, tilesAcross_ to a band
    uint32_t tilesAcross_ = 0;
    std::vector<size_t> open_, nowOpen_;  // Changed's own, kept for their room
    // Rows whose sets are not known: [staleTop_, staleBottom_).
    uint32_t staleTop_ = 0;
    uint32_t staleBottom_ = UINT32_MAX;
};

}  // namespace os::sdl
