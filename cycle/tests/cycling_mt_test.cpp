// The cycling task driven through its commands: range checks, the ticks and
// what they load, the command order, and the start and end handshakes. Ticks
// are observed as they happen (order and counts, never durations).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "cycle/cycle_hooks.h"
#include "cycle/cycling.h"
#include "platform/exec/exec.h"
#include "platform/graphics/graphics.h"
#include "platform/testing/testing.h"

namespace lanterna {
namespace {

struct TickEvent {
    bool stepped;
    int16_t phases[MAX_CYCLE_RANGES];
};

// Everything the task reports, kept under a lock; the test thread waits for
// a number of ticks or loads to have happened.
class Recorder {
public:
    Recorder() {
        observer_.tick = [](void* self, const CycleHandle* h, bool stepped) {
            static_cast<Recorder*>(self)->OnTick(h, stepped);
        };
        observer_.load = [](void* self, const CycleHandle* h, const uint32_t* table) {
            static_cast<Recorder*>(self)->OnLoad(h, table);
        };
        observer_.context = this;
        SetCycleObserver(&observer_);
    }
    ~Recorder() { SetCycleObserver(nullptr); }

    bool WaitForTicks(size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return ticks_.size() >= n; });
    }
    bool WaitForLoads(size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return loads_.size() >= n; });
    }
    std::vector<TickEvent> Ticks() {
        std::lock_guard lock(mutex_);
        return ticks_;
    }
    std::vector<std::vector<uint32_t>> Loads() {
        std::lock_guard lock(mutex_);
        return loads_;
    }
    size_t LoadCount() {
        std::lock_guard lock(mutex_);
        return loads_.size();
    }

private:
    void OnTick(const CycleHandle* h, bool stepped) {
        TickEvent event{stepped, {}};
        for (int i = 0; i < MAX_CYCLE_RANGES; ++i) {
            event.phases[i] = h->ranges[i].pad1;
        }
        std::lock_guard lock(mutex_);
        ticks_.push_back(event);
        changed_.notify_all();
    }
    void OnLoad(const CycleHandle* h, const uint32_t* table) {
        const size_t words = 1 + size_t(h->colourCount) * 3 + 1;
        std::lock_guard lock(mutex_);
        loads_.emplace_back(table, table + words);
        changed_.notify_all();
    }

    CycleObserver observer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TickEvent> ticks_;
    std::vector<std::vector<uint32_t>> loads_;
};

// The colour-load table of a palette, in LoadRGB32's form, built here
// independently of the program's own builder.
std::vector<uint32_t> TableOf(const std::vector<uint8_t>& colours) {
    std::vector<uint32_t> table{uint32_t(colours.size() / 3) << 16};
    for (uint8_t c : colours) {
        table.push_back(c * 0x01010101u);
    }
    table.push_back(0);
    return table;
}

// A palette of `count` distinct colours: entry i is (i, 255 - i, i * 7).
std::vector<uint8_t> Palette(int count) {
    std::vector<uint8_t> colours;
    for (int i = 0; i < count; ++i) {
        colours.push_back(uint8_t(i));
        colours.push_back(uint8_t(255 - i));
        colours.push_back(uint8_t(i * 7));
    }
    return colours;
}

// Entry `to` of `colours` takes entry `from` of `source`.
void Take(std::vector<uint8_t>& colours, int to, const std::vector<uint8_t>& source, int from) {
    std::memcpy(&colours[size_t(to) * 3], &source[size_t(from) * 3], 3);
}

CycleRange Range(uint8_t low, uint8_t high, int16_t rate, int16_t flags = RNG_ACTIVE,
                 int16_t phase = 0) {
    CycleRange range;
    range.low = low;
    range.high = high;
    range.rate = rate;
    range.flags = flags;
    range.pad1 = phase;
    return range;
}

class CyclingTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::testing::ResetFaults();
        baseline_ = os::testing::LiveAllocations();
        const uint32_t mode = os::BestCModeIDTags({
            {os::CYBRBIDTG_NominalWidth, 64},
            {os::CYBRBIDTG_NominalHeight, 32},
            {os::CYBRBIDTG_Depth, 8},
            {os::TAG_DONE, 0},
        });
        ASSERT_NE(mode, os::INVALID_ID);
        screen_ = os::OpenScreenTags(nullptr, {
            {os::SA_DisplayID, mode},
            {os::SA_Depth, 8},
            {os::SA_Quiet, 1},
            {os::TAG_DONE, 0},
        });
        ASSERT_NE(screen_, nullptr);
        screenAllocations_ = os::testing::LiveAllocations();
    }
    void TearDown() override {
        os::testing::ResetFaults();
        // Everything the cycling made is gone once it has been stopped.
        EXPECT_EQ(os::testing::LiveAllocations(), screenAllocations_);
        if (screen_ != nullptr) {
            os::CloseScreen(screen_);
        }
    }

    CycleHandle* Start(std::vector<CycleRange> ranges, const std::vector<uint8_t>& colours,
                       int16_t halfBrite = 0) {
        ranges.resize(MAX_CYCLE_RANGES);
        return StartCycling(screen_, halfBrite, ranges.data(), colours.data(),
                            int32_t(colours.size() / 3));
    }

    os::Screen* screen_ = nullptr;
    int64_t baseline_ = 0;
    int64_t screenAllocations_ = 0;
};

TEST_F(CyclingTest, RangeChecksDecideWhetherATaskStarts) {
    const std::vector<uint8_t> colours = Palette(16);
    EXPECT_EQ(Start({Range(0, 3, 36)}, colours), nullptr);
    EXPECT_EQ(Start({Range(3, 3, 16384)}, colours), nullptr);
    EXPECT_EQ(Start({Range(5, 3, 16384)}, colours), nullptr);
    EXPECT_EQ(Start({Range(0, 3, -16384)}, colours), nullptr);
    EXPECT_EQ(Start({Range(0, 3, 16384, 0)}, colours), nullptr);  // not active
    EXPECT_EQ(Start({Range(0, 3, 16384, RNG_REVERSE)}, colours), nullptr);
    // A range reaching outside the palette, itself or by its half-bright copy.
    EXPECT_EQ(Start({Range(10, 16, 16384)}, colours), nullptr);
    const std::vector<uint8_t> halfBrite = Palette(64);
    EXPECT_EQ(Start({Range(0, 32, 16384)}, halfBrite, 1), nullptr);
    EXPECT_EQ(Start({}, colours), nullptr);

    // Rate 37 is the slowest accepted; the rejected copies lose RNG_ACTIVE,
    // the caller's records stay as they were.
    std::vector<CycleRange> ranges{Range(0, 3, 36), Range(4, 7, 37), Range(8, 8, 500),
                                   Range(10, 15, 16384)};
    CycleHandle* handle = Start(ranges, colours);
    ASSERT_NE(handle, nullptr);
    EXPECT_NE(handle->task, nullptr);
    EXPECT_EQ(handle->running.load(), 0);
    EXPECT_EQ(handle->ranges[0].flags & RNG_ACTIVE, 0);
    EXPECT_EQ(handle->ranges[1].flags & RNG_ACTIVE, RNG_ACTIVE);
    EXPECT_EQ(handle->ranges[2].flags & RNG_ACTIVE, 0);
    EXPECT_EQ(handle->ranges[3].flags & RNG_ACTIVE, RNG_ACTIVE);
    EXPECT_EQ(ranges[0].flags, RNG_ACTIVE);
    StopCycling(handle);

    // The last entry of the palette is reachable, with or without half-brite.
    handle = Start({Range(12, 15, 16384)}, colours);
    EXPECT_NE(handle, nullptr);
    StopCycling(handle);
    handle = Start({Range(28, 31, 16384)}, halfBrite, 1);
    EXPECT_NE(handle, nullptr);
    StopCycling(handle);
}

TEST_F(CyclingTest, NothingStartsWithoutScreenColoursOrRanges) {
    const std::vector<uint8_t> colours = Palette(16);
    std::vector<CycleRange> ranges{Range(0, 3, 16384)};
    ranges.resize(MAX_CYCLE_RANGES);
    EXPECT_EQ(StartCycling(nullptr, 0, ranges.data(), colours.data(), 16), nullptr);
    EXPECT_EQ(StartCycling(screen_, 0, nullptr, colours.data(), 16), nullptr);
    EXPECT_EQ(StartCycling(screen_, 0, ranges.data(), nullptr, 16), nullptr);
    EXPECT_EQ(StartCycling(screen_, 0, ranges.data(), colours.data(), 0), nullptr);
    EXPECT_EQ(StartCycling(screen_, 0, ranges.data(), colours.data(), -5), nullptr);
}

TEST_F(CyclingTest, EveryFailureOfTheStartLeavesNothingBehind) {
    const std::vector<uint8_t> colours = Palette(16);
    os::testing::FailNthAlloc(1);
    EXPECT_EQ(Start({Range(0, 3, 16384)}, colours), nullptr);
    os::testing::ResetFaults();
    os::testing::FailCreateMsgPort(1);
    EXPECT_EQ(Start({Range(0, 3, 16384)}, colours), nullptr);
    os::testing::ResetFaults();
    os::testing::FailCreateIORequest(1);
    EXPECT_EQ(Start({Range(0, 3, 16384)}, colours), nullptr);
    os::testing::ResetFaults();
    os::testing::FailOpenDevice(1);
    EXPECT_EQ(Start({Range(0, 3, 16384)}, colours), nullptr);
    os::testing::ResetFaults();
    EXPECT_EQ(os::testing::LiveAllocations(), screenAllocations_);
    // Commands to a missing handle do nothing.
    CycleOn(nullptr);
    CycleOff(nullptr);
    CycleRestore(nullptr);
}

TEST_F(CyclingTest, StopWithANullHandleOrOneWhoseTaskNeverStartedOnlyFrees) {
    StopCycling(nullptr);
    void* block = os::AllocVec(sizeof(CycleHandle) + 6, os::MEMF_PUBLIC | os::MEMF_CLEAR);
    ASSERT_NE(block, nullptr);
    CycleHandle* handle = new (block) CycleHandle;
    handle->colourCount = 1;
    StopCycling(handle);
    EXPECT_EQ(os::testing::LiveAllocations(), screenAllocations_);
}

TEST_F(CyclingTest, FirstTickComesAtOnceAndPhasesCarryOver) {
    Recorder recorder;
    const std::vector<uint8_t> colours = Palette(32);
    CycleHandle* handle = Start({Range(0, 3, 500, RNG_ACTIVE, 16000),
                                 Range(8, 11, 8192, RNG_ACTIVE, -16384)},
                                colours);
    ASSERT_NE(handle, nullptr);
    CycleOn(handle);
    EXPECT_EQ(handle->running.load(), 1);
    ASSERT_TRUE(recorder.WaitForTicks(4));
    StopCycling(handle);

    const std::vector<TickEvent> ticks = recorder.Ticks();
    // First range: steps on the very first tick, leaving 116.
    EXPECT_TRUE(ticks[0].stepped);
    EXPECT_EQ(ticks[0].phases[0], 116);
    EXPECT_EQ(ticks[1].phases[0], 616);
    // Second range: -16384 + 3 * 8192 reaches 16384 only on the fourth tick.
    EXPECT_EQ(ticks[0].phases[1], -8192);
    EXPECT_EQ(ticks[1].phases[1], 0);
    EXPECT_EQ(ticks[2].phases[1], 8192);
    EXPECT_EQ(ticks[3].phases[1], 0);
    EXPECT_FALSE(ticks[1].stepped);
    EXPECT_FALSE(ticks[2].stepped);
    EXPECT_TRUE(ticks[3].stepped);

    // Only the ticks that stepped loaded the palette: the first and the fourth.
    const auto loads = recorder.Loads();
    ASSERT_GE(loads.size(), 2u);
    std::vector<uint8_t> expected = colours;
    Take(expected, 0, colours, 3);
    Take(expected, 1, colours, 0);
    Take(expected, 2, colours, 1);
    Take(expected, 3, colours, 2);
    EXPECT_EQ(loads[0], TableOf(expected));
    const std::vector<uint8_t> afterFirst = expected;
    Take(expected, 8, afterFirst, 11);
    Take(expected, 9, afterFirst, 8);
    Take(expected, 10, afterFirst, 9);
    Take(expected, 11, afterFirst, 10);
    EXPECT_EQ(loads[1], TableOf(expected));
}

TEST_F(CyclingTest, RangesRotateTheirWayAtMostOnceATick) {
    Recorder recorder;
    const std::vector<uint8_t> colours = Palette(16);
    // A fast forward range, a reverse one above the step rate, and one at half rate.
    CycleHandle* handle = Start({Range(4, 7, 16384), Range(8, 11, 32767, RNG_ACTIVE | RNG_REVERSE),
                                 Range(12, 15, 8192)},
                                colours);
    ASSERT_NE(handle, nullptr);
    CycleOn(handle);
    ASSERT_TRUE(recorder.WaitForLoads(4));
    StopCycling(handle);

    // Each tick stepped (the first two ranges step every tick) and loaded once.
    const auto ticks = recorder.Ticks();
    const auto loads = recorder.Loads();
    ASSERT_EQ(ticks.size(), loads.size());
    std::vector<uint8_t> expected = colours;
    for (size_t t = 0; t < loads.size(); ++t) {
        EXPECT_TRUE(ticks[t].stepped);
        const std::vector<uint8_t> before = expected;
        for (int j = 0; j < 4; ++j) {
            Take(expected, 4 + (j + 1) % 4, before, 4 + j);   // forward: one index up
            Take(expected, 8 + j, before, 8 + (j + 1) % 4);   // reverse: one index down
            if (t % 2 == 1) {
                Take(expected, 12 + (j + 1) % 4, before, 12 + j);  // every second tick
            }
        }
        ASSERT_EQ(loads[t], TableOf(expected)) << "tick " << t + 1;
    }
}

TEST_F(CyclingTest, HalfBriteCopiesMoveWithTheirRange) {
    Recorder recorder;
    std::vector<uint8_t> colours = Palette(64);
    for (int i = 0; i < 32; ++i) {
        for (int c = 0; c < 3; ++c) {
            colours[size_t(32 + i) * 3 + c] = uint8_t(colours[size_t(i) * 3 + c] >> 1);
        }
    }
    CycleHandle* handle = Start({Range(4, 7, 16384)}, colours, 1);
    ASSERT_NE(handle, nullptr);
    CycleOn(handle);
    ASSERT_TRUE(recorder.WaitForLoads(1));
    StopCycling(handle);

    std::vector<uint8_t> expected = colours;
    for (int j = 0; j < 4; ++j) {
        Take(expected, 4 + (j + 1) % 4, colours, 4 + j);
        Take(expected, 36 + (j + 1) % 4, colours, 36 + j);
    }
    EXPECT_EQ(recorder.Loads()[0], TableOf(expected));
}

TEST_F(CyclingTest, OffThenRestoreGivesBackThePaletteHandedIn) {
    Recorder recorder;
    std::vector<uint8_t> colours = Palette(24);
    const std::vector<uint8_t> original = colours;
    CycleHandle* handle = Start({Range(2, 9, 16384), Range(12, 20, 12000, RNG_ACTIVE | RNG_REVERSE, 5000)},
                                colours);
    ASSERT_NE(handle, nullptr);
    colours.assign(colours.size(), 0);  // the handle holds its own copy

    CycleOn(handle);
    ASSERT_TRUE(recorder.WaitForLoads(5));
    CycleOff(handle);
    EXPECT_EQ(handle->running.load(), 0);
    const size_t before = recorder.LoadCount();
    CycleRestore(handle);
    EXPECT_EQ(handle->running.load(), 0);
    ASSERT_TRUE(recorder.WaitForLoads(before + 1));

    // Switching on again starts from the starting phases.
    const size_t ticksBefore = recorder.Ticks().size();
    CycleOn(handle);
    ASSERT_TRUE(recorder.WaitForTicks(ticksBefore + 1));
    StopCycling(handle);

    const auto loads = recorder.Loads();
    EXPECT_EQ(loads[before], TableOf(original));
    const TickEvent again = recorder.Ticks()[ticksBefore];
    EXPECT_EQ(again.phases[0], 0);
    EXPECT_EQ(again.phases[1], 17000 % 16384);
}

TEST_F(CyclingTest, CtrlCWithAnotherCommandEndsWithoutActingOnIt) {
    for (uint32_t other : {os::SIGBREAKF_CTRL_E, os::SIGBREAKF_CTRL_F, os::SIGBREAKF_CTRL_D}) {
        Recorder recorder;
        CycleHandle* handle = Start({Range(0, 7, 16384)}, Palette(8));
        ASSERT_NE(handle, nullptr);
        os::Forbid();
        os::Signal(handle->task, os::SIGBREAKF_CTRL_C | other);
        os::SetSignal(0, os::SIGF_SINGLE);
        os::Wait(os::SIGF_SINGLE);
        os::Permit();
        // The task has ended: it switched nothing on and loaded nothing.
        EXPECT_EQ(handle->task, nullptr);
        EXPECT_EQ(handle->running.load(), 0);
        EXPECT_EQ(recorder.LoadCount(), 0u);
        EXPECT_TRUE(recorder.Ticks().empty());
        StopCycling(handle);
    }
}

TEST_F(CyclingTest, AnOversizedPaletteIsCutToTheTableCapacity) {
    Recorder recorder;
    std::vector<uint8_t> colours = Palette(256);
    colours.resize(300 * 3, 0x55);
    CycleHandle* handle = Start({Range(250, 255, 16384)}, colours);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->colourCount, 256);
    CycleOn(handle);
    ASSERT_TRUE(recorder.WaitForLoads(1));
    StopCycling(handle);
    EXPECT_EQ(recorder.Loads()[0][0], 256u << 16);
    EXPECT_EQ(recorder.Loads()[0].size(), 1u + 256 * 3 + 1);
}

// What the Tab key does in the viewer: on when still, otherwise off with the
// starting colours back.
void Tab(CycleHandle* handle) {
    if (handle->running.load() == 0) {
        CycleOn(handle);
    } else {
        CycleOff(handle);
        CycleRestore(handle);
    }
}

TEST_F(CyclingTest, ThousandsOfTabsStartsAndStopsEndCleanly) {
    const std::vector<uint8_t> colours = Palette(32);
    const std::vector<CycleRange> ranges{Range(0, 15, 16384), Range(16, 31, 9000, RNG_ACTIVE | RNG_REVERSE)};
    int tabs = 0;
    for (int round = 0; round < 40; ++round) {
        CycleHandle* handle = Start(ranges, colours);
        ASSERT_NE(handle, nullptr);
        for (int i = 0; i < 50; ++i) {
            Tab(handle);
            ++tabs;
            EXPECT_EQ(handle->running.load(), (i % 2 == 0) ? 1 : 0);
        }
        StopCycling(handle);
    }
    // Starts and stops with no command in between, some while cycling.
    for (int round = 0; round < 1000; ++round) {
        CycleHandle* handle = Start(ranges, colours);
        ASSERT_NE(handle, nullptr);
        if (round % 3 == 0) {
            CycleOn(handle);
        }
        StopCycling(handle);
    }
    EXPECT_EQ(tabs, 2000);
    EXPECT_EQ(os::testing::LiveAllocations(), screenAllocations_);
}

}  // namespace
}  // namespace lanterna
