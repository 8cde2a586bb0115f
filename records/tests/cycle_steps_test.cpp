// The arithmetic of a tick: phase accumulation and colour rotation.
#include <gtest/gtest.h>

#include <vector>

#include "records/cycle_steps.h"

namespace lanterna {
namespace {

// Runs `ticks` ticks and returns on which of them (1-based) the range stepped.
std::vector<int> SteppingTicks(int16_t phase, int16_t rate, int ticks) {
    CycleRange range;
    range.pad1 = phase;
    range.rate = rate;
    std::vector<int> stepped;
    for (int t = 1; t <= ticks; ++t) {
        if (AdvancePhase(range)) {
            stepped.push_back(t);
        }
    }
    return stepped;
}

TEST(CyclePhase, StepsWhenThePhaseReachesTheThresholdAndKeepsTheRemainder) {
    CycleRange range;
    range.pad1 = 16000;
    range.rate = 500;
    EXPECT_TRUE(AdvancePhase(range));
    EXPECT_EQ(range.pad1, 116);

    range.pad1 = 16383 - 37;
    range.rate = 37;
    EXPECT_FALSE(AdvancePhase(range));
    EXPECT_EQ(range.pad1, 16383);
    EXPECT_TRUE(AdvancePhase(range));
    EXPECT_EQ(range.pad1, 36);
}

TEST(CyclePhase, RatesGiveTheirStepPatterns) {
    EXPECT_EQ(SteppingTicks(0, 16384, 4), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(SteppingTicks(0, 8192, 6), (std::vector<int>{2, 4, 6}));
    // Above the threshold a range still steps once per tick, never twice.
    EXPECT_EQ(SteppingTicks(0, 32767, 4), (std::vector<int>{1, 2, 3, 4}));
    // The slowest accepted rate: one step in 443 ticks, about 7.4 seconds.
    EXPECT_EQ(SteppingTicks(0, 37, 443), (std::vector<int>{443}));
}

TEST(CyclePhase, NegativePhaseDelaysTheFirstStepAndTruncatesTowardsZero) {
    EXPECT_EQ(SteppingTicks(-16384, 8192, 6), (std::vector<int>{4, 6}));

    CycleRange range;
    range.pad1 = -20000;
    range.rate = 100;
    EXPECT_FALSE(AdvancePhase(range));
    // -19900 modulo 16384 truncated towards zero keeps the sign.
    EXPECT_EQ(range.pad1, -3516);
}

TEST(CyclePhase, LargePhaseAndRateDoNotWrapInSixteenBits) {
    CycleRange range;
    range.pad1 = 32767;
    range.rate = 32767;
    EXPECT_TRUE(AdvancePhase(range));
    EXPECT_EQ(range.pad1, 65534 % 16384);
}

// A palette of `count` entries whose entry i is (i, 100 + i, 200 - i).
std::vector<uint8_t> NumberedPalette(int count) {
    std::vector<uint8_t> colours;
    for (int i = 0; i < count; ++i) {
        colours.push_back(uint8_t(i));
        colours.push_back(uint8_t(100 + i));
        colours.push_back(uint8_t(200 - i));
    }
    return colours;
}

// Index of the original entry that entry i now holds.
std::vector<int> Origins(const std::vector<uint8_t>& colours) {
    std::vector<int> origins;
    for (size_t i = 0; i < colours.size(); i += 3) {
        EXPECT_EQ(colours[i + 1], uint8_t(100 + colours[i]));
        origins.push_back(colours[i]);
    }
    return origins;
}

TEST(CycleRotation, ForwardAndReverseWithinTheRangeOnly) {
    std::vector<uint8_t> colours = NumberedPalette(10);
    RotateColours(colours.data(), 4, 7, false);
    EXPECT_EQ(Origins(colours), (std::vector<int>{0, 1, 2, 3, 7, 4, 5, 6, 8, 9}));

    colours = NumberedPalette(10);
    RotateColours(colours.data(), 4, 7, true);
    EXPECT_EQ(Origins(colours), (std::vector<int>{0, 1, 2, 3, 5, 6, 7, 4, 8, 9}));

    // Two entries swap either way; a full turn gives the palette back.
    colours = NumberedPalette(3);
    RotateColours(colours.data(), 1, 2, true);
    EXPECT_EQ(Origins(colours), (std::vector<int>{0, 2, 1}));
    colours = NumberedPalette(256);
    for (int i = 0; i < 256; ++i) {
        RotateColours(colours.data(), 0, 255, false);
    }
    EXPECT_EQ(colours, NumberedPalette(256));
}

TEST(CycleRotation, HalfBriteCopiesMoveWithTheirRangeAndNothingElse) {
    std::vector<uint8_t> colours = NumberedPalette(64);
    CycleRange range;
    range.low = 4;
    range.high = 7;
    range.flags = RNG_ACTIVE | RNG_REVERSE;
    StepRange(colours.data(), range, true);
    std::vector<int> expected;
    for (int i = 0; i < 64; ++i) {
        expected.push_back(i);
    }
    expected[4] = 5, expected[5] = 6, expected[6] = 7, expected[7] = 4;
    expected[36] = 37, expected[37] = 38, expected[38] = 39, expected[39] = 36;
    EXPECT_EQ(Origins(colours), expected);

    // Without half-brite the upper entries stay.
    colours = NumberedPalette(64);
    range.flags = RNG_ACTIVE;
    StepRange(colours.data(), range, false);
    expected = {};
    for (int i = 0; i < 64; ++i) {
        expected.push_back(i);
    }
    expected[4] = 7, expected[5] = 4, expected[6] = 5, expected[7] = 6;
    EXPECT_EQ(Origins(colours), expected);
}

}  // namespace
}  // namespace lanterna
