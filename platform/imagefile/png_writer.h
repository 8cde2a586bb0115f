// PNG files written row by row through libpng: RGB, RGBA or colour-mapped
// rows, so a picture is never held whole to be saved.
#pragma once

#include <cstdint>

#include "platform/imagefile/image_output.h"

namespace os {

enum class PngPixels { Rgb, Rgba, Palette };

struct PngFormat {
    uint32_t width = 0;
    uint32_t height = 0;
    PngPixels pixels = PngPixels::Rgb;
    const uint8_t* palette = nullptr;  // Palette: paletteCount RGB triplets
    int32_t paletteCount = 0;          // 1 to 256
    int32_t transparentIndex = -1;     // Palette: an index shown transparent, or -1
    int32_t compressionLevel = 6;      // zlib's 0 to 9
};

struct PngWriter;

// 0 with *writer ready for the first row, or a DOS error code
// (ERROR_BAD_NUMBER for a format PNG cannot hold).
int32_t OpenPngWriter(ImageOutput* output, const PngFormat& format, PngWriter** writer);
// One row: width pixels of 3 (Rgb), 4 (Rgba) or 1 (Palette) bytes. 0, or the
// code of the failure; after a failure every call fails.
int32_t WritePngRow(PngWriter* writer, const uint8_t* row);
// Ends the file after its last row: 0, or the code of the failure (also
// when rows are missing). Frees the writer in any case; the output stays
// the caller's. Null is ignored.
int32_t ClosePngWriter(PngWriter* writer);

}  // namespace os
