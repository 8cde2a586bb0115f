// Opening the display, its failures, and whether an open screen is reused
// for the next picture.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "display/display.h"
#include "display/pixel_transfer.h"
#include "platform/graphics/graphics_internal.h"
#include "platform/testing/testing.h"
#include "records/result_codes.h"

namespace lanterna {
namespace {

bool DisplayClosed() {
    return gDisplay.screen == nullptr && gDisplay.window == nullptr && gDisplay.pointer == nullptr;
}

os::Rgb PaletteEntry(int index) {
    os::Rgb palette[256];
    os::gfx::CopyPalette(gDisplay.screen, palette);
    return palette[index];
}

bool SameRgb(const os::Rgb& a, uint8_t r, uint8_t g, uint8_t b) { return a.r == r && a.g == g && a.b == b; }

bool AllPixels(uint8_t value) {
    const os::ScreenPrivate* s = gDisplay.screen->priv;
    for (uint32_t y = 0; y < s->height; ++y) {
        for (size_t i = 0; i < s->width * s->bytesPerPixel; ++i) {
            if (s->pixels[y * s->stride + i] != value) {
                return false;
            }
        }
    }
    return true;
}

class Display : public ::testing::Test {
protected:
    void TearDown() override {
        CloseDisplay();
        gViewOptions = ViewOptions{};
        os::testing::ResetFaults();
    }
};

TEST_F(Display, NoModeForTheSizeOrDepthLeavesNothingOpen) {
    const int64_t before = os::testing::LiveAllocations();
    struct Case {
        uint16_t w, h;
        int32_t depth;
        int32_t result;
    } cases[] = {{0, 200, 8, ERR_SCREEN},      {320, 0, 24, ERR_SCREEN},       {320, 200, 16, ERR_SCREEN},
                 {320, 200, 0, ERR_SCREEN},    {20000, 200, 8, ERR_SCREEN_SIZE}, {200, 65535, 24, ERR_SCREEN_SIZE}};
    for (const Case& c : cases) {
        EXPECT_EQ(OpenDisplay(c.w, c.h, c.depth, 0, nullptr, 0), c.result);
        EXPECT_TRUE(DisplayClosed());
    }
    EXPECT_EQ(os::testing::LiveAllocations(), before);
}

TEST_F(Display, AWindowThatCannotOpenClosesTheRest) {
    // The window's input port is the first message port the open asks for.
    std::vector<uint8_t> colours(768, 0x33);
    os::testing::FailCreateMsgPort(1);
    EXPECT_EQ(OpenDisplay(64, 32, 8, 1, colours.data(), 4), ERR_WINDOW);
    EXPECT_TRUE(DisplayClosed());
    os::testing::ResetFaults();
    EXPECT_EQ(OpenDisplay(64, 32, 8, 1, colours.data(), 4), 0);
    EXPECT_FALSE(DisplayClosed());
}

TEST_F(Display, NewScreensGetTheirColoursAndAreClearedWithThePen) {
    std::vector<uint8_t> colours(768, 0);
    for (int i = 0; i < 8 * 3; ++i) {
        colours[i] = static_cast<uint8_t>(16 * i + 5);
    }
    ASSERT_EQ(OpenDisplay(48, 20, 8, 6, colours.data(), 8), 0);
    EXPECT_EQ(gDisplay.depth, 8);
    EXPECT_EQ(gDisplay.screen->Width, 48);
    EXPECT_EQ(gDisplay.window->Width, 48);
    EXPECT_EQ(gDisplay.window->Height, 20);
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(SameRgb(PaletteEntry(i), colours[3 * i], colours[3 * i + 1], colours[3 * i + 2])) << i;
    }
    EXPECT_TRUE(AllPixels(6));
    CloseDisplay();
    EXPECT_TRUE(DisplayClosed());

    // A true-colour screen: colour 0 black, the window black.
    ASSERT_EQ(OpenDisplay(48, 20, 24, 0, colours.data(), 8), 0);
    EXPECT_EQ(gDisplay.depth, 24);
    EXPECT_TRUE(SameRgb(PaletteEntry(0), 0, 0, 0));
    EXPECT_TRUE(AllPixels(0));
}

TEST_F(Display, PauseAfterOpeningOnlyForNewScreens) {
    using Clock = std::chrono::steady_clock;
    gViewOptions.waitAfterOpenSeconds = 1;
    auto start = Clock::now();
    ASSERT_EQ(OpenDisplay(32, 16, 8, 0, nullptr, 0, 0, 0, gViewOptions.waitAfterOpenSeconds), 0);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(950));

    PictureInfo picture;
    picture.header.pageWidth = 32;
    picture.header.pageHeight = 16;
    start = Clock::now();
    ASSERT_EQ(PrepareDisplay(picture, DisplayParameters{}, gViewOptions), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

struct Picture {
    uint16_t pageWidth, pageHeight;
    int32_t xScale, yScale, depth;
};

// The first picture opens a screen; the second finds it open (kept by the
// centre option, or left by a picture that ended early) and either reuses
// it or gets a new one of its own size.
TEST_F(Display, AnOpenScreenIsReusedOnlyWhenThePictureFitsAndHasItsDepth) {
    struct Case {
        const char* name;
        bool center;
        Picture first, second;
        bool reused;
    } cases[] = {
        {"smaller, same depth", true, {320, 200, 1, 1, 8}, {160, 100, 1, 1, 8}, true},
        {"same size", true, {320, 200, 1, 1, 8}, {320, 200, 1, 1, 8}, true},
        {"wider", true, {320, 200, 1, 1, 8}, {321, 100, 1, 1, 8}, false},
        {"taller", true, {320, 200, 1, 1, 8}, {100, 201, 1, 1, 8}, false},
        {"doubled pixels too wide", true, {320, 200, 1, 1, 8}, {200, 100, 2, 1, 8}, false},
        {"doubled rows fit", true, {320, 200, 1, 1, 8}, {300, 100, 1, 2, 8}, true},
        {"other depth", true, {320, 200, 1, 1, 8}, {100, 100, 1, 1, 24}, false},
        {"true colour again", true, {320, 200, 1, 1, 24}, {100, 100, 1, 1, 24}, true},
        // Left open by a picture that ended early, without the centre option:
        // only a screen of exactly the size the picture needs is reused, so a
        // smaller picture never sits in the corner of a larger screen.
        {"early end, same size", false, {320, 200, 1, 1, 8}, {320, 200, 1, 1, 8}, true},
        {"early end, smaller", false, {320, 200, 1, 1, 8}, {160, 100, 1, 1, 8}, false},
        {"early end, 40x6 after 320x200", false, {320, 200, 1, 1, 8}, {40, 6, 1, 1, 8}, false},
        {"early end, doubled to the same size", false, {320, 200, 1, 1, 8}, {160, 100, 2, 2, 8}, true},
        {"early end, other depth", false, {320, 200, 1, 1, 8}, {160, 100, 1, 1, 24}, false},
        {"early end, larger", false, {320, 200, 1, 1, 24}, {640, 200, 1, 1, 24}, false},
    };
    std::vector<uint8_t> firstColours(768, 0x40);
    std::vector<uint8_t> secondColours(768, 0);
    for (int i = 0; i < 4 * 3; ++i) {
        secondColours[i] = static_cast<uint8_t>(0x90 + i);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewOptions options;
        options.center = c.center;

        PictureInfo first;
        first.header.pageWidth = c.first.pageWidth;
        first.header.pageHeight = c.first.pageHeight;
        DisplayParameters firstDisplay;
        firstDisplay.xScale = c.first.xScale;
        firstDisplay.yScale = c.first.yScale;
        firstDisplay.depth = c.first.depth;
        first.colours = firstColours.data();
        first.colourCount = 32;
        ASSERT_EQ(PrepareDisplay(first, firstDisplay, options), 0);
        os::Screen* screen = gDisplay.screen;
        // A mark that survives reuse but not a new screen: colour 200, which
        // neither picture loads.
        os::SetRGB4(&screen->ViewPort, 200, 1, 2, 3);
        const os::Rgb mark = PaletteEntry(200);
        // The first picture is on view: its pointer is the invisible one.
        os::SetWindowPointer(gDisplay.window, {{os::WA_Pointer, reinterpret_cast<uintptr_t>(gDisplay.pointer)},
                                               {os::TAG_DONE, 0}});

        PictureInfo second;
        second.header.pageWidth = c.second.pageWidth;
        second.header.pageHeight = c.second.pageHeight;
        DisplayParameters secondDisplay;
        secondDisplay.xScale = c.second.xScale;
        secondDisplay.yScale = c.second.yScale;
        secondDisplay.depth = c.second.depth;
        second.colours = secondColours.data();
        second.colourCount = 4;
        secondDisplay.backgroundPen = 2;
        ASSERT_EQ(PrepareDisplay(second, secondDisplay, options), 0);

        const os::Rgb after = PaletteEntry(200);
        const bool kept = gDisplay.screen == screen && SameRgb(after, mark.r, mark.g, mark.b);
        EXPECT_EQ(kept, c.reused);
        // Busy again until the next picture is drawn, reused or not.
        EXPECT_EQ(static_cast<os::WindowPrivate*>(gDisplay.window->priv)->pointerKind, os::PointerKind::Busy);
        EXPECT_EQ(gDisplay.depth, c.second.depth);
        if (!c.reused) {
            EXPECT_EQ(gDisplay.screen->Width, c.second.pageWidth * c.second.xScale);
            EXPECT_EQ(gDisplay.screen->Height, c.second.pageHeight * c.second.yScale);
        }
        if (c.second.depth == 8) {
            // The new colours are loaded; entries beyond them are the
            // previous picture's on a reused screen.
            EXPECT_TRUE(SameRgb(PaletteEntry(3), 0x99, 0x9A, 0x9B));
            if (c.reused) {
                EXPECT_TRUE(SameRgb(PaletteEntry(4), 0x40, 0x40, 0x40));
            }
            EXPECT_TRUE(AllPixels(2));
        } else {
            EXPECT_TRUE(SameRgb(PaletteEntry(0), 0, 0, 0));
        }
        CloseDisplay();
    }
}

}  // namespace
}  // namespace lanterna
