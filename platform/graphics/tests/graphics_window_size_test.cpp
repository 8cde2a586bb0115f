// The size a picture's window opens at for the room the desktop leaves.
#include <gtest/gtest.h>

#include "platform/graphics/sdl/window_size.h"

namespace {

using os::sdl::WindowClientSize;

void ExpectSize(uint32_t w, uint32_t h, int areaW, int areaH, int wantW, int wantH) {
    const os::sdl::ClientSize got = WindowClientSize(w, h, areaW, areaH);
    EXPECT_EQ(got.w, wantW) << w << "x" << h << " in " << areaW << "x" << areaH;
    EXPECT_EQ(got.h, wantH) << w << "x" << h << " in " << areaW << "x" << areaH;
}

TEST(WindowClientSize, LargestWholeScaleUpToFourThatFits) {
    ExpectSize(16, 16, 1920, 1055, 64, 64);      // a sprite: four times, not the screen's height
    ExpectSize(320, 200, 1918, 1055, 1280, 800);  // four
    ExpectSize(320, 200, 959, 600, 640, 400);     // one short of three times the width
    ExpectSize(320, 200, 960, 600, 960, 600);     // exactly three times
    ExpectSize(300, 296, 798, 575, 300, 296);     // twice is 592 rows: not with the frame
    ExpectSize(300, 296, 800, 600, 600, 592);     // and is on a bare screen
    ExpectSize(640, 512, 640, 512, 640, 512);     // exactly once
}

TEST(WindowClientSize, LargerThanTheRoomIsShrunkWithItsAspect) {
    ExpectSize(1000, 700, 800, 600, 800, 560);
    ExpectSize(1000, 700, 798, 575, 798, 558);
    ExpectSize(4000, 10, 800, 600, 800, 2);
    ExpectSize(100000, 1, 800, 600, 800, 1);      // never below one pixel
    ExpectSize(1, 100000, 800, 600, 1, 600);
}

TEST(WindowClientSize, NoPictureOrNoRoomGivesNoSize) {
    ExpectSize(0, 10, 800, 600, 0, 0);
    ExpectSize(10, 0, 800, 600, 0, 0);
    ExpectSize(10, 10, 0, 600, 0, 0);
    ExpectSize(10, 10, 800, -5, 0, 0);
}

}  // namespace
