// The picture being shown: owned by one call of ShowPicture.
#pragma once

#include <cstdint>

#include "records/ilbm_records.h"

namespace lanterna {

struct RowBuffers;  // records/row_buffers.h
struct BodyReader;  // ilbm/body_decoding.h
struct PaletteChanges;  // ilbm/palette_changes.h

struct PictureInfo {
    BitMapHeader header;
    uint32_t formType = ID_ILBM;  // the FORM the BODY stands in: ILBM or PBM
    uint32_t modeId = 0;
    bool hasMode = false;         // a usable CAMG chunk was read
    uint8_t* colours = nullptr;   // 256 RGB triplets, zero-filled; null without CMAP
    int32_t colourCount = 0;      // 0 to 256
    CycleRange ranges[MAX_CYCLE_RANGES] = {};
    int32_t rangeCount = 0;
    int32_t displayDepth = 8;     // 8 or 24
    int32_t xScale = 1;           // 2: every pixel drawn twice
    int32_t yScale = 1;           // 2: every row drawn twice
    uint8_t backgroundPen = 0;
    int32_t left = 0;             // where row 0 is drawn
    int32_t top = 0;
    uint8_t* linePalettes = nullptr;  // SHAM / CTBL: 16 12-bit colours a line, big-endian
    int32_t linePaletteCount = 0;     // lines held (at most the picture's rows)
    DeepFormat deep;                  // FORM DEEP only
    PaletteChanges* paletteChanges = nullptr;  // PCHG: changes of colour registers from line to line
    RowBuffers* rows = nullptr;
    BodyReader* body = nullptr;   // compressed pictures only
};

constexpr int32_t COLOUR_TABLE_ENTRIES = 256;
constexpr int32_t COLOUR_TABLE_BYTES = COLOUR_TABLE_ENTRIES * 3;

}  // namespace lanterna
