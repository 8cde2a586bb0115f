// Screens that keep a bitmap larger than what they show: the size kept for
// what is asked (capped for absurd headers), and on the desktop's window
// backend the pixel writes, fills and bitmap size over the whole area.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "platform/graphics/graphics.h"
#include "platform/graphics/graphics_internal.h"
#include "tests/support/xvfb_support.h"

namespace {

// The real backend, whatever the test runner asked for.
const bool kSdl = (unsetenv("LANTERNA_DISPLAY"), true);

using os::gfx::KeptBitMapSize;

TEST(KeptBitMapSize, AtLeastTheScreenAtMostWhatIsAskedWithinTheBudget) {
    auto expect = [](uint32_t w, uint32_t h, uint32_t ww, uint32_t wh, uint32_t kw, uint32_t kh) {
        const os::gfx::BitMapSize got = KeptBitMapSize(w, h, ww, wh);
        EXPECT_EQ(got.width, kw) << w << "x" << h << " asked " << ww << "x" << wh;
        EXPECT_EQ(got.height, kh) << w << "x" << h << " asked " << ww << "x" << wh;
    };
    expect(640, 480, 896, 860, 896, 860);    // a real picture larger than its page: all of it
    expect(640, 480, 0, 0, 640, 480);        // nothing asked: the screen
    expect(640, 480, 320, 2000, 640, 2000);  // each side at least the screen's
    expect(100, 100, 40000, 50, 16384, 100); // a side at most 16384
    // An absurd header (25452 x 26979) keeps its top-left part within the
    // budget, both sides giving up alike, never less than the screen.
    const os::gfx::BitMapSize absurd = KeptBitMapSize(640, 480, 25452, 26979);
    EXPECT_LE(uint64_t{absurd.width} * absurd.height, os::gfx::kKeptPixelBudget);
    EXPECT_GT(uint64_t{absurd.width} * absurd.height, os::gfx::kKeptPixelBudget * 99 / 100);
    EXPECT_GE(absurd.width, 640u);
    EXPECT_GE(absurd.height, 480u);
    EXPECT_NEAR(double(absurd.width) / absurd.height, 1.0, 0.05);  // 16384 x 16384 less alike
    // A screen over the budget by itself keeps only itself.
    expect(16384, 16384, 16384, 16384, 16384, 16384);
    const os::gfx::BitMapSize wide = KeptBitMapSize(16000, 16000, 16384, 16384);
    EXPECT_EQ(wide.width, 16000u);
    EXPECT_EQ(wide.height, 16000u);
}

class KeptOnTheDesktop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!xvfb_test::HaveProgram("Xvfb") || xvfb_test::StartXvfb() < 0) return;
        available_ = os::DisplayAvailable();
    }
    void SetUp() override {
        if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(available_) << "SDL could not start on the virtual X server";
    }
    static inline bool available_ = false;
};

TEST_F(KeptOnTheDesktop, WritesAndFillsReachTheWholeBitmapTheScreenKeepsItsSize) {
    const uint32_t mode = os::BestCModeIDTags(
        {{os::CYBRBIDTG_NominalWidth, 64}, {os::CYBRBIDTG_NominalHeight, 48}, {os::CYBRBIDTG_Depth, 24}});
    os::Screen* screen = os::OpenScreenTags(nullptr, {{os::SA_DisplayID, mode}, {os::SA_Depth, 24},
                                                      {os::SA_Width, 100}, {os::SA_Height, 80}});
    ASSERT_NE(screen, nullptr);
    os::Window* window = os::OpenWindowTags(nullptr, {{os::WA_CustomScreen, reinterpret_cast<uintptr_t>(screen)},
                                                      {os::WA_IDCMP, os::IDCMP_MOUSEBUTTONS}});
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(screen->Width, 64);
    EXPECT_EQ(screen->Height, 48);
    EXPECT_EQ(window->Width, 64);
    EXPECT_EQ(os::GetBitMapAttr(window->RPort, os::BMA_WIDTH), 100u);
    EXPECT_EQ(os::GetBitMapAttr(window->RPort, os::BMA_HEIGHT), 80u);
    EXPECT_EQ(os::GetBitMapAttr(window->RPort, 4), 0u);
    EXPECT_EQ(os::GetBitMapAttr(nullptr, os::BMA_WIDTH), 0u);

    os::SetRGB4(&screen->ViewPort, 3, 15, 0, 15);
    os::SetRast(window->RPort, 3);  // the whole bitmap, not only the screen
    const os::ScreenPrivate* sp = screen->priv;
    const uint8_t* last = sp->pixels + 79 * sp->stride + 99 * 3;
    EXPECT_EQ(last[0], 255);
    EXPECT_EQ(last[1], 0);
    EXPECT_EQ(last[2], 255);

    // A row written beyond the screen's edge reaches the bitmap's, clipped there.
    std::vector<uint8_t> row(3 * 50, 7);
    EXPECT_EQ(os::WritePixelArray(row.data(), 0, 0, 150, window->RPort, 70, 79, 50, 1, os::RECTFMT_RGB), 30u);
    EXPECT_EQ(sp->pixels[79 * sp->stride + 99 * 3], 7);
    EXPECT_EQ(sp->pixels[79 * sp->stride + 69 * 3], 255);
    EXPECT_EQ(os::WritePixelArray(row.data(), 0, 0, 150, window->RPort, 100, 0, 50, 1, os::RECTFMT_RGB), 0u);
    EXPECT_EQ(os::WritePixelArray(row.data(), 0, 0, 150, window->RPort, 0, 80, 50, 1, os::RECTFMT_RGB), 0u);
    os::CloseWindow(window);
    os::CloseScreen(screen);
}

}  // namespace
