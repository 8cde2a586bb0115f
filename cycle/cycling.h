// Colour cycling: a task of its own rotates the colours of a picture's
// ranges at their rates and loads the palette into the screen.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/exec/exec.h"
#include "platform/graphics/graphics.h"
#include "records/cycle_steps.h"
#include "records/ilbm_records.h"

namespace lanterna {

constexpr uint32_t CYCLE_STACK_SIZE = 8192;

struct CycleHandle {
    os::Task* task = nullptr;
    os::Task* owner = nullptr;
    os::Screen* screen = nullptr;
    CycleRange ranges[MAX_CYCLE_RANGES];
    int16_t startPhases[MAX_CYCLE_RANGES];
    int32_t colourCount = 0;
    uint8_t* startColours = nullptr;
    uint8_t* workColours = nullptr;
    std::atomic<int16_t> running{0};  // written by the task only; the viewer reads it
    int16_t halfBrite = 0;
};

// Starts the "Cycle Task" for the picture on `screen`, with cycling switched
// off. A range is used only when it is active, its rate is above
// CYCLE_MIN_RATE, low < high, and every entry it rotates lies in the palette
// (high < colourCount and, on a half-brite screen, high + 32 < colourCount).
// A palette longer than the 256 colours of the colour-load table is cut to
// its first 256. Null when no range is usable or the task cannot start (and
// without a screen, ranges or colours).
// That rule for one range: true when StartCycling would rotate it.
bool CycleRangeUsable(const CycleRange& range, int32_t colourCount, bool halfBrite);
CycleHandle* StartCycling(os::Screen* screen, int16_t halfBrite, const CycleRange* ranges,
                          const uint8_t* colours, int32_t colourCount);
void CycleOn(CycleHandle* handle);
void CycleOff(CycleHandle* handle);
void CycleRestore(CycleHandle* handle);
// What Tab does: cycling on, or off with the starting colours back. Null is
// ignored.
void CycleSwitch(CycleHandle* handle);
void StopCycling(CycleHandle* handle);
void CycleTaskMain();

}  // namespace lanterna
