// Chooses the operation of a frame by its ANHD.
#include "ilbm/anim_deltas.h"

#include "records/result_codes.h"

namespace lanterna {

int32_t ApplyAnimDelta(const AnimHeader& header, const AnimBodyCoding& coding, const uint8_t* chunk,
                       int32_t size, const AnimPlanes& frame, AnimRowSpan* written) {
    AnimRowSpan rows{0, frame.rows};
    if (written == nullptr) written = &rows;
    *written = AnimRowSpan{0, frame.rows};
    if (!frame.data || frame.width <= 0 || frame.rows <= 0 || frame.planes <= 0 || frame.planes > 32 ||
        frame.bytesPerRow != ((frame.width + 15) / 16) * 2 || size < 0 || (size > 0 && !chunk)) {
        return ERR_CORRUPT;
    }
    // An empty DLTA changes nothing: the frame two back is shown again.
    if (size == 0 && header.operation >= ANIM_OP_LONG_DELTA) {
        *written = AnimRowSpan{};
        return 0;
    }
    const bool longData = header.bits & ANIM_BIT_LONG;
    const bool xorData = header.bits & ANIM_BIT_XOR;
    switch (header.operation) {
    case ANIM_OP_BODY: return ApplyBody(chunk, size, coding, frame);
    case ANIM_OP_XOR: return ApplyXorPicture(header, coding, chunk, size, frame);
    case ANIM_OP_LONG_DELTA: return ApplyHorizontalDelta(chunk, size, true, frame);
    case ANIM_OP_SHORT_DELTA: return ApplyHorizontalDelta(chunk, size, false, frame);
    case ANIM_OP_GENERAL: return ApplyGeneralDelta(chunk, size, header.bits, frame);
    case ANIM_OP_BYTE_VERTICAL: return ApplyByteVertical(chunk, size, xorData, 16, frame, written);
    // Stereo: the first eight pointers are one eye's op 5, the rest the other's.
    case ANIM_OP_STEREO: return ApplyByteVertical(chunk, size, xorData, 8, frame, written);
    case ANIM_OP_VERTICAL_LISTS: return ApplyVerticalLists(chunk, size, longData, xorData, frame, written);
    case ANIM_OP_VERTICAL_WORDS: return ApplyVerticalWords(chunk, size, longData, xorData, frame, written);
    case ANIM_OP_J: return ApplyDeltaJ(chunk, size, frame);
    default: return ERR_COMPRESSION;
    }
}

}  // namespace lanterna
