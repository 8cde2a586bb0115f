// The delta operations of FORM ANIM, each applying a DLTA chunk's bytes to a
// frame held as bit-planes in the layout the ILBM row decoders produce: row
// after row, each row its planes' rows one after another (plane 0 first),
// every plane row bytesPerRow bytes (whole 16-bit words). A plane seen on its
// own, as the Amiga held it, is then every planes-th row of bytesPerRow.
//
// Every offset, count and list is checked against the plane and the chunk
// before it is used: a delta that points outside either returns ERR_CORRUPT
// (an operation that is not known ERR_COMPRESSION), possibly having changed
// part of the frame, but never a byte outside it. Callers decode into the
// buffer that is not on show, so a damaged frame is never shown.
#pragma once

#include <cstdint>

#include "ilbm/anim_header.h"

namespace lanterna {

struct AnimPlanes {
    uint8_t* data = nullptr;  // rows * planes * bytesPerRow bytes
    int32_t width = 0;        // pixels
    int32_t rows = 0;
    int32_t planes = 0;       // colour planes (1 to 24)
    int32_t bytesPerRow = 0;  // of one plane row: 2 * ceil(width / 16)
};

// The picture's own coding of a BODY (op 0, and the rectangle of op 1):
// the BMHD's compression, and whether each row carries a mask plane row.
struct AnimBodyCoding {
    uint8_t compression = 0;  // cmpNone or cmpByteRun1
    bool hasMask = false;
};

// The rows an operation may have changed, [first, end): a display redraws
// only those and the rows that changed at the frame before.
struct AnimRowSpan {
    int32_t first = 0;
    int32_t end = 0;
};

// Applies one frame's DLTA (or, for op 0, BODY) data by the header's
// operation and bits. `written`, when given, gets the rows changed: the
// vertical operations (the common ones) keep count, the others give the
// whole frame.
int32_t ApplyAnimDelta(const AnimHeader& header, const AnimBodyCoding& coding, const uint8_t* chunk,
                       int32_t size, const AnimPlanes& frame, AnimRowSpan* written = nullptr);

// The operations on their own (anim_vertical_ops.cpp, anim_horizontal_ops.cpp,
// anim_j_op.cpp, anim_body_ops.cpp).
// The vertical ones narrow *written to the rows they store in.
int32_t ApplyByteVertical(const uint8_t* chunk, int32_t size, bool xorData, int32_t firstPointer,
                          const AnimPlanes& frame, AnimRowSpan* written);
int32_t ApplyVerticalLists(const uint8_t* chunk, int32_t size, bool longData, bool xorData,
                           const AnimPlanes& frame, AnimRowSpan* written);
int32_t ApplyVerticalWords(const uint8_t* chunk, int32_t size, bool longData, bool xorData,
                           const AnimPlanes& frame, AnimRowSpan* written);
int32_t ApplyHorizontalDelta(const uint8_t* chunk, int32_t size, bool longData, const AnimPlanes& frame);
int32_t ApplyGeneralDelta(const uint8_t* chunk, int32_t size, uint32_t bits, const AnimPlanes& frame);
int32_t ApplyDeltaJ(const uint8_t* chunk, int32_t size, const AnimPlanes& frame);
int32_t ApplyBody(const uint8_t* chunk, int32_t size, const AnimBodyCoding& coding, const AnimPlanes& frame);
int32_t ApplyXorPicture(const AnimHeader& header, const AnimBodyCoding& coding, const uint8_t* chunk,
                        int32_t size, const AnimPlanes& frame);

}  // namespace lanterna
