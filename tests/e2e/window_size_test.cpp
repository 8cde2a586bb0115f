// The size build/lanterna's window opens at: the largest whole scale, four at
// most, at which the window and the frame a window manager puts around it fit
// the usable desktop. Measured on an 800x600 and a 1920x1080 screen, bare and
// under openbox (whose title bar and borders must be allowed for): a 16x16
// sprite, a 320x200 picture, a picture whose double height fits the screen
// but not with a title bar above it, and one larger than the screen.
//
// A server has one screen size for its life, so the test starts this program
// again once per size (LANTERNA_TEST_SCREEN); the measuring tests run only
// in those children.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

namespace fs = std::filesystem;

using xvfb_test::WaitUntil;

struct Case {
    int width, height;           // the picture
    int bareW, bareH;            // its window on the bare server
    int framedW, framedH;        // and under openbox
};

// Per screen: a sprite is shown four times over, not up to the screen's
// height, in a window wide enough for some of its title; 320x200 at the
// largest scale that fits; the tall picture only once under a window
// manager, as its title bar would push the bottom rows under the screen's
// edge at twice; the large one shrunk to fit, aspect
// kept. (The tall one on the large screen is 640 wide: a picture over 399
// rows without a mode is taken as interlaced, and one under 640 columns then
// has pixels twice as wide as high.)
std::vector<Case> CasesFor(const std::string& screen) {
    if (screen == "800x600")
        return {{16, 16, 160, 64, 160, 64}, {320, 200, 640, 400, 640, 400}, {300, 296, 600, 592, 300, 296},
                {1000, 700, 800, 560, 798, 558}};
    if (screen == "1920x1080")
        return {{16, 16, 160, 64, 160, 64}, {320, 200, 1280, 800, 1280, 800}, {640, 536, 1280, 1072, 640, 536}};
    return {};
}

// Four numbers of a CARDINAL property ("_NET_FRAME_EXTENTS(CARDINAL) = 1, 1, 22, 4").
std::vector<int> Cardinals(const std::string& xprop) {
    std::vector<int> v;
    size_t at = xprop.find(" = ");
    if (at == std::string::npos) return v;
    const char* p = xprop.c_str() + at + 3;
    while (*p != '\0' && v.size() < 4) {
        char* end = nullptr;
        long n = std::strtol(p, &end, 10);
        if (end == p) break;
        v.push_back(static_cast<int>(n));
        p = end;
        while (*p == ',' || *p == ' ') ++p;
    }
    return v;
}

class WindowSizeOnThisScreen : public ::testing::TestWithParam<xvfb_test::Desktop> {
protected:
    void SetUp() override {
        if (std::getenv("LANTERNA_TEST_SCREEN") == nullptr) GTEST_SKIP() << "run by WindowSize for each screen";
        if (!fs::exists(LANTERNA_BINARY_DIR "/lanterna")) GTEST_SKIP() << "build/lanterna is not built";
        if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_GE(xvfb_test::StartXvfb(), 0);
        ASSERT_TRUE(xvfb_test::HaveInputAndScreenshotTools());
        if (GetParam() == xvfb_test::Desktop::Openbox && !xvfb_test::HaveProgram("openbox"))
            GTEST_SKIP() << "openbox is not installed (scripts/deps.sh)";
        ASSERT_TRUE(xvfb_test::UseDesktop(GetParam())) << "openbox did not start";
    }
};

TEST_P(WindowSizeOnThisScreen, LargestWholeScaleAtMostFourWithTheFrameOnTheDesktop) {
    namespace w = lanterna::ilbmw;
    const std::string screen = xvfb_test::ScreenSize();
    const std::vector<Case> cases = CasesFor(screen);
    ASSERT_FALSE(cases.empty()) << "no sizes known for " << screen;
    const bool framed = GetParam() == xvfb_test::Desktop::Openbox;
    const fs::path dir = fs::temp_directory_path() / ("lanterna-window-size-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " on " + screen);
        w::IlbmPicture picture;
        picture.header = w::SimpleHeader(static_cast<uint16_t>(c.width), static_cast<uint16_t>(c.height), 1,
                                         lanterna::cmpByteRun1);
        picture.colours = {{0, 0, 0}, {255, 255, 255}};
        picture.pixels.assign(static_cast<size_t>(c.width) * c.height, 1);
        const std::string file = (dir / "picture.iff").string();
        ASSERT_TRUE(w::WriteFile(file, w::MakeIlbm(picture)));
        const fs::path rc = dir / "rc";
        fs::remove(rc);
        std::string command = "(env -u LANTERNA_DISPLAY DISPLAY=:" + std::to_string(xvfb_test::TheServer().display) +
                              " '" LANTERNA_BINARY_DIR "/lanterna' '" + file + "' > '" + (dir / "out").string() +
                              "' 2>&1; echo $? > '" + rc.string() + ".tmp'; mv '" + rc.string() + ".tmp' '" +
                              rc.string() + "') &";
        ASSERT_EQ(std::system(command.c_str()), 0);
        unsigned long window = 0;
        ASSERT_TRUE(WaitUntil([&] {
            auto ids = xvfb_test::VisibleWindows("--classname '^lanterna$'");
            if (!ids.empty()) window = ids.back();
            return window != 0;
        }, 15000)) << "no window";
        const int wantW = framed ? c.framedW : c.bareW, wantH = framed ? c.framedH : c.bareH;
        // The window settles: a window manager frames it, then it is resized
        // and moved again to fit, one request after the other.
        xvfb_test::Area area;
        std::vector<int> frame, work;
        auto inside = [&] {
            if (!framed) return true;
            frame = Cardinals(xvfb_test::CommandOutput(xvfb_test::OnDisplay(
                "xprop -id " + std::to_string(window) + " _NET_FRAME_EXTENTS 2>/dev/null")));
            work = Cardinals(xvfb_test::CommandOutput(xvfb_test::OnDisplay("xprop -root _NET_WORKAREA 2>/dev/null")));
            return frame.size() == 4 && work.size() == 4 && area.left - frame[0] >= work[0] &&
                   area.top - frame[2] >= work[1] && area.left + area.width + frame[1] <= work[0] + work[2] &&
                   area.top + area.height + frame[3] <= work[1] + work[3];
        };
        EXPECT_TRUE(WaitUntil([&] {
            area = xvfb_test::WindowArea(window);
            return area.width == wantW && area.height == wantH && inside();
        }, 3000)) << "client area " << area.width << "x" << area.height << ", wanted " << wantW << "x" << wantH;
        if (framed) {
            // The frame and the client area lie inside the work area.
            ASSERT_EQ(frame.size(), 4u);
            ASSERT_EQ(work.size(), 4u);
            std::printf("%s %dx%d: client %dx%d at %d,%d, frame l%d r%d t%d b%d, work area %dx%d\n", screen.c_str(),
                        c.width, c.height, area.width, area.height, area.left, area.top, frame[0], frame[1], frame[2],
                        frame[3], work[2], work[3]);
            EXPECT_TRUE(inside()) << "the window with its frame lies over the work area's edge";
        }
        // A click ends the picture once it is shown (white throughout).
        EXPECT_TRUE(WaitUntil([&] {
            const xvfb_test::Image shot = xvfb_test::Screenshot();
            const int x = area.left + area.width / 2, y = area.top + area.height / 2;
            return x < shot.width && y < shot.height && shot.Is(x, y, 255, 255, 255);
        }, 10000)) << "the picture was not shown";
        xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 2 2 click 1");
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(rc); }, 10000)) << "a click did not end the picture";
        std::ifstream rcIn(rc), outIn(dir / "out");
        int code = -1;
        rcIn >> code;
        const std::string out((std::istreambuf_iterator<char>(outIn)), std::istreambuf_iterator<char>());
        EXPECT_EQ(code, 0) << out;
        EXPECT_EQ(out, "Showing \"" + file + "\"... Done.\n");
    }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Bare, WindowSizeOnThisScreen, ::testing::Values(xvfb_test::Desktop::Bare),
                         [](const auto& info) { return std::string(xvfb_test::DesktopName(info.param)); });
INSTANTIATE_TEST_SUITE_P(Openbox, WindowSizeOnThisScreen, ::testing::Values(xvfb_test::Desktop::Openbox),
                         [](const auto& info) { return std::string(xvfb_test::DesktopName(info.param)); });

// This program again, on a server of each size.
TEST(WindowSize, OnAn800x600AndA1920x1080Screen) {
    if (std::getenv("LANTERNA_TEST_SCREEN") != nullptr) GTEST_SKIP() << "the run of one screen";
    const fs::path self = fs::read_symlink("/proc/self/exe");
    for (const char* screen : {"800x600", "1920x1080"}) {
        const std::string command = "LANTERNA_TEST_SCREEN=" + std::string(screen) + " '" + self.string() +
                                    "' --gtest_filter='*WindowSizeOnThisScreen*'";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "on " << screen;
    }
}

}  // namespace
