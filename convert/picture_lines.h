// A picture's rows as lines of output pixels: read through the picture
// reader, converted as the window converts them (display/pixels), widened
// for the pixel aspect and the scale. One row at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ilbm/picture_reader.h"

namespace lanterna {

struct PictureLines {
    PictureReader* reader = nullptr;  // the caller's
    uint32_t width = 0;               // the picture's
    uint32_t height = 0;
    int32_t xRepeat = 1;  // each pixel written this many times
    int32_t yRepeat = 1;  // each line written this many times
    uint32_t outWidth = 0;
    uint32_t outHeight = 0;
    size_t bytes = 0;     // of a pixel: 1 (colour index) or 3 (RGB), settled by the first row
    uint32_t nextRow = 0;
    bool cut = false;     // the file ended before its last row: the rest is background
    uint32_t rowsInFile = 0;  // cut: the rows the file held
    std::vector<uint8_t> raw;   // the last row at the picture's width
    std::vector<uint8_t> line;  // the same widened
    std::vector<uint8_t> palette;  // indexed: paletteCount RGB triplets
    int32_t paletteCount = 0;
};

// Sizes checked (ERR_SCREEN_SIZE beyond what the formats hold). The rows
// are begun here.
int32_t StartPictureLines(PictureReader* reader, int32_t xRepeat, int32_t yRepeat, PictureLines* lines);
// The next row into raw and line: 0, or the code that ends the picture.
int32_t NextPictureLine(PictureLines* lines);
// Said beside the result of a cut file: how far it went (empty otherwise).
std::string CutNote(const PictureLines& lines);
// Widens a row of `pixels` pixels of `bytes` bytes, each `repeat` times.
void WidenLine(const uint8_t* row, uint32_t pixels, size_t bytes, int32_t repeat, uint8_t* out);

}  // namespace lanterna
