// Observation points of the cycling task, for tests: they count ticks and
// palette loads without depending on a display backend. The callbacks run on
// the cycling task's own thread, so they may read the handle's ranges and
// colours (which only that task writes) and the colour-load table it has
// just loaded. Unset in the program.
#pragma once

#include <cstdint>

namespace lanterna {

struct CycleHandle;

struct CycleObserver {
    // After the ranges of a tick with cycling on have been advanced;
    // `stepped` tells whether any range rotated.
    void (*tick)(void* context, const CycleHandle* handle, bool stepped) = nullptr;
    // Right after the palette was loaded from `table` (the colour-load table).
    void (*load)(void* context, const CycleHandle* handle, const uint32_t* table) = nullptr;
    void* context = nullptr;
};

// Installs (or with null removes) the observer. Install it before the
// StartCycling whose task it is to watch and remove it after StopCycling.
void SetCycleObserver(const CycleObserver* observer);

}  // namespace lanterna
