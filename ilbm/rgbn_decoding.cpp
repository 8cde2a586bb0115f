// RGB8 and RGBN BODYs are a stream of runs of one colour, over the whole
// picture (a run may pass the end of a row). A run is one pixel word and a
// count:
//   RGB8: red, green, blue (8 bits each), then a byte whose bit 7 is the
//         genlock bit and whose bits 0..6 are the count;
//   RGBN: a 16-bit word of red, green, blue (4 bits each, from the top), the
//         genlock bit (bit 3) and the count (bits 0..2).
// A count of 0 in the pixel word means that the count follows as a byte;
// if that is 0 too, as a 16-bit word; a count of 0 there ends the picture.
// The genlock bit tells video hardware to show its own picture through the
// pixel; a viewer has nothing behind the picture, so the colour is shown.
// 4-bit components are widened by repeating them (15 becomes 255).
#include "ilbm/rgbn_decoding.h"

#include "platform/exec/byte_order.h"

namespace lanterna {

namespace {

// The next byte of the BODY. 0, or RefillBodyReader's failure.
inline int32_t NextByte(BodyReader* reader, uint8_t* byte) {
    if (reader->bufferLeft == 0) {
        const int32_t result = RefillBodyReader(reader);
        if (result != 0) return result;
    }
    *byte = *reader->position++;
    --reader->bufferLeft;
    return 0;
}

// Reads the next run into the reader: its colour and its count.
int32_t NextRun(BodyReader* reader, bool rgbn) {
    uint8_t b[4];
    int32_t count = 0;
    if (rgbn) {
        for (int i = 0; i < 2; ++i) {
            if (int32_t e = NextByte(reader, &b[i])) return e;
        }
        reader->runColour[0] = os::Widen4(b[0] >> 4);
        reader->runColour[1] = os::Widen4(b[0]);
        reader->runColour[2] = os::Widen4(b[1] >> 4);
        count = b[1] & 0x07;
    } else {
        for (int i = 0; i < 4; ++i) {
            if (int32_t e = NextByte(reader, &b[i])) return e;
        }
        reader->runColour[0] = b[0];
        reader->runColour[1] = b[1];
        reader->runColour[2] = b[2];
        count = b[3] & 0x7F;
    }
    if (count == 0) {
        uint8_t c;
        if (int32_t e = NextByte(reader, &c)) return e;
        count = c;
    }
    if (count == 0) {
        uint8_t hi, lo;
        if (int32_t e = NextByte(reader, &hi)) return e;
        if (int32_t e = NextByte(reader, &lo)) return e;
        count = (int32_t{hi} << 8) | lo;
    }
    if (count == 0) return -1;  // a run of no pixels: the picture ends here
    reader->runLeft = count;
    return 0;
}

}  // namespace

int32_t DecodeRgbnRow(BodyReader* reader, RowBuffers* rows, bool rgbn) {
    uint8_t* out = rows->planeView.Planes[0];
    uint32_t left = rows->width;
    while (left > 0) {
        if (reader->runLeft == 0) {
            if (int32_t e = NextRun(reader, rgbn)) return e;
        }
        const uint32_t count = uint32_t(reader->runLeft) < left ? uint32_t(reader->runLeft) : left;
        const uint8_t r = reader->runColour[0], g = reader->runColour[1], b = reader->runColour[2];
        for (uint32_t i = 0; i < count; ++i) {
            out[0] = r;
            out[1] = g;
            out[2] = b;
            out += 3;
        }
        left -= count;
        reader->runLeft -= int32_t(count);
    }
    return 0;
}

}  // namespace lanterna
