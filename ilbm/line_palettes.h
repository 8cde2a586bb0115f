// Line-by-line palettes of the SHAM and CTBL chunks: a new set of 16
// colours for every picture row (SHAM for HAM pictures, CTBL for
// colour-mapped ones). Each colour is a 12-bit word 0x0RGB.
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"
#include "records/picture_info.h"

namespace lanterna {

constexpr int32_t LINE_PALETTE_COLOURS = 16;
constexpr int32_t LINE_PALETTE_BYTES = LINE_PALETTE_COLOURS * 2;

// Reads the palettes of a SHAM (which starts with a 16-bit version word) or
// CTBL chunk into the picture, replacing any read before. Only as many as
// the picture has rows are kept (one when the header has none); without
// the header yet (headerKnown false), as many as any header can have rows,
// for the caller to trim when the header is read. 0, 103 when
// memory runs out, ERR_CORRUPT for a chunk too short for its version word,
// or IffResultCode of a parser error. A chunk without one whole palette
// leaves the picture without line palettes.
int32_t ReadLinePalettes(os::IFFHandle* iff, int32_t chunkSize, bool hasVersion, bool headerKnown,
                         PictureInfo& picture);
// The colours in force for picture row `row`: the file's colour map with
// entries 0..15 replaced by the row's palette (the last palette stays in
// force for the rows after it) and, on an Extra-Half-Brite picture, 32..47
// by their halves. `out` holds 256 RGB triplets.
void LineColours(const PictureInfo& picture, int32_t row, uint8_t* out);

}  // namespace lanterna
