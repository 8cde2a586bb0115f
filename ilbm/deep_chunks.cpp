// The DEEP chunks, big-endian like all IFF:
//   DGBL: display width, display height, compression (16 bits each), then
//         the x and y aspect (a byte each);
//   DPEL: the number of elements (32 bits), then for each its type and its
//         depth in bits (16 bits each), in the order of the bytes of a pixel;
//   DLOC: width, height, x, y of the body that follows (16 bits each);
//   TVDC: 16 signed 16-bit deltas for the nibbles of compression 5.
// A chunk shorter than its record is corrupt.
#include "ilbm/deep_chunks.h"

#include "platform/exec/byte_order.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

using os::Be16;
using os::Be32;

int32_t ReadRecord(os::IFFHandle* iff, uint8_t* buffer, int32_t count) {
    const int32_t got = os::ReadChunkBytes(iff, buffer, count);
    if (got < 0) return IffResultCode(got);
    return got == count ? 0 : ERR_CORRUPT;
}

// The size of the rows the body holds (DGBL's, or DLOC's after it).
void SetDeepSize(PictureInfo& picture, uint16_t w, uint16_t h) {
    picture.header.w = w;
    picture.header.h = h;
}

}  // namespace

int32_t ReadDeepGlobals(os::IFFHandle* iff, PictureInfo& picture) {
    uint8_t b[8];
    if (int32_t e = ReadRecord(iff, b, 8)) return e;
    BitMapHeader& h = picture.header;
    h = BitMapHeader{};
    SetDeepSize(picture, Be16(b), Be16(b + 2));
    h.pageWidth = h.w;
    h.pageHeight = h.h;
    // The rows are RGB on a 24-bit screen, whatever the elements are.
    h.nPlanes = 24;
    picture.deep.compression = Be16(b + 4);
    h.xAspect = b[6];
    h.yAspect = b[7];
    // A DEEP has no view mode, and none is guessed from its size as for a
    // planar picture without CAMG: its pixels are shown one for one, wide
    // pictures too.
    picture.modeId = 0;
    picture.hasMode = true;
    return 0;
}

int32_t ReadDeepPixelFormat(os::IFFHandle* iff, int32_t chunkSize, PictureInfo& picture) {
    picture.deep.known = false;
    uint8_t b[4 + 4 * DEEP_MAX_ELEMENTS];
    if (int32_t e = ReadRecord(iff, b, 4)) return e;
    const uint32_t count = Be32(b);
    if (count == 0 || count > uint32_t(DEEP_MAX_ELEMENTS) || int64_t{chunkSize} < 4 + 4 * int64_t{count}) {
        return ERR_CORRUPT;
    }
    if (int32_t e = ReadRecord(iff, b + 4, int32_t(4 * count))) return e;
    int32_t red = -1, green = -1, blue = -1;
    int32_t colourBits = 0;  // of red, green and blue alike
    int32_t at = 0;          // the byte an element starts at
    bool showable = true;
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t type = Be16(b + 4 + 4 * i);
        const uint16_t bits = Be16(b + 6 + 4 * i);
        if (bits == 0 || bits > 32) return ERR_CORRUPT;
        // Elements of other depths are sound, but no screen here shows them.
        if (bits != 8 && bits != 16) showable = false;
        int32_t* slot = type == DEEP_RED ? &red : type == DEEP_GREEN ? &green : type == DEEP_BLUE ? &blue : nullptr;
        if (slot != nullptr) {
            if (*slot >= 0) showable = false;  // a component twice: which one is the colour?
            if (colourBits != 0 && colourBits != bits) showable = false;
            colourBits = bits;
            *slot = at;
        }
        at += bits / 8;
    }
    if (!showable || red < 0 || green < 0 || blue < 0) return ERR_NO_SCREEN_MODE;
    DeepFormat& f = picture.deep;
    f.bytes = uint8_t(at);
    f.elements = uint8_t(count);
    f.wide = colourBits == 16;
    f.red = uint8_t(red);
    f.green = uint8_t(green);
    f.blue = uint8_t(blue);
    f.known = true;
    return 0;
}

int32_t ReadDeepLocation(os::IFFHandle* iff, PictureInfo& picture) {
    uint8_t b[8];
    // The size is what the pixels are laid out by; x and y (where the body
    // goes on the display) are not needed for a picture shown alone.
    if (int32_t e = ReadRecord(iff, b, 4)) return e;
    SetDeepSize(picture, Be16(b), Be16(b + 2));
    return 0;
}

int32_t ReadTvdcTable(os::IFFHandle* iff, PictureInfo& picture) {
    uint8_t b[32];
    if (int32_t e = ReadRecord(iff, b, 32)) return e;
    for (int i = 0; i < 16; ++i) picture.deep.tvdc[i] = int16_t(Be16(b + 2 * i));
    picture.deep.hasTvdc = true;
    return 0;
}

}  // namespace lanterna
