// The pixel aspect of a display mode.
#include "display/pixels/pixel_shape.h"

#include "records/ilbm_records.h"

namespace lanterna {

PixelAspect PixelAspectOfMode(uint32_t modeId) {
    const bool hires = (modeId & HIRES) != 0;
    const bool lace = (modeId & LACE) != 0;
    PixelAspect aspect;
    if (hires && !lace) {
        aspect.yScale = 2;
    } else if (lace && !hires) {
        aspect.xScale = 2;
    }
    return aspect;
}

}  // namespace lanterna
