// Op J, written by Sculpt-Animate: a list of blocks, each a word type (0
// ends the list), a word flag (non-zero: XOR, else set) and
//  - type 1, "walls": a row count and a group count, then per group a word
//    offset and, for each row down, one byte of every plane;
//  - type 2, "piles": a row count, a byte count and a group count, then per
//    group a word offset and, for each row down and each plane, that many
//    bytes across.
// A group's data is padded to a whole word. Offsets count bytes in a plane
// whose rows are (width + 7) / 8 bytes; pictures narrower than 320 pixels
// were drawn centred on a 320-pixel screen, and their files still count in
// its 40-byte rows from its left edge, so those offsets are moved back by the
// margin (as the players of the time do).
#include <cstdint>
#include <cstring>

#include "ilbm/anim_delta_bytes.h"
#include "ilbm/anim_deltas.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

using anim_bytes::Be16;

struct Place {
    int64_t row = 0;
    int64_t col = 0;
};

Place PlaceOf(uint32_t offset, const AnimPlanes& frame) {
    const int32_t margin = frame.width < 320 ? (320 - frame.width) / 16 : 0;
    const int32_t rowBytes = margin ? 40 : (frame.width + 7) / 8;
    return {offset / rowBytes, int64_t(offset % rowBytes) - margin};
}

inline void PutBytes(uint8_t* dst, const uint8_t* src, int32_t n, bool xorData) {
    if (!xorData) {
        std::memcpy(dst, src, size_t(n));
        return;
    }
    for (int32_t i = 0; i < n; ++i) dst[i] = uint8_t(dst[i] ^ src[i]);
}

}  // namespace

int32_t ApplyDeltaJ(const uint8_t* chunk, int32_t size, const AnimPlanes& frame) {
    const uint8_t* p = chunk;
    const uint8_t* end = chunk + size;
    const int32_t planes = frame.planes;
    const int32_t bpr = frame.bytesPerRow;
    const int64_t stride = int64_t(planes) * bpr;
    while (end - p >= 2) {
        const uint32_t type = Be16(p);
        if (type == 0) return 0;
        if (type != 1 && type != 2) return ERR_CORRUPT;
        const int32_t fields = type == 1 ? 3 : 4;
        if (end - p < 2 + 2 * fields) return ERR_CORRUPT;
        const bool xorData = Be16(p + 2) != 0;
        const int64_t rows = Be16(p + 4);
        const int64_t across = type == 1 ? 1 : Be16(p + 6);
        const uint32_t groups = Be16(p + 2 + 2 * (fields - 1));
        p += 2 + 2 * fields;
        const int64_t groupBytes = rows * planes * across;
        for (uint32_t g = 0; g < groups; ++g) {
            if (end - p < 2) return ERR_CORRUPT;
            const Place at = PlaceOf(Be16(p), frame);
            p += 2;
            if (at.col < 0 || at.col + across > bpr || at.row + rows > frame.rows) return ERR_CORRUPT;
            if (end - p < groupBytes) return ERR_CORRUPT;
            uint8_t* dst = frame.data + at.row * stride + at.col;
            for (int64_t r = 0; r < rows; ++r, dst += stride) {
                for (int32_t d = 0; d < planes; ++d, p += across) {
                    PutBytes(dst + d * bpr, p, int32_t(across), xorData);
                }
            }
            if ((groupBytes & 1) && p < end) ++p;
        }
    }
    return 0;
}

}  // namespace lanterna
