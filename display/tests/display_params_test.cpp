// Display parameters from the header, the view-mode word and the options.
#include <gtest/gtest.h>

#include <vector>

#include "display/display.h"

namespace lanterna {
namespace {

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
        ViewOptions options;
        options.ehb = c.ehb;
        options.ham = c.ham;

        ChooseDisplayParameters(picture, options);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(picture.modeId, c.mode);
        EXPECT_EQ(picture.xScale, c.xScale);
        EXPECT_EQ(picture.yScale, c.yScale);
        EXPECT_EQ(picture.displayDepth, c.depth);
        EXPECT_EQ(picture.backgroundPen, c.pen);
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
    ChooseDisplayParameters(picture, ViewOptions{});
    EXPECT_EQ(picture.backgroundPen, 0);
    EXPECT_EQ(picture.colourCount, 64);
    EXPECT_EQ(colours[96], 50);
    EXPECT_EQ(picture.displayDepth, 8);
}

}  // namespace
}  // namespace lanterna
