// The size a picture's window opens at for the room the desktop leaves.
#include <gtest/gtest.h>

#include <utility>

#include "platform/graphics/sdl/kept_window.h"
#include "platform/graphics/sdl/window_size.h"

namespace {

using os::sdl::WindowClientSize;

void ExpectSize(uint32_t w, uint32_t h, int areaW, int areaH, int wantW, int wantH) {
    const os::sdl::ClientSize got = WindowClientSize(w, h, areaW, areaH);
    EXPECT_EQ(got.w, wantW) << w << "x" << h << " in " << areaW << "x" << areaH;
    EXPECT_EQ(got.h, wantH) << w << "x" << h << " in " << areaW << "x" << areaH;
}

TEST(WindowClientSize, LargestWholeScaleUpToFourThatFits) {
    ExpectSize(16, 16, 1920, 1055, 160, 64);     // a sprite: four times, not the screen's height, in 160 columns
    ExpectSize(16, 16, 100, 100, 100, 64);       // or as many as there are
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

// A kept window resized for the next picture stays where it stands unless
// its frame would leave the usable desktop; then it moves just back in.
// Frame: 20 above, 2 at the sides and below; desktop 0,30 1920x1050.
TEST(KeptWindow, StaysWhereItIsOrMovesJustBackIntoTheDesktop) {
    auto spot = [](int x, int y, int w, int h) {
        const os::sdl::WindowSpot s = os::sdl::KeepInside(x, y, w, h, 20, 2, 2, 2, 0, 30, 1920, 1050);
        return std::pair<int, int>(s.x, s.y);
    };
    using P = std::pair<int, int>;
    EXPECT_EQ(spot(300, 200, 640, 400), P(300, 200));        // fits where it is
    EXPECT_EQ(spot(2, 50, 1916, 1028), P(2, 50));           // exactly the whole room
    EXPECT_EQ(spot(1500, 200, 640, 400), P(1278, 200));     // the right edge back at 1920
    EXPECT_EQ(spot(300, 900, 640, 400), P(300, 678));       // the bottom edge back at 1080
    EXPECT_EQ(spot(300, 40, 640, 400), P(300, 50));         // the title bar below the panel
    EXPECT_EQ(spot(-100, 200, 640, 400), P(2, 200));        // the left frame on the desktop
    EXPECT_EQ(spot(500, 500, 4000, 3000), P(2, 50));        // larger than the desktop: its corner inside
    // No desktop known: where it is.
    const os::sdl::WindowSpot none = os::sdl::KeepInside(-50, 7000, 10, 10, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(none.x, -50);
    EXPECT_EQ(none.y, 7000);
}
