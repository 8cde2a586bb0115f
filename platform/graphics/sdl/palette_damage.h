// The rows of a colour-mapped screen that a change of its colours reaches.
//
// A colour-cycling step changes a few entries of the palette, and only the
// rows that hold one of them look different. The colour indices each
// framebuffer row uses are kept as a set of 256 bits, made again for rows
// written since, so that a step redraws the band of rows its colours lie in
// (the fire at the bottom of a scene, say) and not the whole window.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/graphics_internal.h"

namespace os::sdl {

struct RowSpan {
    uint32_t top = 0;     // rows [top, bottom); empty when top == bottom
    uint32_t bottom = 0;
};

class PaletteDamage {
public:
    // Framebuffer rows [top, bottom) were written.
    void Written(uint32_t top, uint32_t bottom);
    // The rows that hold an index whose colour differs between `before` and
    // `after`: from the first such row to the last.
    RowSpan Changed(const ScreenPrivate& screen, const Rgb before[256], const Rgb after[256]);

private:
    struct IndexSet {
        uint64_t bits[4] = {0, 0, 0, 0};
    };
    std::vector<IndexSet> rows_;
    // Rows whose sets are not known: [staleTop_, staleBottom_).
    uint32_t staleTop_ = 0;
    uint32_t staleBottom_ = UINT32_MAX;
};

}  // namespace os::sdl
