// Animated GIF files written through giflib, one frame after another and
// each frame row by row: colour indices with a colour table of the frame's
// own, so a frame of up to 256 colours is kept exactly.
#pragma once

#include <cstdint>

#include "platform/imagefile/image_output.h"

namespace os {

struct GifFormat {
    uint32_t width = 0;   // the logical screen, 1 to 65535
    uint32_t height = 0;
    bool loop = true;     // played again and again (the NETSCAPE2.0 loop block)
};

struct GifFrame {
    uint32_t left = 0;  // the frame's rectangle inside the screen
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    const uint8_t* palette = nullptr;  // paletteCount RGB triplets
    int32_t paletteCount = 0;          // 1 to 256
    int32_t delayCentiseconds = 0;     // how long the frame stays, 0 to 65535
};

struct GifWriter;

// 0 with *writer ready for the first frame, or a DOS error code
// (ERROR_BAD_NUMBER for a format GIF cannot hold).
int32_t OpenGifWriter(ImageOutput* output, const GifFormat& format, GifWriter** writer);
// Starts a frame; the rows of the one before must all be written.
int32_t BeginGifFrame(GifWriter* writer, const GifFrame& frame);
// One row of the frame: its width in colour indices below paletteCount.
int32_t WriteGifRow(GifWriter* writer, const uint8_t* indices);
// Ends the file: 0, or the code of the failure (also when no frame or rows
// are missing). Frees the writer in any case; the output stays the caller's.
// Null is ignored.
int32_t CloseGifWriter(GifWriter* writer);

}  // namespace os
