// Ops 5, 6, 7 and 8: each plane is coded column by column, a column being
// one byte (op 5), word or long (7, 8) wide and running down the plane. A
// column is an op count and its ops: a skip (top bit clear, non-zero) moves
// down that many rows; a uniq op (top bit set) is followed by that many
// items for the rows below; a same op (zero) by a count and one item to
// repeat. Op 5 and op 8 keep the items in line with the ops (op 8 also
// writes ops and counts in the column's width), op 7 keeps byte ops apart
// from a list of items. Long columns of a picture whose plane rows are not
// a whole number of longs end in one word-wide column: op 8 writes that
// column all in words, while op 7's writers still put long items in its
// list and the column takes the upper word of each.
#include <cstdint>

#include "ilbm/anim_delta_bytes.h"
#include "ilbm/anim_deltas.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

using anim_bytes::Be32;
using anim_bytes::Put;
using anim_bytes::ReadBe;

// Rows [row, row + count) were stored in (row + count is within the plane).
inline void Widen(AnimRowSpan& written, int64_t row, uint32_t count) {
    if (count == 0) return;
    if (row < written.first) written.first = int32_t(row);
    if (row + count > written.end) written.end = int32_t(row + count);
}

// One column. E: bytes an item sets; OPW: bytes of an op or a count; DS:
// bytes an item takes in its stream; SEP: items come from the separate list
// at *data, else from the op stream. The rows stored in widen `written`.
template <int E, int OPW, int DS, bool SEP, bool XOR>
bool DecodeColumn(const uint8_t*& ops, const uint8_t*& data, const uint8_t* end, uint8_t* column,
                  int32_t stride, int32_t rows, AnimRowSpan& written) {
    constexpr uint32_t TOP = 1u << (8 * OPW - 1);
    if (end - ops < OPW) return false;
    uint32_t n = ReadBe<OPW>(ops);
    ops += OPW;
    int64_t row = 0;  // skips may pass the last row; only stores must not
    for (; n; --n) {
        if (end - ops < OPW) return false;
        const uint32_t op = ReadBe<OPW>(ops);
        ops += OPW;
        if (op & TOP) {
            const uint32_t count = op & (TOP - 1);
            const uint8_t*& src = SEP ? data : ops;
            if (int64_t(count) > rows - row || (end - src) / DS < int64_t(count)) return false;
            uint8_t* d = column + row * stride;
            for (uint32_t i = 0; i < count; ++i, d += stride, src += DS) Put<E, XOR>(d, src);
            Widen(written, row, count);
            row += count;
        } else if (op != 0) {
            row += op;
        } else {
            if (end - ops < OPW) return false;
            const uint32_t count = ReadBe<OPW>(ops);
            ops += OPW;
            const uint8_t*& src = SEP ? data : ops;
            if (int64_t(count) > rows - row || end - src < DS) return false;
            uint8_t item[E];
            for (int i = 0; i < E; ++i) item[i] = src[i];
            src += DS;
            uint8_t* d = column + row * stride;
            for (uint32_t i = 0; i < count; ++i, d += stride) Put<E, XOR>(d, item);
            Widen(written, row, count);
            row += count;
        }
    }
    return true;
}

// The plane's ops (and items) start at the pointer; a zero pointer leaves
// the plane as it is.
bool Pointer(const uint8_t* chunk, int32_t size, int32_t index, const uint8_t** at) {
    const uint32_t offset = Be32(chunk + 4 * index);
    if (offset == 0) {
        *at = nullptr;
        return true;
    }
    if (offset >= uint32_t(size)) return false;
    *at = chunk + offset;
    return true;
}

using ColumnFn = bool (*)(const uint8_t*&, const uint8_t*&, const uint8_t*, uint8_t*, int32_t, int32_t,
                          AnimRowSpan&);

// Columns of `width` bytes; the last one, `lastWidth` bytes, by `last`.
int32_t DecodePlanes(const uint8_t* chunk, int32_t size, int32_t pointerPlanes, bool lists,
                     const AnimPlanes& frame, int32_t width, ColumnFn full, int32_t lastWidth,
                     ColumnFn last, AnimRowSpan* written) {
    const int32_t planes = frame.planes < pointerPlanes ? frame.planes : pointerPlanes;
    if (size < (lists ? 32 : 0) + 4 * planes) return ERR_CORRUPT;
    const int32_t stride = frame.planes * frame.bytesPerRow;
    const int32_t fullColumns = (frame.bytesPerRow - lastWidth) / width;
    const uint8_t* end = chunk + size;
    // From none, widened by every store; a failure leaves the whole frame.
    AnimRowSpan stored{frame.rows, 0};
    for (int32_t p = 0; p < planes; ++p) {
        const uint8_t* ops;
        const uint8_t* data = nullptr;
        if (!Pointer(chunk, size, p, &ops)) return ERR_CORRUPT;
        if (!ops) continue;
        if (lists && (!Pointer(chunk, size, 8 + p, &data) || !data)) return ERR_CORRUPT;
        uint8_t* plane = frame.data + p * frame.bytesPerRow;
        for (int32_t c = 0; c < fullColumns; ++c) {
            if (!full(ops, data, end, plane + c * width, stride, frame.rows, stored)) return ERR_CORRUPT;
        }
        if (lastWidth && !last(ops, data, end, plane + fullColumns * width, stride, frame.rows, stored)) {
            return ERR_CORRUPT;
        }
    }
    *written = stored.first < stored.end ? stored : AnimRowSpan{};
    return 0;
}

}  // namespace

// Op 5 may use all 16 pointers for up to 16 planes (the second eight were
// kept for that); op 6 holds one eye in the first eight.
int32_t ApplyByteVertical(const uint8_t* chunk, int32_t size, bool xorData, int32_t pointerPlanes,
                          const AnimPlanes& frame, AnimRowSpan* written) {
    const ColumnFn fn = xorData ? DecodeColumn<1, 1, 1, false, true> : DecodeColumn<1, 1, 1, false, false>;
    return DecodePlanes(chunk, size, pointerPlanes, false, frame, 1, fn, 0, nullptr, written);
}

int32_t ApplyVerticalLists(const uint8_t* chunk, int32_t size, bool longData, bool xorData,
                           const AnimPlanes& frame, AnimRowSpan* written) {
    if (!longData) {
        const ColumnFn fn = xorData ? DecodeColumn<2, 1, 2, true, true> : DecodeColumn<2, 1, 2, true, false>;
        return DecodePlanes(chunk, size, 8, true, frame, 2, fn, 0, nullptr, written);
    }
    const ColumnFn fn = xorData ? DecodeColumn<4, 1, 4, true, true> : DecodeColumn<4, 1, 4, true, false>;
    const ColumnFn last = xorData ? DecodeColumn<2, 1, 4, true, true> : DecodeColumn<2, 1, 4, true, false>;
    return DecodePlanes(chunk, size, 8, true, frame, 4, fn, frame.bytesPerRow % 4, last, written);
}

int32_t ApplyVerticalWords(const uint8_t* chunk, int32_t size, bool longData, bool xorData,
                           const AnimPlanes& frame, AnimRowSpan* written) {
    const ColumnFn word = xorData ? DecodeColumn<2, 2, 2, false, true> : DecodeColumn<2, 2, 2, false, false>;
    if (!longData) return DecodePlanes(chunk, size, 16, false, frame, 2, word, 0, nullptr, written);
    const ColumnFn fn = xorData ? DecodeColumn<4, 4, 4, false, true> : DecodeColumn<4, 4, 4, false, false>;
    return DecodePlanes(chunk, size, 16, false, frame, 4, fn, frame.bytesPerRow % 4, word, written);
}

}  // namespace lanterna
