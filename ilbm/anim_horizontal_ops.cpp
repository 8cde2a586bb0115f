// Ops 2, 3 and 4: lists of changed words (op 3) or longs (op 2, and op 4 by
// its bits) placed by their offsets in a plane seen as the Amiga held it,
// its rows one after another. A plane row is a whole number of words, so an
// item is stored word by word and a long may end on the next row.
//
// Ops 2 and 3 (eight plane pointers, each to a list ending in 0xFFFF): a
// positive offset moves the position on by that many items and stores the
// next item there; a negative one is a run: its absolute value less two
// moves the position on, a count follows, then count items, and the
// position moves one item on before each. The description reads as if a
// run began at the position itself; the players of the time (and the files
// written for them) move on first, and so does this.
//
// Op 4 (eight data pointers, then eight pointers to offset lists): each
// entry is an offset from the plane's start and a count; a negative count
// repeats one item. The lists end in an offset of all ones. The sample
// player of the description adds the pointers to a word pointer; the text
// calls them byte pointers, as for every other operation, and so are they
// taken here.
#include <cstdint>

#include "ilbm/anim_delta_bytes.h"
#include "ilbm/anim_deltas.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

using anim_bytes::Be16;
using anim_bytes::Be32;
using anim_bytes::Put;

struct PlaneWords {
    uint8_t* plane;      // row 0 of the plane in the frame
    int64_t words;       // words in the plane
    int32_t wordsPerRow;
    int32_t stride;      // bytes from one row of the plane to the next
};

PlaneWords PlaneOf(const AnimPlanes& frame, int32_t p) {
    return {frame.data + p * frame.bytesPerRow, int64_t(frame.bytesPerRow / 2) * frame.rows,
            frame.bytesPerRow / 2, frame.planes * frame.bytesPerRow};
}

// `wordCount` words of src at word `index` of the plane.
template <bool XOR>
inline bool StoreWords(const PlaneWords& pw, int64_t index, const uint8_t* src, int32_t wordCount) {
    if (index < 0 || index > pw.words - wordCount) return false;
    for (int32_t k = 0; k < wordCount; ++k, ++index, src += 2) {
        const int64_t row = index / pw.wordsPerRow;
        const int64_t col = index - row * pw.wordsPerRow;
        Put<2, XOR>(pw.plane + row * pw.stride + col * 2, src);
    }
    return true;
}

int32_t HorizontalPlane(const uint8_t* list, const uint8_t* end, const PlaneWords& pw, int32_t itemBytes) {
    const int32_t itemWords = itemBytes / 2;
    int64_t pos = 0;  // in items
    for (;;) {
        if (end - list < 2) return ERR_CORRUPT;
        const uint32_t word = Be16(list);
        list += 2;
        if (word == 0xFFFF) return 0;
        const int32_t offset = int16_t(word);
        if (offset >= 0) {
            pos += offset;
            if (end - list < itemBytes || !StoreWords<false>(pw, pos * itemWords, list, itemWords)) {
                return ERR_CORRUPT;
            }
            list += itemBytes;
            continue;
        }
        pos += -(offset + 2);
        if (end - list < 2) return ERR_CORRUPT;
        const uint32_t count = Be16(list);
        list += 2;
        if ((end - list) / itemBytes < int64_t(count)) return ERR_CORRUPT;
        for (uint32_t i = 0; i < count; ++i, list += itemBytes) {
            ++pos;
            if (!StoreWords<false>(pw, pos * itemWords, list, itemWords)) return ERR_CORRUPT;
        }
    }
}

bool Pointer(const uint8_t* chunk, int32_t size, int32_t index, const uint8_t** at) {
    const uint32_t offset = Be32(chunk + 4 * index);
    *at = offset ? chunk + offset : nullptr;
    return offset < uint32_t(size);
}

template <bool XOR>
int32_t GeneralPlane(const uint8_t* data, const uint8_t* list, const uint8_t* end, const PlaneWords& pw,
                     uint32_t bits) {
    const int32_t itemBytes = (bits & ANIM_BIT_LONG) ? 4 : 2;
    const int32_t itemWords = itemBytes / 2;
    const int32_t entryBytes = (bits & ANIM_BIT_LONG_OFFSETS) ? 4 : 2;
    const uint32_t terminator = entryBytes == 4 ? 0xFFFFFFFFu : 0xFFFFu;
    // Down a column a whole plane row on; across, one item on.
    const int64_t step = (bits & ANIM_BIT_VERTICAL) ? pw.wordsPerRow : itemWords;
    for (;;) {
        if (end - list < entryBytes) return ERR_CORRUPT;
        const uint32_t offset = entryBytes == 4 ? Be32(list) : Be16(list);
        list += entryBytes;
        if (offset == terminator) return 0;
        if (end - list < entryBytes) return ERR_CORRUPT;
        const int64_t count = entryBytes == 4 ? int64_t(int32_t(Be32(list))) : int64_t(int16_t(Be16(list)));
        list += entryBytes;
        int64_t index = int64_t(offset) * itemWords;
        const bool run = count < 0;
        const int64_t n = run ? -count : count;
        if ((end - data) / itemBytes < (run ? 1 : n)) return ERR_CORRUPT;
        for (int64_t i = 0; i < n; ++i, index += step) {
            if (!StoreWords<XOR>(pw, index, data, itemWords)) return ERR_CORRUPT;
            if (!run) data += itemBytes;
        }
        if (run) data += itemBytes;
    }
}

}  // namespace

int32_t ApplyHorizontalDelta(const uint8_t* chunk, int32_t size, bool longData, const AnimPlanes& frame) {
    const int32_t planes = frame.planes < 8 ? frame.planes : 8;
    if (size < 4 * planes) return ERR_CORRUPT;
    for (int32_t p = 0; p < planes; ++p) {
        const uint8_t* list;
        if (!Pointer(chunk, size, p, &list)) return ERR_CORRUPT;
        if (!list) continue;
        const int32_t r = HorizontalPlane(list, chunk + size, PlaneOf(frame, p), longData ? 4 : 2);
        if (r) return r;
    }
    return 0;
}

int32_t ApplyGeneralDelta(const uint8_t* chunk, int32_t size, uint32_t bits, const AnimPlanes& frame) {
    const int32_t planes = frame.planes < 8 ? frame.planes : 8;
    if (size < 32 + 4 * planes) return ERR_CORRUPT;
    for (int32_t p = 0; p < planes; ++p) {
        const uint8_t* data;
        const uint8_t* list;
        if (!Pointer(chunk, size, p, &data) || !Pointer(chunk, size, 8 + p, &list)) return ERR_CORRUPT;
        if (!data) continue;
        if (!list) return ERR_CORRUPT;
        const PlaneWords pw = PlaneOf(frame, p);
        const int32_t r = (bits & ANIM_BIT_XOR) ? GeneralPlane<true>(data, list, chunk + size, pw, bits)
                                                : GeneralPlane<false>(data, list, chunk + size, pw, bits);
        if (r) return r;
    }
    return 0;
}

}  // namespace lanterna
