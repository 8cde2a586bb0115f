// The pixels of a DEEP picture, row after row, each pixel its elements in
// the order DPEL gives (one byte each, or two big-endian bytes for 16-bit
// elements; these are rounded to 8 bits, and TVDC codes 8-bit ones only).
//   0, none: every row is width pixels, with no padding.
//   1, run-length: the ByteRun1 idea over whole pixels. A signed count byte
//      n >= 0 is followed by n + 1 literal pixels; n < 0 by one pixel that
//      stands for 1 - n pixels (-128 too, 129 pixels: unlike a ByteRun1 of
//      bytes, the form has no no-op). Runs go on from row to row.
//   5, TVDC: each row holds every element in turn as its own line of
//      nibbles, starting from 0 and from a whole byte. A nibble k adds the
//      delta tvdc[k] to the value (modulo 256) and gives one pixel; a delta
//      of 0 means that the next nibble plus one is how many pixels repeat
//      the value (never past the end of the line).
// Red, green and blue go to the row; the other elements are read and not
// shown.
#include "ilbm/deep_decoding.h"

#include "ilbm/wide_planes.h"
#include "platform/exec/byte_order.h"

namespace lanterna {

namespace {

inline int32_t NextByte(BodyReader* reader, uint8_t* byte) {
    if (reader->bufferLeft == 0) {
        const int32_t result = RefillBodyReader(reader);
        if (result != 0) return result;
    }
    *byte = *reader->position++;
    --reader->bufferLeft;
    return 0;
}

// Which output channel (0 red, 1 green, 2 blue) element e goes to, or -1.
inline int32_t Channel(const DeepFormat& f, uint32_t e) {
    return e == f.red ? 0 : e == f.green ? 1 : e == f.blue ? 2 : -1;
}

inline void PutPixel(uint8_t* out, const uint8_t* pixel, const DeepFormat& f) {
    if (f.wide) {
        out[0] = Narrow16(os::Be16(pixel + f.red));
        out[1] = Narrow16(os::Be16(pixel + f.green));
        out[2] = Narrow16(os::Be16(pixel + f.blue));
        return;
    }
    out[0] = pixel[f.red];
    out[1] = pixel[f.green];
    out[2] = pixel[f.blue];
}

int32_t ReadPixel(BodyReader* reader, const DeepFormat& f, uint8_t* pixel) {
    for (uint32_t e = 0; e < f.bytes; ++e) {
        if (int32_t r = NextByte(reader, &pixel[e])) return r;
    }
    return 0;
}

int32_t DecodePlainRow(BodyReader* reader, uint8_t* out, uint32_t width, const DeepFormat& f) {
    uint8_t pixel[DEEP_MAX_PIXEL_BYTES];
    for (uint32_t x = 0; x < width; ++x, out += 3) {
        if (int32_t r = ReadPixel(reader, f, pixel)) return r;
        PutPixel(out, pixel, f);
    }
    return 0;
}

int32_t DecodeRunLengthRow(BodyReader* reader, uint8_t* out, uint32_t width, const DeepFormat& f) {
    uint8_t pixel[DEEP_MAX_PIXEL_BYTES];
    for (uint32_t x = 0; x < width; ++x, out += 3) {
        if (reader->runLeft == 0) {
            uint8_t code;
            if (int32_t r = NextByte(reader, &code)) return r;
            const int8_t n = int8_t(code);
            if (n >= 0) {
                reader->runLeft = n + 1;
                reader->runRepeats = false;
            } else {
                reader->runLeft = 1 - n;
                reader->runRepeats = true;
                if (int32_t r = ReadPixel(reader, f, reader->runPixel)) return r;
            }
        }
        if (reader->runRepeats) {
            PutPixel(out, reader->runPixel, f);
        } else {
            if (int32_t r = ReadPixel(reader, f, pixel)) return r;
            PutPixel(out, pixel, f);
        }
        --reader->runLeft;
    }
    return 0;
}

int32_t DecodeTvdcRow(BodyReader* reader, uint8_t* out, uint32_t width, const DeepFormat& f) {
    for (uint32_t e = 0; e < f.bytes; ++e) {
        const int32_t channel = Channel(f, e);
        uint8_t value = 0;
        uint8_t byte = 0;
        bool low = false;  // the low nibble of `byte` is next
        const auto nibble = [&](uint8_t* n) -> int32_t {
            if (low) {
                *n = byte & 0x0F;
                low = false;
                return 0;
            }
            if (int32_t r = NextByte(reader, &byte)) return r;
            *n = byte >> 4;
            low = true;
            return 0;
        };
        uint32_t x = 0;
        while (x < width) {
            uint8_t k;
            if (int32_t r = nibble(&k)) return r;
            const int16_t delta = f.tvdc[k];
            uint32_t count = 1;
            if (delta != 0) {
                value = uint8_t(value + delta);
            } else {
                uint8_t n;
                if (int32_t r = nibble(&n)) return r;
                count = uint32_t{n} + 1;
                if (count > width - x) count = width - x;
            }
            if (channel >= 0) {
                for (uint32_t i = 0; i < count; ++i) out[3 * size_t{x + i} + uint32_t(channel)] = value;
            }
            x += count;
        }
    }
    return 0;
}

}  // namespace

int32_t DecodeDeepRow(BodyReader* reader, RowBuffers* rows, const DeepFormat& format) {
    uint8_t* out = rows->planeView.Planes[0];
    const uint32_t width = rows->width;
    switch (format.compression) {
        case deepRunLength:
            return DecodeRunLengthRow(reader, out, width, format);
        case deepTvdc:
            return DecodeTvdcRow(reader, out, width, format);
        default:
            return DecodePlainRow(reader, out, width, format);
    }
}

}  // namespace lanterna
