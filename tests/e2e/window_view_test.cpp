// A picture larger than its page in build/lanterna's real window, on a
// virtual X server, bare and under openbox: the window opens on the page, the
// arrow keys bring the picture's far corner into view, Home goes back, a drag
// moves the view without ending the picture, the wheel zooms out to 1:1
// where the whole picture is seen, and a click still ends it. Every check
// compares the X screen (read with xwd) with netpbm's ilbmtoppm's reading of
// the same file.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "tests/e2e/e2e_support.h"
#include "tests/support/xvfb_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

namespace fs = std::filesystem;
namespace w = lanterna::ilbmw;

using xvfb_test::WaitUntil;

// 480x300 on a 320x200 page, 16 colours in a pattern that differs from
// place to place (so a view shifted by any amount shows other pixels).
constexpr int kPageW = 320, kPageH = 200, kW = 480, kH = 300;

w::IlbmPicture LargerThanItsPage() {
    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(kW, kH, 4, lanterna::cmpByteRun1);
    picture.header.pageWidth = kPageW;
    picture.header.pageHeight = kPageH;
    for (int i = 0; i < 16; ++i)
        picture.colours.push_back({uint8_t(40 + 13 * i), uint8_t(255 - 15 * i), uint8_t((i * 97) & 255)});
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) picture.pixels.push_back(uint32_t(((x / 6) ^ (y / 5) * 3) + x / 60 + y / 40) & 15);
    return picture;
}

class ViewWindow : public e2e::NetpbmTest, public ::testing::WithParamInterface<xvfb_test::Desktop> {
protected:
    void SetUp() override {
        e2e::NetpbmTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_GE(xvfb_test::StartXvfb(), 0);
        ASSERT_TRUE(xvfb_test::HaveInputAndScreenshotTools());
        if (GetParam() == xvfb_test::Desktop::Openbox && !xvfb_test::HaveProgram("openbox"))
            GTEST_SKIP() << "openbox is not installed (scripts/deps.sh)";
        ASSERT_TRUE(xvfb_test::UseDesktop(GetParam())) << "openbox did not start";
    }

    // Starts the program on the file in the background (the real window).
    void Start(const std::string& file, const std::string& options = "") {
        rc_ = Path("rc");
        const std::string command = "(env -u LANTERNA_DISPLAY DISPLAY=:" + std::to_string(xvfb_test::TheServer().display) +
                                    " " + e2e::Quote(Binary()) + " " + e2e::Quote(Path(file).string()) + " " + options + " > " +
                                    e2e::Quote(Path("out").string()) + " 2>&1; echo $? > " +
                                    e2e::Quote(rc_.string() + ".tmp") + "; mv " + e2e::Quote(rc_.string() + ".tmp") +
                                    " " + e2e::Quote(rc_.string()) + ") &";
        ASSERT_EQ(std::system(command.c_str()), 0);
        ASSERT_TRUE(WaitUntil([&] {
            auto ids = xvfb_test::VisibleWindows("--classname '^lanterna$'");
            if (!ids.empty()) window_ = ids.back();
            return window_ != 0;
        }, 15000)) << "no window";
    }

    bool Finished() const { return fs::exists(rc_); }

    // A run a failed check left behind is ended by its window's process id.
    void TearDown() override {
        if (window_ != 0 && !rc_.empty() && !Finished()) {
            const std::string pid = xvfb_test::CommandOutput(
                xvfb_test::OnDisplay("xdotool getwindowpid " + std::to_string(window_) + " 2>/dev/null"));
            if (std::atoi(pid.c_str()) > 0) kill(std::atoi(pid.c_str()), SIGTERM);
            WaitUntil([&] { return Finished(); }, 5000);
        }
        e2e::NetpbmTest::TearDown();
    }

    // The window's client area, once it has its final size.
    xvfb_test::Area Area() {
        xvfb_test::Area area, last;
        WaitUntil([&] {
            last = area;
            area = xvfb_test::WindowArea(window_);
            return area.width > 0 && area.width == last.width && area.height == last.height;
        }, 3000);
        return area;
    }

    // Pixels of the screenshot at scale k from the window's (x0, y0) against
    // the reference from (sx, sy), over w x h bitmap pixels: the count that
    // differ (every pixel's centre is looked at).
    static int Wrong(const xvfb_test::Image& shot, const xvfb_test::Area& area, int k, int x0, int y0,
                     const e2e::Image& want, int sx, int sy, int w, int h) {
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int px = area.left + x0 + x * k + k / 2, py = area.top + y0 + y * k + k / 2;
                if (px >= shot.width || py >= shot.height) return w * h;
                const uint8_t* c = want.At(sx + x, sy + y);
                wrong += !shot.Is(px, py, c[0], c[1], c[2]);
            }
        return wrong;
    }

    // Waits until the window shows the reference from (sx, sy) at scale k.
    bool Shows(const xvfb_test::Area& area, int k, int x0, int y0, const e2e::Image& want, int sx, int sy, int w,
               int h, int ms = 5000) {
        int wrong = -1;
        const bool ok = WaitUntil([&] {
            wrong = Wrong(xvfb_test::Screenshot(), area, k, x0, y0, want, sx, sy, w, h);
            return wrong == 0;
        }, ms);
        if (!ok) std::printf("%d of %d pixels differ\n", wrong, w * h);
        return ok;
    }

    void Xdo(const std::string& what) {
        ASSERT_TRUE(xvfb_test::XdoTool(what)) << what;
    }

    unsigned long window_ = 0;
    fs::path rc_;
};

TEST_P(ViewWindow, ArrowsDragAndWheelReachTheWholePictureAndAClickStillEndsIt) {
    const std::string file = Save("larger.iff", LargerThanItsPage());
    const e2e::Image want = Reference(file);
    ASSERT_TRUE(want.Valid());
    ASSERT_EQ(want.width, kW);
    ASSERT_EQ(want.height, kH);
    ASSERT_NO_FATAL_FAILURE(Start(file));
    const xvfb_test::Area area = Area();
    // The window holds the page at a whole scale, as for any picture.
    ASSERT_EQ(area.width % kPageW, 0) << area.width;
    const int k = area.width / kPageW;
    ASSERT_GE(k, 1);
    ASSERT_EQ(area.height, kPageH * k);
    std::printf("window %dx%d at scale %d\n", area.width, area.height, k);

    // The first view: the page from the picture's top-left corner.
    ASSERT_TRUE(Shows(area, k, 0, 0, want, 0, 0, kPageW, kPageH, 10000)) << "the first view";
    const std::string over =
        "mousemove " + std::to_string(area.left + area.width / 2) + " " + std::to_string(area.top + area.height / 2);
    Xdo(over);
    if (GetParam() == xvfb_test::Desktop::Openbox) {
        ASSERT_TRUE(WaitUntil([&] { return xvfb_test::FocusedWindow() == window_; }, 5000)) << "no focus";
    }

    // Right and down as far as they go: the far corner at the window's.
    std::string keys = "key --delay 30";
    for (int i = 0; i < 12; ++i) keys += " Right Down";
    Xdo(keys);
    EXPECT_TRUE(Shows(area, k, 0, 0, want, kW - kPageW, kH - kPageH, kPageW, kPageH)) << "the far corner";
    EXPECT_FALSE(Finished()) << "arrow keys ended the picture";

    // Home: the first view again.
    Xdo("key Home");
    EXPECT_TRUE(Shows(area, k, 0, 0, want, 0, 0, kPageW, kPageH)) << "Home";

    // A drag to the left by 40 picture pixels shows what lies 40 to the right;
    // it does not end the picture.
    const int cx = area.left + area.width / 2, cy = area.top + area.height / 2;
    Xdo("mousemove " + std::to_string(cx) + " " + std::to_string(cy) + " mousedown 1 mousemove " +
        std::to_string(cx - 10) + " " + std::to_string(cy) + " mousemove " + std::to_string(cx - 40 * k) + " " +
        std::to_string(cy) + " sleep 0.1 mouseup 1");
    EXPECT_TRUE(Shows(area, k, 0, 0, want, 40, 0, kPageW, kPageH)) << "the drag";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(Finished()) << "a drag ended the picture";

    // The wheel down to 1:1: the whole picture, centred.
    std::string wheel = over;
    for (int i = 0; i < k + 1; ++i) wheel += " click 5";
    Xdo(wheel);
    EXPECT_TRUE(Shows(area, 1, (area.width - kW) / 2, (area.height - kH) / 2, want, 0, 0, kW, kH)) << "1:1";
    EXPECT_FALSE(Finished()) << "the wheel ended the picture";

    // A click without movement ends the picture as always.
    Xdo(over + " click 1");
    ASSERT_TRUE(WaitUntil([&] { return Finished(); }, 10000)) << "a click did not end the picture";
    EXPECT_EQ(std::atoi(e2e::ReadText(rc_).c_str()), 0);
    EXPECT_EQ(e2e::ReadText(Path("out")), "Showing \"" + Path(file).string() + "\"... Done.\n");
}

// F1 shows the keys and the picture's facts over the picture, F1 again
// takes them away: the window's pixels differ with the overlay and are the
// picture's again without it.
TEST_P(ViewWindow, F1ShowsAndHidesTheOverlayOfKeysAndFacts) {
    const std::string file = Save("larger.iff", LargerThanItsPage());
    const e2e::Image want = Reference(file);
    ASSERT_TRUE(want.Valid());
    ASSERT_NO_FATAL_FAILURE(Start(file));
    const xvfb_test::Area area = Area();
    const int k = area.width / kPageW;
    ASSERT_GE(k, 1);
    ASSERT_TRUE(Shows(area, k, 0, 0, want, 0, 0, kPageW, kPageH, 10000)) << "the first view";
    const std::string over =
        "mousemove " + std::to_string(area.left + area.width / 2) + " " + std::to_string(area.top + area.height / 2);
    Xdo(over);
    if (GetParam() == xvfb_test::Desktop::Openbox) {
        ASSERT_TRUE(WaitUntil([&] { return xvfb_test::FocusedWindow() == window_; }, 5000)) << "no focus";
    }
    Xdo("key F1");
    int wrong = 0;
    EXPECT_TRUE(WaitUntil([&] {
        wrong = Wrong(xvfb_test::Screenshot(), area, k, 0, 0, want, 0, 0, kPageW, kPageH);
        return wrong > 0;
    }, 5000)) << "no overlay";
    // A box of text, not a few stray pixels, and the picture around it.
    EXPECT_GT(wrong, kPageW * kPageH / 20);
    EXPECT_LT(wrong, kPageW * kPageH * 9 / 10);
    EXPECT_FALSE(Finished()) << "F1 ended the picture";
    Xdo("key F1");
    EXPECT_TRUE(Shows(area, k, 0, 0, want, 0, 0, kPageW, kPageH)) << "the overlay stayed";
    Xdo(over + " key space");
    ASSERT_TRUE(WaitUntil([&] { return Finished(); }, 10000)) << "a key did not end the picture";
    EXPECT_EQ(e2e::ReadText(Path("out")), "Showing \"" + Path(file).string() + "\"... Done.\n");
}

// Colour cycling runs over the whole kept area: at the far corner the
// colours move, and Tab brings back the file's own there too.
TEST_P(ViewWindow, CyclingAndTabReachTheKeptArea) {
    w::IlbmPicture picture = LargerThanItsPage();
    picture.extraChunks.push_back(w::MakeChunk("CRNG", w::EncodeColourRange(0, 16384, lanterna::RNG_ACTIVE, 1, 15)));
    const std::string file = Save("cycling.iff", picture);
    const e2e::Image want = Reference(file);
    ASSERT_TRUE(want.Valid());
    ASSERT_NO_FATAL_FAILURE(Start(file, "CYCLE"));
    const xvfb_test::Area area = Area();
    const int k = area.width / kPageW;
    ASSERT_GE(k, 1);
    const std::string over =
        "mousemove " + std::to_string(area.left + area.width / 2) + " " + std::to_string(area.top + area.height / 2);
    Xdo(over);
    if (GetParam() == xvfb_test::Desktop::Openbox) {
        ASSERT_TRUE(WaitUntil([&] { return xvfb_test::FocusedWindow() == window_; }, 5000)) << "no focus";
    }
    std::string keys = "key --delay 30";
    for (int i = 0; i < 12; ++i) keys += " Right Down";
    Xdo(keys);
    // The far corner, 80 x 50 pixels of it, while the colours turn.
    const int x0 = (kPageW - 80) * k, y0 = (kPageH - 50) * k;
    EXPECT_TRUE(WaitUntil([&] {
        return Wrong(xvfb_test::Screenshot(), area, k, x0, y0, want, kW - 80, kH - 50, 80, 50) > 0;
    }, 5000)) << "no cycling at the far corner";
    Xdo("key Tab");
    EXPECT_TRUE(Shows(area, k, 0, 0, want, kW - kPageW, kH - kPageH, kPageW, kPageH)) << "Tab did not restore";
    Xdo(over + " key space");
    ASSERT_TRUE(WaitUntil([&] { return Finished(); }, 10000)) << "a key did not end the picture";
    EXPECT_EQ(std::atoi(e2e::ReadText(rc_).c_str()), 0);
}

INSTANTIATE_TEST_SUITE_P(Bare, ViewWindow, ::testing::Values(xvfb_test::Desktop::Bare),
                         [](const auto& info) { return std::string(xvfb_test::DesktopName(info.param)); });
INSTANTIATE_TEST_SUITE_P(Openbox, ViewWindow, ::testing::Values(xvfb_test::Desktop::Openbox),
                         [](const auto& info) { return std::string(xvfb_test::DesktopName(info.param)); });

}  // namespace
