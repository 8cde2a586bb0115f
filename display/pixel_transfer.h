// Row buffers for one picture and the pixel transfer: each decoded row is
// converted to a line of pixels (colour-mapped, HAM or deep) and written
// into the window of the program's display.
#pragma once

#include <cstdint>

#include "records/ilbm_records.h"
#include "records/row_buffers.h"

namespace lanterna {

// Whether rows of this plane count (and form) can be shown: up to 8 planes
// colour-mapped or HAM; 12 to 24 planes in three equal components; 32 planes
// of red, green, blue and alpha. A chunky (PBM) row is one byte a pixel and
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
// Converts the row held in `rows` and writes it at (left, y) of the window of
// the program's display; never outside the screen.
void WriteRow(int32_t left, int32_t y, bool doubleWidth, RowBuffers* rows, const uint8_t* colours);
void FillLevelTable(uint8_t* table, int32_t size, int32_t levels, int32_t maximum);

}  // namespace lanterna
