// Colour cycling as a sequence of palettes: the viewer's ticks (60 a second,
// the same stepping as its cycling task) run ahead, and a frame is kept
// only where the colours change.
#pragma once

#include <cstdint>
#include <vector>

#include "records/picture_info.h"

namespace lanterna {

constexpr int32_t CYCLE_LONGEST_PERIOD_SECONDS = 60;

struct CycleTimeline {
    int32_t colourCount = 0;        // the entries of each palette
    std::vector<int64_t> ticks;     // when each frame starts; the first at 0
    std::vector<uint8_t> palettes;  // colourCount RGB triplets a frame
    int64_t endTick = 0;            // the end of the last frame, where the loop starts again
    bool wholePeriod = false;       // the end is the ranges' common period
};

// True when the picture has a range its colour-mapped screen would cycle.
bool HasCyclingRanges(const PictureInfo& picture);
// The cycling from the picture's colours (colourCount entries, 1 to 256):
// one whole period of all its ranges together when that is at most a
// minute, otherwise fallbackSeconds. A frame starts where an entry in
// `used` (colourCount flags: the picture has a pixel of that colour) changes.
CycleTimeline BuildCycleTimeline(const PictureInfo& picture, const uint8_t* colours, int32_t colourCount,
                                 const bool* used, int32_t fallbackSeconds);

}  // namespace lanterna
