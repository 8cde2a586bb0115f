// The window's view of a screen's bitmap: the first view, scroll limits,
// zoom levels, the drag threshold and Home.
#include <gtest/gtest.h>

#include "platform/graphics/sdl/view.h"

namespace {

using namespace os::sdl;

// 480x300 on a 320x200 page in a window that holds the page four times.
const ViewArea kLarger{320, 200, 480, 300, 1280, 800};
// A real 896x860 picture on a 640x480 page, in a window of the page's size.
const ViewArea kTall{640, 480, 896, 860, 640, 480};

TEST(ViewPlacement, FirstViewIsThePageFittedFromTheTopLeftCorner) {
    ViewState view;
    EXPECT_EQ(Place(kLarger, view), (Placement{0, 0, 1280, 800, 0, 0, 320, 200}));
    EXPECT_EQ(Place(kTall, view), (Placement{0, 0, 640, 480, 0, 0, 640, 480}));
    // Full screen: the page's scale, and as much of the kept picture as the
    // screen holds (all of it across, 540 of its 860 rows at two).
    const ViewArea screen{640, 480, 896, 860, 1920, 1080, true};
    EXPECT_EQ(Place(screen, view), (Placement{64, 0, 1792, 1080, 0, 0, 896, 540}));
    EXPECT_TRUE(CanMove(screen, view));
    EXPECT_EQ(Place(ViewArea{320, 200, 320, 200, 1920, 1080, true}, view), (Placement{160, 40, 1600, 1000, 0, 0, 320, 200}));
    // A picture no larger than its page: the page at its whole scale,
    // centred where the window is not a multiple of it.
    ViewState plain;
    EXPECT_EQ(Place(ViewArea{320, 200, 320, 200, 1000, 700}, plain), (Placement{20, 50, 960, 600, 0, 0, 320, 200}));
    // A page larger than the window is shrunk, the side that meets the edge
    // first deciding.
    EXPECT_EQ(Place(ViewArea{1000, 700, 1000, 700, 800, 600}, plain), (Placement{0, 20, 800, 560, 0, 0, 1000, 700}));
    EXPECT_EQ(FitScale(1000, 700, 800, 600).num, 800u);
    EXPECT_EQ(FitScale(1000, 700, 800, 600).den, 1000u);
    // Nothing to show: an empty placement.
    EXPECT_EQ(Place(ViewArea{320, 200, 0, 0, 640, 400}, plain), Placement{});
    EXPECT_EQ(Place(ViewArea{320, 200, 320, 200, 0, 400}, plain), Placement{});
    // A picture that fits whole cannot be dragged; one larger than its page can.
    EXPECT_FALSE(CanMove(ViewArea{320, 200, 320, 200, 1280, 800}, plain));
    EXPECT_TRUE(CanMove(kLarger, plain));
}

TEST(ViewScrolling, ArrowsStopAtTheBitmapsEdgesAndHomeReturns) {
    ViewState view;
    EXPECT_FALSE(ScrollBy(kLarger, view, -1, 0));  // already at the left edge
    EXPECT_TRUE(ScrollBy(kLarger, view, 1, 0));    // an eighth of the shown part
    EXPECT_EQ(Place(kLarger, view).srcX, 40u);
    for (int i = 0; i < 10; ++i) ScrollBy(kLarger, view, 1, 1);
    Placement far = Place(kLarger, view);
    EXPECT_EQ(far.srcX + far.srcW, 480u);  // the far corner is the window's
    EXPECT_EQ(far.srcY + far.srcH, 300u);
    EXPECT_FALSE(ScrollBy(kLarger, view, 1, 1));
    for (int i = 0; i < 20; ++i) ScrollBy(kLarger, view, -1, -1);
    EXPECT_EQ(Place(kLarger, view).srcX, 0u);
    EXPECT_EQ(Place(kLarger, view).srcY, 0u);

    // Past the first view the window shows as much of the bitmap as it holds.
    ViewState wide;
    const ViewArea roomy{320, 200, 480, 300, 1600, 800};  // 400 columns at four
    EXPECT_EQ(Place(roomy, wide).srcW, 320u);
    ScrollBy(roomy, wide, 1, 0);
    EXPECT_EQ(Place(roomy, wide).srcW, 400u);
    EXPECT_EQ(Place(roomy, wide).srcX, 40u);
    ScrollBy(roomy, wide, 5, 0);
    EXPECT_EQ(Place(roomy, wide).srcX, 80u);

    // Home after scrolling and zooming: the first view exactly.
    Zoom(kLarger, view, -2, 10, 10);
    FirstView(view);
    ViewState fresh;
    EXPECT_EQ(Place(kLarger, view), Place(kLarger, fresh));
}

TEST(ViewZoom, WholeStepsFromTheFitUpToEight) {
    // From the page at four down to 1:1, then no further (the whole picture
    // fits at two: no shrunk level below 1:1); and back up through every
    // whole step to eight.
    ViewState view;
    const uint32_t down[] = {3, 2, 1};
    for (uint32_t want : down) {
        ASSERT_TRUE(Zoom(kLarger, view, -1, 640, 400));
        EXPECT_EQ(ScaleOf(kLarger, view).num, want);
        EXPECT_EQ(ScaleOf(kLarger, view).den, 1u);
    }
    EXPECT_FALSE(Zoom(kLarger, view, -1, 640, 400));
    // At 1:1 the whole picture is seen, centred.
    EXPECT_EQ(Place(kLarger, view), (Placement{400, 250, 480, 300, 0, 0, 480, 300}));
    for (uint32_t want = 2; want <= 4; ++want) {
        ASSERT_TRUE(Zoom(kLarger, view, 1, 640, 400));
        EXPECT_EQ(ScaleOf(kLarger, view).num, want);
    }
    EXPECT_TRUE(Zoom(kLarger, view, 9, 640, 400));  // several steps at once end at the top
    EXPECT_EQ(ScaleOf(kLarger, view).num, kMaxZoom);
    EXPECT_EQ(Place(kLarger, view).srcW, 1280u / kMaxZoom);
    EXPECT_FALSE(Zoom(kLarger, view, 1, 640, 400));

    // 896x860 in a 640x480 window: 1:1 is the first view; below it only
    // the whole picture fitted (480 / 860), above it 2.
    ViewState tall;
    ASSERT_TRUE(Zoom(kTall, tall, 1, 0, 0));
    EXPECT_EQ(ScaleOf(kTall, tall).num, 2u);
    ASSERT_TRUE(Zoom(kTall, tall, -2, 0, 0));
    EXPECT_EQ(ScaleOf(kTall, tall).num, 480u);
    EXPECT_EQ(ScaleOf(kTall, tall).den, 860u);
    EXPECT_EQ(Place(kTall, tall), (Placement{70, 0, 500, 480, 0, 0, 896, 860}));
    EXPECT_FALSE(Zoom(kTall, tall, -1, 0, 0));
    ASSERT_TRUE(Zoom(kTall, tall, 1, 0, 0));
    EXPECT_EQ(ScaleOf(kTall, tall).num, 1u);
    EXPECT_EQ(ScaleOf(kTall, tall).den, 1u);

    // A page larger than the window: its shrunk fit, the whole picture's
    // below it, and 1:1 above. A first view beyond eight is the top.
    const ViewArea big{1920, 1080, 2400, 1350, 800, 450};
    ViewState first;
    ASSERT_TRUE(Zoom(big, first, -1, 0, 0));
    EXPECT_EQ(ScaleOf(big, first).num, 800u);
    EXPECT_EQ(ScaleOf(big, first).den, 2400u);
    ASSERT_TRUE(Zoom(big, first, 2, 0, 0));
    EXPECT_EQ(ScaleOf(big, first).num, 1u);
    EXPECT_EQ(ScaleOf(big, first).den, 1u);
    const ViewArea tiny{16, 16, 16, 16, 320, 320};
    ViewState small;
    EXPECT_FALSE(Zoom(tiny, small, 1, 0, 0));
    ASSERT_TRUE(Zoom(tiny, small, -12, 0, 0));
    EXPECT_EQ(ScaleOf(tiny, small).num, 8u);
}

TEST(ViewZoom, ThePixelUnderThePointerStaysWhereItIs) {
    // A bitmap five times its page, viewed at four from (400, 300): window
    // point (640, 400) shows bitmap pixel (560, 400), before and after.
    const ViewArea huge{320, 200, 1600, 1000, 1280, 800};
    ViewState view;
    view.first = false;
    view.level = ZoomLevel::Integer;
    view.scale = 4;
    view.x = 400;
    view.y = 300;
    for (int32_t steps : {-1, -1, 2}) {
        ASSERT_TRUE(Zoom(huge, view, steps, 640, 400));
        const Placement p = Place(huge, view);
        EXPECT_EQ(p.srcX + (640 - p.x) * p.srcW / p.w, 560u) << view.scale;
        EXPECT_EQ(p.srcY + (400 - p.y) * p.srcH / p.h, 400u) << view.scale;
    }
    // Near an edge the view stops there instead.
    ASSERT_TRUE(Zoom(kLarger, view = ViewState{}, -1, 800, 600));
    EXPECT_EQ(Place(kLarger, view).srcX, 0u);
}

TEST(ViewDrag, ThresholdTellsAClickFromADragThatMovesTheView) {
    ViewState view;
    Drag drag;
    // Within four pixels on both axes: still a click, the view unmoved.
    PressDrag(drag, kLarger, view, 600, 400);
    EXPECT_FALSE(MoveDrag(drag, kLarger, view, 604, 396));
    EXPECT_FALSE(MoveDrag(drag, kLarger, view, 596, 404));
    EXPECT_TRUE(ReleaseDrag(drag));
    EXPECT_EQ(Place(kLarger, view).srcX, 0u);
    // Five pixels make a drag; the bitmap follows the pointer at the scale
    // (four window pixels a bitmap pixel) and stops at its edges.
    PressDrag(drag, kLarger, view, 600, 400);
    EXPECT_FALSE(MoveDrag(drag, kLarger, view, 605, 400));  // a drag, but the view is at its left edge
    EXPECT_TRUE(drag.moving);
    EXPECT_TRUE(MoveDrag(drag, kLarger, view, 600 - 160, 400 - 40));
    EXPECT_EQ(Place(kLarger, view).srcX, 40u);
    EXPECT_EQ(Place(kLarger, view).srcY, 10u);
    EXPECT_TRUE(MoveDrag(drag, kLarger, view, 600 - 4000, 400));
    EXPECT_EQ(Place(kLarger, view).srcX, 160u);
    // Back within the threshold of the press, a drag stays a drag.
    EXPECT_TRUE(MoveDrag(drag, kLarger, view, 601, 400));
    EXPECT_FALSE(ReleaseDrag(drag));
    // Without a press nothing moves.
    EXPECT_FALSE(MoveDrag(drag, kLarger, view, 0, 0));
    EXPECT_FALSE(ReleaseDrag(drag));
}

}  // namespace
