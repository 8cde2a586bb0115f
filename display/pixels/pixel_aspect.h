// The shape of a picture's pixels on the display: high resolution without
// interlace has tall pixels, interlace without high resolution wide ones.
// The window and the converter's --aspect double the same way.
#pragma once

#include <cstdint>

namespace lanterna {

struct PixelAspect {
    int32_t xScale = 1;  // 2: every pixel drawn twice
    int32_t yScale = 1;  // 2: every row drawn twice
};

// From the display mode the reader settled (PictureInfo::modeId).
PixelAspect ChoosePixelAspect(uint32_t modeId);

}  // namespace lanterna
