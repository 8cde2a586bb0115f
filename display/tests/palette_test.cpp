// The background pen and the half-bright colours.
#include <gtest/gtest.h>

#include <vector>

#include "display/palette.h"
#include "tests/support/colour_maps.h"

namespace lanterna {
namespace {

using test_support::ColourMap;

TEST(FindDarkestColour, PicksLowestLuminanceAndLowestIndexOnTies) {
    struct Case {
        const char* name;
        std::vector<uint8_t> map;
        int32_t count;
        uint8_t pen;
    } cases[] = {
        {"white then black", ColourMap({255, 255, 255, 0, 0, 0}), 2, 1},
        {"blue 10 (L 1) beats red 10 (L 3)", ColourMap({0, 0, 10, 10, 0, 0}), 2, 0},
        {"red 10 then blue 10", ColourMap({10, 0, 0, 0, 0, 10}), 2, 1},
        {"equal luminance: lower index", ColourMap({50, 50, 50, 100, 34, 0, 50, 50, 50}), 3, 0},
        // (3, 0, 0) has L = 90 / 100 = 0 after truncation, as dark as black.
        {"truncated luminance ties", ColourMap({9, 9, 9, 3, 0, 0, 0, 0, 0}), 3, 1},
        {"darkest last", ColourMap({200, 0, 0, 0, 200, 0, 0, 0, 200, 1, 1, 1}), 4, 3},
        {"a single colour", ColourMap({255, 255, 255}), 1, 0},
        {"count beyond the file's colours stays within the map", ColourMap({9, 9, 9}), 256, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindDarkestColour(c.map.data(), c.count), c.pen) << c.name;
    }
    EXPECT_EQ(FindDarkestColour(nullptr, 16), 0);
}

TEST(ExtendHalfBrite, AddsHalvedCopiesOfTheFirst32) {
    std::vector<uint8_t> map(768);
    for (size_t i = 0; i < map.size(); ++i) {
        map[i] = static_cast<uint8_t>(0xFF - i);
    }
    const std::vector<uint8_t> original = map;

    int32_t count = 32;
    ExtendHalfBrite(map.data(), count);
    EXPECT_EQ(count, 64);
    for (int i = 0; i < 32 * 3; ++i) {
        EXPECT_EQ(map[i], original[i]);
        // Entries 32..63 of the file are replaced by the halved copies.
        EXPECT_EQ(map[96 + i], original[i] >> 1) << "component " << i;
    }
    EXPECT_EQ(map[96], 0x7F);  // 0xFF halved, rounding down
    EXPECT_EQ(map[192], original[192]);  // entry 64 untouched
}

TEST(ExtendHalfBrite, SmallAndLargeMaps) {
    // 16 colours: all 64 values are loaded, as the hardware shows them:
    // 16..31 are black, 32..47 the halves of 0..15, 48..63 the halves of
    // black.
    std::vector<uint8_t> map(768, 0);
    for (int i = 0; i < 16 * 3; ++i) {
        map[i] = static_cast<uint8_t>(100 + i);
    }
    int32_t count = 16;
    ExtendHalfBrite(map.data(), count);
    EXPECT_EQ(count, 64);
    for (int i = 16 * 3; i < 32 * 3; ++i) {
        EXPECT_EQ(map[i], 0);
    }
    for (int i = 0; i < 16 * 3; ++i) {
        EXPECT_EQ(map[96 + i], (100 + i) / 2);
    }
    for (int i = 48 * 3; i < 64 * 3; ++i) {
        EXPECT_EQ(map[i], 0);
    }
    // A map with no entries at all still gives the 64 values (all black).
    int32_t none = 0;
    std::vector<uint8_t> empty(768, 0);
    ExtendHalfBrite(empty.data(), none);
    EXPECT_EQ(none, 64);

    // Doubling a map of more than 128 colours stays within the 256 entries.
    for (int32_t start : {129, 200, 256}) {
        std::vector<uint8_t> full(768, 0x40);
        count = start;
        ExtendHalfBrite(full.data(), count);
        EXPECT_EQ(count, 256) << start;
    }
    count = 128;
    ExtendHalfBrite(map.data(), count);
    EXPECT_EQ(count, 256);

    // Without a colour map nothing happens.
    count = 0;
    ExtendHalfBrite(nullptr, count);
    EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace lanterna
