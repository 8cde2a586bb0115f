// The mode settled by the reader, the half-bright colours, and the display
// parameters chosen from them: from the header, the view-mode word and the
// options.
#include <gtest/gtest.h>

#include <vector>

#include "display/display.h"
#include "ilbm/picture_mode.h"
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

struct Case {
    const char* name;
    uint16_t w, h;
    uint8_t planes;
    bool hasMode;
    uint32_t camg;
    bool ehb, ham;
    int32_t colourCount;  // colours from the file; 0: no CMAP
    // expected
    uint32_t mode;
    int32_t xScale, yScale, depth;
    uint8_t pen;
    int32_t finalCount;
};

// Colour 0 bright, colour 3 the darkest, everything else mid-grey.
std::vector<uint8_t> TestColours() {
    std::vector<uint8_t> map(768, 0x80);
    map[0] = map[1] = map[2] = 0xFF;
    map[9] = map[10] = map[11] = 0x10;
    return map;
}

TEST(ChooseDisplayParameters, ModeScalesPenHalfBriteAndDepth) {
    const Case cases[] = {
        {"320x200, 5 planes", 320, 200, 5, false, 0, false, false, 32, 0, 1, 1, 8, 3, 32},
        {"639x399 is still low resolution", 639, 399, 4, false, 0, false, false, 16, 0, 1, 1, 8, 3, 16},
        {"640x200: hires, rows twice", 640, 200, 4, false, 0, false, false, 16, HIRES, 1, 2, 8, 3, 16},
        {"320x400: lace, pixels twice", 320, 400, 4, false, 0, false, false, 16, LACE, 2, 1, 8, 3, 16},
        {"640x400: both, square", 640, 400, 4, false, 0, false, false, 16, HIRES | LACE, 1, 1, 8, 3, 16},
        {"sizes compared unsigned", 65535, 65535, 1, false, 0, false, false, 2, HIRES | LACE, 1, 1, 8, 1, 2},
        {"6 planes: HAM by default", 320, 200, 6, false, 0, false, false, 16, HAM, 1, 1, 24, 0, 16},
        {"6 planes, EHB option", 320, 200, 6, false, 0, true, false, 32, EXTRA_HALFBRITE, 1, 1, 8, 3, 64},
        {"6 planes, both options: HAM", 320, 200, 6, false, 0, true, true, 32, HAM, 1, 1, 24, 0, 32},
        {"6 planes, HAM option", 320, 200, 6, false, 0, false, true, 16, HAM, 1, 1, 24, 0, 16},
        {"24 planes: true colour, pen 0", 320, 200, 24, false, 0, false, false, 0, 0, 1, 1, 24, 0, 0},
        {"12 planes with a CMAP: pen 0", 320, 200, 12, false, 0, false, false, 16, 0, 1, 1, 24, 0, 16},
        {"8 planes, no CMAP: pen 0", 320, 200, 8, false, 0, false, false, 0, 0, 1, 1, 8, 0, 0},
        {"CAMG used as delivered", 320, 200, 6, true, HAM | LACE, true, false, 16, HAM | LACE, 2, 1, 24, 0, 16},
        {"CAMG without HAM on 6 planes", 320, 200, 6, true, 0, false, false, 64, 0, 1, 1, 8, 3, 64},
        {"CAMG hires on a small picture", 320, 200, 4, true, HIRES, false, false, 16, HIRES, 1, 2, 8, 3, 16},
        {"EHB from CAMG needs 6 planes", 320, 200, 5, true, EXTRA_HALFBRITE, false, false, 32, EXTRA_HALFBRITE, 1, 1, 8, 3, 32},
        {"EHB from CAMG, large map capped", 320, 200, 6, true, EXTRA_HALFBRITE, false, false, 200, EXTRA_HALFBRITE, 1, 1, 8, 3, 256},
    };
    for (const Case& c : cases) {
        auto colours = TestColours();
        PictureInfo picture;
        picture.header.w = c.w;
        picture.header.h = c.h;
        picture.header.nPlanes = c.planes;
        picture.hasMode = c.hasMode;
        picture.modeId = c.camg;
        picture.colours = c.colourCount > 0 ? colours.data() : nullptr;
        picture.colourCount = c.colourCount;
        SettlePictureMode(picture, c.ehb && !c.ham);
        const DisplayParameters display = ChooseDisplayParameters(picture);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(picture.modeId, c.mode);
        EXPECT_EQ(display.xScale, c.xScale);
        EXPECT_EQ(display.yScale, c.yScale);
        EXPECT_EQ(display.depth, c.depth);
        EXPECT_EQ(display.backgroundPen, c.pen);
        EXPECT_EQ(picture.colourCount, c.finalCount);
    }
}

TEST(ChooseDisplayParameters, PenIsChosenBeforeHalfBrite) {
    // All 32 colours equally grey: the halved copies would be darker, but the
    // pen comes from the file's colours only.
    std::vector<uint8_t> colours(768, 0);
    std::fill(colours.begin(), colours.begin() + 96, 100);
    PictureInfo picture;
    picture.header.w = 320;
    picture.header.h = 200;
    picture.header.nPlanes = 6;
    picture.hasMode = true;
    picture.modeId = EXTRA_HALFBRITE;
    picture.colours = colours.data();
    picture.colourCount = 32;
    SettlePictureMode(picture, false);
    const DisplayParameters display = ChooseDisplayParameters(picture);
    EXPECT_EQ(display.backgroundPen, 0);
    EXPECT_EQ(picture.colourCount, 64);
    EXPECT_EQ(colours[96], 50);
    EXPECT_EQ(display.depth, 8);
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
