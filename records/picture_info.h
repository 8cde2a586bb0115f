// What a picture file says, as the reader (ilbm/picture_reader.h) gathers it
// up to the BODY: the form, the header, the display mode, the colours, the
// cycle ranges, the line palettes and the DEEP layout. Six forms are read:
// ILBM, PBM, ACBM, RGB8, RGBN and DEEP. How the display shows the picture is
// the display's own record (display/display.h).
#pragma once

#include <cstdint>

#include "records/ilbm_records.h"

namespace lanterna {

struct PaletteChanges;  // ilbm/palette_changes.h

struct PictureInfo {
    BitMapHeader header;
    uint32_t formType = ID_ILBM;  // the FORM the BODY stands in
    uint32_t modeId = 0;          // once read to the BODY: the mode the rows are decoded in
    bool hasMode = false;         // a usable CAMG chunk was read
    uint8_t* colours = nullptr;   // 256 RGB triplets, zero-filled; null without CMAP
    int32_t colourCount = 0;      // 0 to 256; with half-brite, the halved colours too
    uint8_t darkestColour = 0;    // of the file's own map, before any halved colours: a pen to clear with
    CycleRange ranges[MAX_CYCLE_RANGES] = {};
    int32_t rangeCount = 0;
    uint8_t* linePalettes = nullptr;  // SHAM / CTBL: 16 12-bit colours a line, big-endian
    int32_t linePaletteCount = 0;     // lines held (at most the picture's rows)
    DeepFormat deep;                  // FORM DEEP only
    PaletteChanges* paletteChanges = nullptr;  // PCHG: changes of colour registers from line to line
};

// A planar picture of up to 8 planes with SHAM, CTBL or PCHG palettes: its
// rows are converted to RGB, each through its own colours.
inline bool HasLinePalettes(const PictureInfo& picture) {
    return (picture.linePaletteCount > 0 || picture.paletteChanges != nullptr) && picture.header.nPlanes <= 8 &&
           (picture.formType == ID_ILBM || picture.formType == ID_ACBM);
}

// The shape of the picture's pixels on the screen: high resolution without
// interlace has tall pixels (each row shown twice), interlace without high
// resolution wide ones (each pixel shown twice).
struct PixelAspect {
    int32_t xScale = 1;
    int32_t yScale = 1;
};

inline PixelAspect PixelAspectOf(const PictureInfo& picture) {
    const bool hires = (picture.modeId & HIRES) != 0;
    const bool lace = (picture.modeId & LACE) != 0;
    return PixelAspect{lace && !hires ? 2 : 1, hires && !lace ? 2 : 1};
}

constexpr int32_t COLOUR_TABLE_ENTRIES = 256;
constexpr int32_t COLOUR_TABLE_BYTES = COLOUR_TABLE_ENTRIES * 3;

}  // namespace lanterna
