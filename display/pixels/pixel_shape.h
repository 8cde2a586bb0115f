// The shape of a picture's pixels on the screen, from its display mode:
// high resolution without interlace has tall pixels (each row shown twice),
// interlace without high resolution wide ones (each pixel shown twice). The
// viewer's screen and any program that shows a picture in its shape (a
// thumbnail) take the same rule.
#pragma once

#include <cstdint>

namespace lanterna {

struct PixelAspect {
    int32_t xScale = 1;
    int32_t yScale = 1;
};

PixelAspect PixelAspectOfMode(uint32_t modeId);

}  // namespace lanterna
