// A picture's thumbnail: the rows the reader hands, converted to pixels,
// through the area filter into a PNG written row by row, so no picture is
// held whole whatever its size. The picture keeps its shape on the screen
// (tall or wide pixels of its display mode); its longer side becomes
// `size`, never more than it is shown at.
#pragma once

#include <cstdint>

#include "ilbm/picture_reader.h"
#include "platform/imagefile/image_output.h"

namespace lanterna {

struct ThumbnailSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// The thumbnail's size for a picture of width x height shown with the
// given pixel scales; 0 x 0 for an empty picture.
ThumbnailSize FitThumbnail(uint32_t width, uint32_t height, int32_t xScale, int32_t yScale, uint32_t size);

// Where the PNG goes: opened only once the first row has been read, so a
// file that holds no picture leaves nothing behind. 0, or a DOS code.
struct ThumbnailOutput {
    int32_t (*open)(void* user, os::ImageOutput* output) = nullptr;
    void* user = nullptr;
};

// Reads the rows of an opened reader into a thumbnail: 0, or the code that
// refused the picture (the output is then removed). A picture whose rows
// end early gives the rows it holds, the rest in the colour the viewer
// clears its screen with (transparent in a picture with a mask).
int32_t WriteThumbnail(PictureReader* reader, uint32_t size, const ThumbnailOutput& output);

}  // namespace lanterna
