// Row buffers for one picture and the pixel transfer: each decoded row is
// converted to a line of pixels (colour-mapped, HAM or deep) and written
// into the window of the program's display.
#pragma once

#include <cstdint>

#include "records/ilbm_records.h"
#include "records/row_buffers.h"

namespace lanterna {

// Null when memory runs out or the plane count / masking is not supported.
RowBuffers* AllocRowBuffers(const BitMapHeader& header, uint32_t modeId);
void FreeRowBuffers(RowBuffers* rows);  // null is ignored
// Converts the row held in `rows` and writes it at (left, y) of the window of
// the program's display; never outside the screen.
void WriteRow(int32_t left, int32_t y, bool doubleWidth, RowBuffers* rows, const uint8_t* colours);
void FillLevelTable(uint8_t* table, int32_t size, int32_t levels, int32_t maximum);

}  // namespace lanterna
