// The ILBM records as the program keeps them. All multi-byte values in the
// file are big-endian; the readers convert them field by field.
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"

namespace lanterna {

constexpr uint32_t ID_ILBM = os::MakeId('I', 'L', 'B', 'M');
constexpr uint32_t ID_PBM = os::MakeId('P', 'B', 'M', ' ');   // chunky: one byte a pixel
constexpr uint32_t ID_RGB8 = os::MakeId('R', 'G', 'B', '8');  // run-length 24-bit colour
constexpr uint32_t ID_RGBN = os::MakeId('R', 'G', 'B', 'N');  // run-length 12-bit colour
constexpr uint32_t ID_ACBM = os::MakeId('A', 'C', 'B', 'M');  // contiguous bit planes
constexpr uint32_t ID_ABIT = os::MakeId('A', 'B', 'I', 'T');  // the planes of an ACBM
constexpr uint32_t ID_SHAM = os::MakeId('S', 'H', 'A', 'M');  // a HAM palette for every line
constexpr uint32_t ID_CTBL = os::MakeId('C', 'T', 'B', 'L');  // a colour palette for every line
constexpr uint32_t ID_PCHG = os::MakeId('P', 'C', 'H', 'G');  // palette changes from line to line
constexpr uint32_t ID_DEEP = os::MakeId('D', 'E', 'E', 'P');  // chunky true colour of TVPaint
constexpr uint32_t ID_DGBL = os::MakeId('D', 'G', 'B', 'L');  // DEEP: size, compression, aspect
constexpr uint32_t ID_DPEL = os::MakeId('D', 'P', 'E', 'L');  // DEEP: the elements of a pixel
constexpr uint32_t ID_DLOC = os::MakeId('D', 'L', 'O', 'C');  // DEEP: size and place of the body
constexpr uint32_t ID_DBOD = os::MakeId('D', 'B', 'O', 'D');  // DEEP: the pixels
constexpr uint32_t ID_TVDC = os::MakeId('T', 'V', 'D', 'C');  // DEEP: the delta table of compression 5
constexpr uint32_t ID_BMHD = os::MakeId('B', 'M', 'H', 'D');
constexpr uint32_t ID_CMAP = os::MakeId('C', 'M', 'A', 'P');
constexpr uint32_t ID_CMYK = os::MakeId('C', 'M', 'Y', 'K');  // the colour map as cyan, magenta, yellow, black
constexpr uint32_t ID_CAMG = os::MakeId('C', 'A', 'M', 'G');
constexpr uint32_t ID_BODY = os::MakeId('B', 'O', 'D', 'Y');
constexpr uint32_t ID_CCRT = os::MakeId('C', 'C', 'R', 'T');
constexpr uint32_t ID_CRNG = os::MakeId('C', 'R', 'N', 'G');

constexpr uint8_t mskNone = 0;
constexpr uint8_t mskHasMask = 1;
constexpr uint8_t mskHasTransparentColor = 2;
constexpr uint8_t mskLasso = 3;

constexpr uint8_t cmpNone = 0;
constexpr uint8_t cmpByteRun1 = 1;
constexpr uint8_t cmpRgbn = 4;  // the run-length coding of RGB8 and RGBN
// DEEP compressions (the 16-bit field of DGBL): none, run-length over whole
// pixels, and TVPaint's nibble deltas; 2 to 4 (Huffman, dynamic Huffman,
// JPEG) are not read.
constexpr uint16_t deepNone = 0;
constexpr uint16_t deepRunLength = 1;
constexpr uint16_t deepTvdc = 5;

// DEEP pixel elements (DPEL): each has a type and a depth in bits.
constexpr uint16_t DEEP_RED = 1;
constexpr uint16_t DEEP_GREEN = 2;
constexpr uint16_t DEEP_BLUE = 3;
constexpr int32_t DEEP_MAX_ELEMENTS = 8;
constexpr int32_t DEEP_MAX_PIXEL_BYTES = 2 * DEEP_MAX_ELEMENTS;  // elements of 8 or 16 bits

// How a DEEP pixel is laid out: its bytes, and which of them hold red,
// green and blue (the others, alpha, mask or depth, are not shown).
struct DeepFormat {
    bool known = false;  // a usable DPEL chunk was read
    uint8_t bytes = 0;   // 3 to DEEP_MAX_PIXEL_BYTES
    uint8_t elements = 0;  // 3 to DEEP_MAX_ELEMENTS: as many as bytes when all are 8 bits
    uint8_t red = 0, green = 0, blue = 0;  // the first byte of each component
    bool wide = false;   // red, green and blue are 16 bits each (big-endian)
    uint16_t compression = deepNone;
    bool hasTvdc = false;
    int16_t tvdc[16] = {};
};

// BMHD, 20 bytes in the file.
struct BitMapHeader {
    uint16_t w = 0;
    uint16_t h = 0;
    int16_t x = 0;
    int16_t y = 0;
    uint8_t nPlanes = 0;
    uint8_t masking = 0;
    uint8_t compression = 0;
    uint8_t pad1 = 0;
    uint16_t transparentColor = 0;
    uint8_t xAspect = 0;
    uint8_t yAspect = 0;
    uint16_t pageWidth = 0;  // the screen the picture was made for
    uint16_t pageHeight = 0;
};

constexpr int16_t RNG_ACTIVE = 1;
constexpr int16_t RNG_REVERSE = 2;

// CRNG, 8 bytes in the file; CCRT chunks are converted into this form.
struct CycleRange {
    int16_t pad1 = 0;  // the range's phase while it cycles
    int16_t rate = 0;  // 16384 = 60 steps per second
    int16_t flags = 0;
    uint8_t low = 0;
    uint8_t high = 0;
};

constexpr int32_t MAX_CYCLE_RANGES = 8;

// View-mode bits (CAMG).
constexpr uint32_t GENLOCK_VIDEO = 0x0002;
constexpr uint32_t LACE = 0x0004;
constexpr uint32_t EXTRA_HALFBRITE = 0x0080;
constexpr uint32_t GENLOCK_AUDIO = 0x0100;
constexpr uint32_t HAM = 0x0800;
constexpr uint32_t EXTENDED_MODE = 0x1000;
constexpr uint32_t VP_HIDE = 0x2000;
constexpr uint32_t SPRITES = 0x4000;
constexpr uint32_t HIRES = 0x8000;

}  // namespace lanterna
