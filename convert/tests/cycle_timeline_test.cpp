// The cycling timeline: its length (a whole period, or the seconds asked
// when that is over a minute) and frames only where a used colour changes.
#include <gtest/gtest.h>

#include "convert/cycle_timeline.h"
#include "records/cycle_steps.h"

namespace lanterna {
namespace {

struct Case {
    int16_t rate;
    uint8_t low, high;
    bool usedAll;       // else only entry 31, outside the range, is in the picture
    int64_t endTick;    // the loop's length
    size_t frames;
    bool wholePeriod;
};

TEST(CycleTimeline, LengthAndFrames) {
    const Case cases[] = {
        {16384, 0, 3, true, 4, 4, true},       // a step a tick, four entries
        {4096, 2, 5, true, 16, 4, true},       // a step every fourth tick
        {8192, 0, 1, true, 4, 2, true},        // two entries, a step every second tick
        {200, 0, 31, true, 600, 8, false},     // a period far over a minute: 10 seconds, a step every 82 ticks
        {16384, 0, 3, false, 4, 1, true},      // nothing shown changes: one frame for the period
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        PictureInfo picture;
        uint8_t colours[COLOUR_TABLE_BYTES] = {};
        for (int i = 0; i < COLOUR_TABLE_BYTES; ++i) colours[i] = uint8_t(i * 7);
        picture.colours = colours;
        picture.colourCount = 32;
        picture.header.nPlanes = 5;
        picture.ranges[0] = CycleRange{0, c.rate, RNG_ACTIVE, c.low, c.high};
        picture.rangeCount = 1;
        bool used[COLOUR_TABLE_ENTRIES] = {};
        for (int i = 0; i < 32; ++i) used[i] = c.usedAll || i == 31;
        const CycleTimeline timeline = BuildCycleTimeline(picture, colours, 32, used, 10);
        EXPECT_EQ(timeline.endTick, c.endTick);
        EXPECT_EQ(timeline.ticks.size(), c.frames);
        EXPECT_EQ(timeline.wholePeriod, c.wholePeriod);
        EXPECT_EQ(timeline.palettes.size(), c.frames * 96);
        EXPECT_TRUE(HasCyclingRanges(picture));
        picture.ranges[0].rate = CYCLE_MIN_RATE;  // too slow: the viewer leaves it still
        EXPECT_FALSE(HasCyclingRanges(picture));
    }
}

}  // namespace
}  // namespace lanterna
