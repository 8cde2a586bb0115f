// The arithmetic of one cycling tick, apart from the task that runs it: the
// phase accumulator of a range and the rotation of its colours. Pure, so the
// viewer's cycling task and the converter's cycling animation step alike.
#pragma once

#include <cstdint>

#include "records/ilbm_records.h"

namespace lanterna {

// A range's rate is added to its phase once a tick (60 a second); it steps
// each time the phase reaches the threshold. Slower ranges are not cycled.
constexpr int32_t CYCLE_MIN_RATE = 36;
constexpr int32_t CYCLE_STEP_THRESHOLD = 16384;
constexpr int32_t CYCLE_TICKS_PER_SECOND = 60;
constexpr uint32_t CYCLE_TICK_MICROS = 16666;  // one tick of the 60 Hz display

// A range that may be rotated: fast enough, at least two entries, and with
// every entry it touches inside the palette (on a half-brite screen that
// includes the copies 32 entries above). The active flag is the caller's.
bool RangeUsable(const CycleRange& range, int32_t colourCount, bool halfBrite);

// Adds the range's rate to its phase (pad1). Returns true when the sum
// reached CYCLE_STEP_THRESHOLD, that is when the range steps on this tick.
// The phase keeps the sum modulo the threshold, truncated towards zero, so a
// negative phase handed in delays the first step and a rate above the
// threshold still steps only once per tick.
bool AdvancePhase(CycleRange& range);

// Rotates the triplets low..high (inclusive) of `colours` by one entry:
// forward moves every colour one index up and wraps the top one to `low`,
// reverse moves every colour one index down and wraps the bottom one to `high`.
void RotateColours(uint8_t* colours, uint8_t low, uint8_t high, bool reverse);

// One step of a range as the cycling task applies it: the range itself and,
// on a half-brite screen, its half-bright copies 32 entries above it.
void StepRange(uint8_t* colours, const CycleRange& range, bool halfBrite);

}  // namespace lanterna
