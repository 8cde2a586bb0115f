#include "convert/cycle_timeline.h"

#include <algorithm>
#include <cstring>

#include "records/cycle_steps.h"

namespace lanterna {

namespace {

bool IsHalfBrite(const PictureInfo& picture) {
    return (picture.modeId & EXTRA_HALFBRITE) != 0 && picture.header.nPlanes == 6;
}

// The ranges the viewer's cycling task would rotate, the others made inactive.
int32_t UsableRanges(const PictureInfo& picture, int32_t colourCount, CycleRange* ranges) {
    int32_t usable = 0;
    for (int32_t i = 0; i < MAX_CYCLE_RANGES; ++i) {
        ranges[i] = picture.ranges[i];
        if ((ranges[i].flags & RNG_ACTIVE) == 0 || !RangeUsable(ranges[i], colourCount, IsHalfBrite(picture))) {
            ranges[i].flags = int16_t(ranges[i].flags & ~RNG_ACTIVE);
        } else {
            ++usable;
        }
    }
    return usable;
}

// One tick of the cycling task: true when a range stepped.
bool Tick(CycleRange* ranges, uint8_t* colours, bool halfBrite) {
    bool stepped = false;
    for (int32_t i = 0; i < MAX_CYCLE_RANGES; ++i) {
        if ((ranges[i].flags & RNG_ACTIVE) != 0 && AdvancePhase(ranges[i])) {
            StepRange(colours, ranges[i], halfBrite);
            stepped = true;
        }
    }
    return stepped;
}

bool SameUsedColours(const uint8_t* a, const uint8_t* b, int32_t count, const bool* used) {
    for (int32_t i = 0; i < count; ++i) {
        if (used[i] && std::memcmp(a + 3 * i, b + 3 * i, 3) != 0) return false;
    }
    return true;
}

bool SamePhases(const CycleRange* a, const CycleRange* b) {
    for (int32_t i = 0; i < MAX_CYCLE_RANGES; ++i) {
        if (a[i].pad1 != b[i].pad1) return false;
    }
    return true;
}

}  // namespace

bool HasCyclingRanges(const PictureInfo& picture) {
    CycleRange ranges[MAX_CYCLE_RANGES];
    return picture.colours != nullptr &&
           UsableRanges(picture, std::min(picture.colourCount, COLOUR_TABLE_ENTRIES), ranges) > 0;
}

CycleTimeline BuildCycleTimeline(const PictureInfo& picture, const uint8_t* colours, int32_t colourCount,
                                 const bool* used, int32_t fallbackSeconds) {
    CycleTimeline timeline;
    timeline.colourCount = colourCount;
    const size_t bytes = size_t(colourCount) * 3;
    CycleRange start[MAX_CYCLE_RANGES];
    // Ranges reach only the picture's own colours, as on the viewer's screen.
    UsableRanges(picture, std::min(picture.colourCount, colourCount), start);
    const bool halfBrite = IsHalfBrite(picture);

    // The state after a tick is the colours and the phases: when both are
    // back where they started, everything from there repeats.
    std::vector<uint8_t> work(colours, colours + bytes);
    CycleRange ranges[MAX_CYCLE_RANGES];
    std::copy(start, start + MAX_CYCLE_RANGES, ranges);
    const int64_t longest = int64_t(CYCLE_LONGEST_PERIOD_SECONDS) * CYCLE_TICKS_PER_SECOND;
    int64_t period = 0;
    for (int64_t t = 1; t <= longest && period == 0; ++t) {
        Tick(ranges, work.data(), halfBrite);
        if (SamePhases(ranges, start) && std::memcmp(work.data(), colours, bytes) == 0) period = t;
    }
    timeline.wholePeriod = period != 0;
    timeline.endTick = period != 0 ? period : int64_t(fallbackSeconds) * CYCLE_TICKS_PER_SECOND;

    work.assign(colours, colours + bytes);
    std::copy(start, start + MAX_CYCLE_RANGES, ranges);
    timeline.ticks.push_back(0);
    timeline.palettes.assign(colours, colours + bytes);
    for (int64_t t = 1; t < timeline.endTick; ++t) {
        if (Tick(ranges, work.data(), halfBrite) &&
            !SameUsedColours(work.data(), &timeline.palettes[timeline.palettes.size() - bytes], colourCount, used)) {
            timeline.ticks.push_back(t);
            timeline.palettes.insert(timeline.palettes.end(), work.begin(), work.end());
        }
    }
    return timeline;
}

}  // namespace lanterna
