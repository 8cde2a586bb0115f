// The chunks of FORM ANIM beside the pictures: ANHD, the header of each frame
// (how its DLTA is coded and when it is shown), and DPAN, the frame count
// some painting programs write into the first frame.
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"

namespace lanterna {

constexpr uint32_t ID_ANIM = os::MakeId('A', 'N', 'I', 'M');
constexpr uint32_t ID_ANHD = os::MakeId('A', 'N', 'H', 'D');
constexpr uint32_t ID_DLTA = os::MakeId('D', 'L', 'T', 'A');
constexpr uint32_t ID_DPAN = os::MakeId('D', 'P', 'A', 'N');

// The operations of ANHD (the byte before all others).
constexpr uint8_t ANIM_OP_BODY = 0;         // a whole picture in a BODY
constexpr uint8_t ANIM_OP_XOR = 1;          // a picture (or a rectangle of it) XORed in
constexpr uint8_t ANIM_OP_LONG_DELTA = 2;   // changed long words with their offsets
constexpr uint8_t ANIM_OP_SHORT_DELTA = 3;  // the same in words
constexpr uint8_t ANIM_OP_GENERAL = 4;      // word or long lists, vertical or not, by the bits
constexpr uint8_t ANIM_OP_BYTE_VERTICAL = 5;
constexpr uint8_t ANIM_OP_STEREO = 6;       // op 5 for two eyes
constexpr uint8_t ANIM_OP_VERTICAL_LISTS = 7;  // op 5 in words or longs, data apart from the ops
constexpr uint8_t ANIM_OP_VERTICAL_WORDS = 8;  // op 5 in words or longs, all in line
constexpr uint8_t ANIM_OP_J = 'J';

// The option bits of ANHD (ops 4, 5, 7 and 8).
constexpr uint32_t ANIM_BIT_LONG = 1u << 0;          // long data, else words
constexpr uint32_t ANIM_BIT_XOR = 1u << 1;           // XOR the data in, else set it
constexpr uint32_t ANIM_BIT_ONE_LIST = 1u << 2;      // one offset list for all planes
constexpr uint32_t ANIM_BIT_RUNS = 1u << 3;          // run-length coded lists
constexpr uint32_t ANIM_BIT_VERTICAL = 1u << 4;      // lists go down the columns
constexpr uint32_t ANIM_BIT_LONG_OFFSETS = 1u << 5;  // long offsets in the lists

// ANHD, 40 bytes in the file. Writers of the time left the 16 pad bytes out
// now and then, so 24 bytes (through the bits) are enough.
struct AnimHeader {
    uint8_t operation = 0;
    uint8_t mask = 0;        // op 1: the planes that carry data
    uint16_t w = 0, h = 0;   // op 1: the rectangle it covers
    int16_t x = 0, y = 0;
    uint32_t absTime = 0;    // jiffies (1/60 s) since the first frame was shown
    uint32_t relTime = 0;    // jiffies since the frame before was shown
    uint8_t interleave = 0;  // how many frames back the delta applies; 0 = two
    uint8_t pad0 = 0;
    uint32_t bits = 0;
};
constexpr int32_t ANHD_MIN_SIZE = 24;

// DPAN (8 bytes): version, frame count, and the painting program's play
// speed in frames a second (the first byte of what was once left as flags;
// 0 where a writer gives none).
struct DisplayPan {
    uint16_t version = 0;
    uint16_t frames = 0;
    uint32_t flags = 0;
};
constexpr int32_t DPAN_SIZE = 8;

// The jiffies a frame is shown at the DPAN's speed (at least 1), or 0 when
// it gives none.
uint32_t DisplayPanTicks(const DisplayPan& pan);

// 0, or ERR_CORRUPT when the chunk is too short for the record.
int32_t ParseAnimHeader(const uint8_t* data, int32_t size, AnimHeader* header);
int32_t ParseDisplayPan(const uint8_t* data, int32_t size, DisplayPan* pan);

}  // namespace lanterna
