#include "convert/changed_rect.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "records/picture_info.h"

namespace lanterna {

SinkRect ChangedRect(const IndexedFrame& before, const IndexedFrame& after, uint32_t width, uint32_t height,
                     int32_t colourCount) {
    // Where a pixel keeps its index (all of them in colour cycling) only
    // whether that entry changed matters: a table, once.
    bool entryChanged[COLOUR_TABLE_ENTRIES] = {};
    for (int32_t i = 0; i < std::min(colourCount, COLOUR_TABLE_ENTRIES); ++i) {
        entryChanged[i] = std::memcmp(before.colours + 3 * i, after.colours + 3 * i, 3) != 0;
    }
    auto changed = [&](size_t at) {
        const uint8_t a = before.indices[at], b = after.indices[at];
        return a == b ? entryChanged[a] : std::memcmp(before.colours + 3 * a, after.colours + 3 * b, 3) != 0;
    };
    uint32_t left = width, right = 0, top = height, bottom = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const size_t row = size_t(y) * width;
        uint32_t x = 0;
        while (x < width && !changed(row + x)) ++x;
        if (x == width) continue;
        uint32_t last = width - 1;
        while (last > x && !changed(row + last)) --last;
        left = std::min(left, x);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    if (left > right) return {0, 0, 1, 1};
    return {left, top, right - left + 1, bottom - top + 1};
}

}  // namespace lanterna
