// The part of a colour-mapped screen that a change of its colours reaches.
//
// A colour-cycling step changes a few entries of the palette, and only the
// pixels that hold one of them look different. The colour indices each
// framebuffer row uses are kept as a set of 256 bits, made again for rows
// written since, and so are those of each column, so that a step redraws the
// rectangle its colours lie in (the fire at the bottom left of a scene, say)
// and not the whole window. A column's set only gains indices as rows are
// written again (it is made afresh when every row is), so it may say a
// colour is there that no longer is: a little more is redrawn, never less.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/graphics_internal.h"

namespace os::sdl {

struct DamageRect {
    uint32_t top = 0;     // rows [top, bottom); empty when top == bottom
    uint32_t bottom = 0;
    uint32_t left = 0;    // columns [left, right)
    uint32_t right = 0;
};

class PaletteDamage {
public:
    // The screen's bitmap holds nothing but zeros (it is new): every row and
    // column holds index 0, known without reading them.
    void Fresh(const ScreenPrivate& screen);
    // Framebuffer rows [top, bottom) were written.
    void Written(uint32_t top, uint32_t bottom);
    // The pixels that hold an index whose colour differs between `before`
    // and `after`: from the first such row to the last, and the first such
    // column to the last.
    DamageRect Changed(const ScreenPrivate& screen, const Rgb before[256], const Rgb after[256]);

private:
    struct IndexSet {
        uint64_t bits[4] = {0, 0, 0, 0};
    };
    std::vector<IndexSet> rows_;
    std::vector<IndexSet> columns_;
    // Rows whose sets are not known: [staleTop_, staleBottom_).
    uint32_t staleTop_ = 0;
    uint32_t staleBottom_ = UINT32_MAX;
};

}  // namespace os::sdl
