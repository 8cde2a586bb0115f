// One decoded picture row and the buffers that turn it into a line of pixels,
// allocated and released here: the BODY decoders fill the plane rows (or the
// chunky or RGB row), the display converts them (display/pixel_transfer.h).
#pragma once

#include <cstdint>

#include "platform/graphics/graphics.h"
#include "records/ilbm_records.h"

namespace lanterna {

// Up to 64 colour planes (RGBA of 16 bits a component) and a mask plane.
constexpr int32_t MAX_PLANES = 65;

// A BitMap header followed by 65 plane pointers instead of 8.
struct PlaneView {
    uint16_t BytesPerRow = 0;
    uint16_t Rows = 0;
    uint8_t Flags = 0;
    uint8_t Depth = 0;
    uint16_t pad = 0;
    uint8_t* Planes[MAX_PLANES] = {};
};

constexpr uint32_t PIXEL_COLOUR_MAPPED = 0;
constexpr uint32_t PIXEL_HAM6 = 1;
constexpr uint32_t PIXEL_HAM8 = 2;
constexpr uint32_t PIXEL_DEEP = 3;
constexpr uint32_t PIXEL_CHUNKY = 4;  // PBM: the row holds one colour index a pixel
constexpr uint32_t PIXEL_RGB = 5;     // RGB8, RGBN: the row holds red, green, blue a pixel
constexpr uint32_t PIXEL_MAPPED_RGB = 6;  // colour-mapped rows shown in RGB (a palette per line)
// 48 and 64 planes, 16 bits a component: the planes as the BODY holds them,
// which the reader turns into PIXEL_RGB rows; the display never gets them.
constexpr uint32_t PIXEL_WIDE_PLANES = 7;

struct RowBuffers {
    PlaneView planeView;       // plane i of the current row at Planes[i]
    os::BitMap redView;        // deep pictures: the planes of each component
    os::BitMap greenView;
    os::BitMap blueView;
    uint8_t* blankRow = nullptr;             // one plane row of zeros
    uint8_t* planeRows[MAX_PLANES] = {};     // owned plane rows
    uint8_t* lineBuffer = nullptr;           // the output line
    uint8_t levelTable[256] = {};            // component expansion of deep pictures
    uint32_t width = 0;
    uint32_t pixelKind = PIXEL_COLOUR_MAPPED;
    uint32_t planeCount = 0;  // nPlanes of the header: the planes that make a pixel value
    uint32_t componentBits = 0;  // deep and wide pictures: bits of each of red, green and blue
};

// Whether rows of this plane count (and form) can be shown: up to 8 planes
// colour-mapped or HAM; 12 to 24 planes in three equal components; 32 planes
// of red, green, blue and alpha; 48 and 64 planes of the same with 16 bits
// each. A chunky (PBM) row is one byte a pixel and
// must fit a 16-bit row length. RGB8 and RGBN rows are decoded to RGB
// whatever their plane count says.
bool RowsCanBeShown(const BitMapHeader& header, uint32_t formType);
// True for the forms whose rows are decoded straight to RGB (RGB8, RGBN,
// DEEP).
bool IsTrueColourForm(uint32_t formType);
// Null when memory runs out or the rows cannot be shown. formType ID_PBM
// makes a chunky row of one byte a pixel, padded to an even length; RGB8,
// RGBN and DEEP make a row of three bytes a pixel. Every other form (ILBM, ACBM) has
// rows of bit planes.
// With rgbRows, colour-mapped rows are converted to RGB through the colours
// WriteRow is given (a picture with a palette for every line).
RowBuffers* AllocRowBuffers(const BitMapHeader& header, uint32_t modeId, uint32_t formType = ID_ILBM,
                            bool rgbRows = false);
void FreeRowBuffers(RowBuffers* rows);  // null is ignored
void FillLevelTable(uint8_t* table, int32_t size, int32_t levels, int32_t maximum);

}  // namespace lanterna
