// Animated lossless WebP files through libwebp's animation encoder, for
// animations of more colours than a GIF frame holds. The encoder takes a
// whole frame at a time: the rows of one frame are gathered here, one
// frame's worth of memory, and handed over when the last has come.
#pragma once

#include <cstdint>

#include "platform/imagefile/image_output.h"

namespace os {

struct WebpFormat {
    uint32_t width = 0;  // 1 to 16383
    uint32_t height = 0;
    bool loop = true;
};

struct WebpWriter;

// 0 with *writer ready for the first frame, or a DOS error code
// (ERROR_BAD_NUMBER for a size WebP cannot hold).
int32_t OpenWebpWriter(ImageOutput* output, const WebpFormat& format, WebpWriter** writer);
// Starts a frame shown from startMilliseconds (after the start of the one
// before); the rows of the one before must all be written.
int32_t BeginWebpFrame(WebpWriter* writer, int64_t startMilliseconds);
// One row of the frame: width pixels of red, green and blue.
int32_t WriteWebpRow(WebpWriter* writer, const uint8_t* rgb);
// Ends the file with the last frame shown until endMilliseconds, and writes
// it out: 0 or the code of the failure. With finish false (a failure on the
// caller's side) nothing is written. Frees the writer in any case; the
// output stays the caller's. Null is ignored.
int32_t CloseWebpWriter(WebpWriter* writer, int64_t endMilliseconds, bool finish = true);

}  // namespace os
