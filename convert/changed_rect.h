// The part of a frame that changed from the frame before: a GIF frame after
// the first is just that rectangle, drawn over the frame before (which
// stays), so an animation's file holds what moves rather than every frame
// whole.
#pragma once

#include <cstdint>

#include "convert/frame_sink.h"

namespace lanterna {

// A frame of colour indices (width x height, a row after another) in its
// own colours (RGB triplets, at least an entry for every index a pixel
// holds).
struct IndexedFrame {
    const uint8_t* indices = nullptr;
    const uint8_t* colours = nullptr;
};

// The bounding box of the pixels whose colour differs between the two
// frames, whose indices are below colourCount (1 to 256); at least one
// pixel, so that a frame that changes nothing is still written and carries
// its time.
SinkRect ChangedRect(const IndexedFrame& before, const IndexedFrame& after, uint32_t width, uint32_t height,
                     int32_t colourCount);

}  // namespace lanterna
