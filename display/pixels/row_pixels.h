// Turning one decoded row (records/row_buffers.h) into a line of pixels:
// one colour index a pixel for colour-mapped and chunky rows, red, green
// and blue for HAM, deep, true-colour rows and rows with colours of their own.
// Needs no screen: the window's pixel transfer, and any program that wants
// a picture's pixels, convert through it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "records/row_buffers.h"

namespace lanterna {

// Converts pixels [firstPixel, endPixel) of the row in `rows` into
// rows->lineBuffer, each at its own place in the line (times two with
// doubleWidth: every pixel drawn twice). `colours` are the row's colours, for
// HAM and rows shown in RGB (256 RGB triplets; black where null). Gives the
// bytes of a pixel in the line, 1 or 3; 0 for rows of no known kind.
// endPixel is at most rows->width.
size_t ConvertRowPixels(RowBuffers* rows, const uint8_t* colours, size_t firstPixel, size_t endPixel,
                        bool doubleWidth);

}  // namespace lanterna
