// The pixel transfer: each decoded row (records/row_buffers.h) is converted
// to a line of pixels (colour-mapped, HAM or deep) and written into the
// window of the program's display.
#pragma once

#include <cstdint>

#include "records/ilbm_records.h"
#include "records/row_buffers.h"

namespace lanterna {

// Converts the row held in `rows` and writes it at (left, y) of the window of
// the program's display; never outside the screen.
void WriteRow(int32_t left, int32_t y, bool doubleWidth, RowBuffers* rows, const uint8_t* colours);
// The same for pixels [firstPixel, endPixel) of the row only, each where the
// whole row would put it: for a frame that changed in a few columns of a row.
void WriteRowSpan(int32_t left, int32_t y, bool doubleWidth, RowBuffers* rows, const uint8_t* colours,
                  uint32_t firstPixel, uint32_t endPixel);

}  // namespace lanterna
