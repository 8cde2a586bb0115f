// The real window, on a virtual X server: what the X screen shows (read back
// with xwd and netpbm) and what the X input (sent with xdotool) does. Every
// test runs on the bare server and again under openbox, whose frame, focus
// handling and reparenting are what a person's desktop does to the window.
//
// First through the platform calls themselves: the picture's colours at a
// whole-number scale, colours loaded by another task, buttons and keys. Then
// build/lanterna itself: a picture shown, a click ends it, Esc stops the run,
// and many short slideshows ended as fast as a person clicks through them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/exec/exec.h"
#include "platform/graphics/graphics.h"
#include "tests/support/window_events.h"
#include "tests/support/xvfb_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

namespace fs = std::filesystem;
using xvfb_test::Image;

// The real backend, whatever the test runner asked for.
const bool kSdl = (unsetenv("LANTERNA_DISPLAY"), true);

struct Box {
    int left = 0, top = 0, right = -1, bottom = -1;  // inclusive
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

// The bounding box of everything that is not black, within an area of the
// screen (a window's client area; the whole screen when empty).
Box Lit(const Image& image, xvfb_test::Area area = {}) {
    if (area.width <= 0) area = {0, 0, image.width, image.height};
    Box b{image.width, image.height, -1, -1};
    const int right = std::min(image.width, area.left + area.width);
    const int bottom = std::min(image.height, area.top + area.height);
    for (int y = std::max(0, area.top); y < bottom; ++y)
        for (int x = std::max(0, area.left); x < right; ++x) {
            if (image.Is(x, y, 0, 0, 0)) continue;
            if (x < b.left) b.left = x;
            if (x > b.right) b.right = x;
            if (y < b.top) b.top = y;
            if (y > b.bottom) b.bottom = y;
        }
    return b;
}

// The whole scale a window opens at when the desktop holds four times the
// picture and more (none of the pictures here is close to the limit).
constexpr int kScale = 4;

using window_test::Event;
using window_test::Serve;

class RealWindow : public ::testing::TestWithParam<xvfb_test::Desktop> {
protected:
    void SetUp() override {
        if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_GE(xvfb_test::StartXvfb(), 0);
        ASSERT_TRUE(xvfb_test::HaveInputAndScreenshotTools())
            << "xdotool, xwd, xwininfo, xprop and xwdtopnm are needed (scripts/deps.sh)";
        if (GetParam() == xvfb_test::Desktop::Openbox && !xvfb_test::HaveProgram("openbox"))
            GTEST_SKIP() << "openbox is not installed (scripts/deps.sh)";
        ASSERT_TRUE(xvfb_test::UseDesktop(GetParam())) << "openbox did not start";
    }
};

// A visible window that xdotool's search finds, other than `other`, once it
// is up (0 when none came).
unsigned long WaitForWindow(const std::string& search, unsigned long other = 0, int ms = 15000,
                            const std::function<bool()>& giveUp = [] { return false; }) {
    unsigned long found = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end && !giveUp()) {
        for (unsigned long id : xvfb_test::VisibleWindows(search))
            if (id != other) found = id;
        if (found != 0) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

// Under a window manager keys go to the window it has focused: the one a
// person sees in front. On the bare server SDL gives a new window the focus
// itself, and drops a click it reads within 10 ms of reading that focus (a
// click that focuses a window is not for the program): the input comes a
// moment later, as a person's would.
bool WaitForFocus(xvfb_test::Desktop desktop, unsigned long window, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (xvfb_test::FocusedWindow() == window) {
            if (desktop == xvfb_test::Desktop::Bare) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return desktop == xvfb_test::Desktop::Bare;  // keys follow the pointer there
}

// xdotool runs while the window is served, as a person's input would.
std::vector<Event> InputWhileServing(os::Window* window, const std::string& xdo, size_t expected) {
    std::atomic<bool> done{false};
    std::thread input([&] {
        xvfb_test::XdoTool(xdo);
        done = true;
    });
    auto got = Serve(window, 5000, [&](const std::vector<Event>& g) { return done && g.size() >= expected; });
    // Anything more that arrives shortly after is part of the answer too.
    auto more = Serve(window, 150);
    got.insert(got.end(), more.begin(), more.end());
    input.join();
    return got;
}

constexpr uint32_t kKey = os::IDCMP_VANILLAKEY;
constexpr uint32_t kButton = os::IDCMP_MOUSEBUTTONS;

TEST_P(RealWindow, ColoursAtAWholeNumberScaleColoursOfAnotherTaskAndInput) {
    ASSERT_TRUE(os::DisplayAvailable());
    constexpr int W = 100, H = 80;
    const std::vector<uint32_t> colours = {
        3u << 16,
        0x10101010, 0x20202020, 0x30303030,   // 0
        0xFFFFFFFF, 0, 0,                     // 1 red
        0, 0, 0xFFFFFFFF,                     // 2 blue
        0};
    uint32_t mode = os::BestCModeIDTags(
        {{os::CYBRBIDTG_NominalWidth, W}, {os::CYBRBIDTG_NominalHeight, H}, {os::CYBRBIDTG_Depth, 8}});
    os::Screen* screen = os::OpenScreenTags(nullptr, {{os::SA_DisplayID, mode},
                                                      {os::SA_Depth, 8},
                                                      {os::SA_Colors32, reinterpret_cast<uintptr_t>(colours.data())}});
    ASSERT_NE(screen, nullptr);
    os::Window* window = os::OpenWindowTags(nullptr, {{os::WA_CustomScreen, reinterpret_cast<uintptr_t>(screen)},
                                                      {os::WA_IDCMP, kKey | kButton},
                                                      {os::WA_BusyPointer, 1}});
    ASSERT_NE(window, nullptr);
    // Left half red, right half blue, a green column at x = 10 and a yellow
    // row at y = 5 (colours 3 and 4 set after opening).
    os::SetRGB4(&screen->ViewPort, 3, 0, 15, 0);
    os::SetRGB4(&screen->ViewPort, 4, 15, 15, 0);
    auto expectedIndex = [](int x, int y) -> uint8_t {
        if (y == 5) return 4;
        if (x == 10) return 3;
        return x < W / 2 ? 1 : 2;
    };
    std::vector<uint8_t> row(W);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) row[x] = expectedIndex(x, y);
        os::WritePixelArray(row.data(), 0, 0, W, window->RPort, 0, static_cast<uint16_t>(y), W, 1, os::RECTFMT_LUT8);
    }
    Serve(window, 500);
    const unsigned long xWindow = WaitForWindow("--pid " + std::to_string(getpid()));
    ASSERT_NE(xWindow, 0u) << "no window on the X screen";
    const xvfb_test::Area area = xvfb_test::WindowArea(xWindow);

    struct Colour { uint8_t r, g, b; };
    const Colour shown[5] = {{16, 32, 48}, {255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 255, 0}};
    Image first = xvfb_test::Screenshot();
    ASSERT_GT(first.width, 0) << "no screenshot";
    Box box = Lit(first, area);
    // 1280x1024 holds 100x80 twelve times over; a window opens at four at most.
    ASSERT_EQ(box.Width(), W * kScale);
    ASSERT_EQ(box.Height(), H * kScale);
    int wrong = 0;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x) {
            const Colour& c = shown[expectedIndex((x - box.left) / kScale, (y - box.top) / kScale)];
            wrong += !first.Is(x, y, c.r, c.g, c.b);
        }
    EXPECT_EQ(wrong, 0);

    // Colour 1 loaded by another task shows while the program waits.
    std::thread cycler([&] {
        const uint32_t cyan[] = {1u << 16 | 1, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0};
        os::LoadRGB32(&screen->ViewPort, cyan);
    });
    cycler.join();
    Serve(window, 200);
    Image second = xvfb_test::Screenshot();
    ASSERT_EQ(second.width, first.width);
    EXPECT_TRUE(second.Is(box.left + 30 * kScale, box.top + 40 * kScale, 0, 255, 255));
    EXPECT_TRUE(second.Is(box.left + 70 * kScale, box.top + 40 * kScale, 0, 0, 255));
    EXPECT_TRUE(second.Is(box.left + 10 * kScale + kScale - 1, box.top + 40 * kScale, 0, 255, 0));

    // Buttons and keys of the X server arrive as IDCMP messages.
    ASSERT_TRUE(WaitForFocus(GetParam(), xWindow)) << "the window did not get the keyboard focus";
    const std::string over = "mousemove " + std::to_string(box.left + 300) + " " + std::to_string(box.top + 300);
    EXPECT_EQ(InputWhileServing(window, over + " click 1", 2),
              (std::vector<Event>{{kButton, os::SELECTDOWN}, {kButton, os::SELECTUP}}));
    EXPECT_EQ(InputWhileServing(window, over + " click 3", 2),
              (std::vector<Event>{{kButton, os::MENUDOWN}, {kButton, os::MENUUP}}));
    EXPECT_EQ(InputWhileServing(window, over + " click 2", 2),
              (std::vector<Event>{{kButton, os::MIDDLEDOWN}, {kButton, os::MIDDLEUP}}));
    EXPECT_EQ(InputWhileServing(window, over + " key Escape", 1), (std::vector<Event>{{kKey, 0x1B}}));
    EXPECT_EQ(InputWhileServing(window, over + " key x", 1), (std::vector<Event>{{kKey, 'x'}}));
    EXPECT_EQ(InputWhileServing(window, over + " key Tab", 1), (std::vector<Event>{{kKey, 0x09}}));
    EXPECT_EQ(InputWhileServing(window, over + " key ctrl+c", 1), (std::vector<Event>{{kKey, 0x03}}));
    EXPECT_TRUE(InputWhileServing(window, over + " key Up F3 shift", 0).empty());

    os::CloseWindow(window);
    os::CloseScreen(screen);
    // The desktop's window would wait a moment for a next screen; the tests
    // after this one look at a screen without it.
    os::ReleaseKeptWindows();
}

// build/lanterna started in the background on the test's X server.
struct ProgramRun {
    fs::path dir;
    bool Finished() const { return fs::exists(dir / "rc"); }
    int Rc() const {
        std::ifstream in(dir / "rc");
        int rc = -1;
        in >> rc;
        return rc;
    }
    std::string Output() const {
        std::ifstream in(dir / "out");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

ProgramRun StartLanterna(const std::string& name, const std::vector<std::string>& files) {
    ProgramRun run{fs::temp_directory_path() / ("lanterna-window-" + name + "-" + std::to_string(getpid()))};
    fs::remove_all(run.dir);
    fs::create_directories(run.dir);
    std::string command = "(env -u LANTERNA_DISPLAY DISPLAY=:" + std::to_string(xvfb_test::TheServer().display) +
                          " '" LANTERNA_BINARY_DIR "/lanterna'";
    for (const std::string& f : files) command += " '" + f + "'";
    command += " > '" + (run.dir / "out").string() + "' 2>&1; echo $? > '" + (run.dir / "rc.tmp").string() +
               "'; mv '" + (run.dir / "rc.tmp").string() + "' '" + (run.dir / "rc").string() + "') &";
    std::system(command.c_str());
    return run;
}

using xvfb_test::WaitUntil;

// A window's title (WM_NAME), as xdotool reads it; "" when it is gone.
std::string WindowName(unsigned long window) {
    std::string name = xvfb_test::CommandOutput(
        xvfb_test::OnDisplay("xdotool getwindowname " + std::to_string(window) + " 2>/dev/null"));
    if (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

// The windows of build/lanterna on the X screen.
const std::string kLanternaWindows = "--classname '^lanterna$'";

// The picture of a window: the lit part of its client area, once that fills
// the area as far as it is on the screen.
bool PictureFillsWindow(unsigned long window, int width, int height, Image& shot, xvfb_test::Area& area, Box& box) {
    area = xvfb_test::WindowArea(window);
    shot = xvfb_test::Screenshot();
    box = Lit(shot, area);
    return area.width == width && area.height == height && box.left == std::max(0, area.left) &&
           box.top == std::max(0, area.top) && box.right == std::min(shot.width, area.left + width) - 1 &&
           box.bottom == std::min(shot.height, area.top + height) - 1;
}

TEST_P(RealWindow, LanternaShowsAPictureAClickEndsItAndEscStopsTheRun) {
    namespace w = lanterna::ilbmw;
    if (!fs::exists(LANTERNA_BINARY_DIR "/lanterna")) GTEST_SKIP() << "build/lanterna is not built";
    // 40x30, 2 planes: four bands of red, green, blue and white.
    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(40, 30, 2, lanterna::cmpByteRun1);
    picture.colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) picture.pixels.push_back(static_cast<uint32_t>(x / 10));
    std::string first = w::TempPath("window-first") + ".iff";
    std::string second = w::TempPath("window-second") + ".iff";
    ASSERT_TRUE(w::WriteFile(first, w::MakeIlbm(picture)));
    ASSERT_TRUE(w::WriteFile(second, w::MakeIlbm(picture)));

    // 1280x1024 would hold 40x30 thirty-two times; the window opens at four.
    ProgramRun run = StartLanterna("click", {first});
    Image shot;
    xvfb_test::Area area;
    Box box;
    const unsigned long shown = WaitForWindow(kLanternaWindows);
    ASSERT_NE(shown, 0u) << run.Output();
    // The window is cleared with the picture's background colour first; the
    // rows follow as they are read.
    const uint8_t bands[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    int wrong = -1;
    auto wrongPixels = [&] {
        int n = 0;
        for (int y = box.top; y <= box.bottom; y += 7)
            for (int x = box.left; x <= box.right; ++x) {
                const uint8_t* c = bands[(x - area.left) / kScale / 10];
                n += !shot.Is(x, y, c[0], c[1], c[2]);
            }
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] {
        if (!PictureFillsWindow(shown, 40 * kScale, 30 * kScale, shot, area, box)) return false;
        wrong = wrongPixels();
        return wrong == 0;
    }, 15000)) << "window " << area.width << "x" << area.height << ", lit area " << box.Width() << "x"
               << box.Height() << ", " << wrong << " pixels wrong; output: " << run.Output();
    EXPECT_EQ(WindowName(shown), fs::path(first).filename().string() + " — 40×30, 4 colours — Lanterna");
    const std::string over = "mousemove " + std::to_string(box.left + 100) + " " + std::to_string(box.top + 100);
    xvfb_test::XdoTool(over + " click 1");
    ASSERT_TRUE(WaitUntil([&] { return run.Finished(); }, 10000)) << "a click did not end the picture";
    EXPECT_EQ(run.Rc(), 0);
    EXPECT_EQ(run.Output(), "Showing \"" + first + "\"... Done.\n");

    // Esc on the first of two pictures: the second is never shown.
    ProgramRun stopped = StartLanterna("esc", {first, second});
    const unsigned long again = WaitForWindow(kLanternaWindows);
    ASSERT_NE(again, 0u) << stopped.Output();
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWindow(again, 40 * kScale, 30 * kScale, shot, area, box); }, 15000));
    ASSERT_TRUE(WaitForFocus(GetParam(), again));
    xvfb_test::XdoTool(over + " key Escape");
    ASSERT_TRUE(WaitUntil([&] { return stopped.Finished(); }, 10000)) << "Esc did not stop the run";
    EXPECT_EQ(stopped.Output().find(second), std::string::npos) << stopped.Output();
    EXPECT_NE(stopped.Output().find(first), std::string::npos) << stopped.Output();
    EXPECT_TRUE(WaitUntil([&] { return Lit(xvfb_test::Screenshot()).right < 0; }, 5000)) << "the window stayed";

    // CENTER keeps the window for the next picture: its title follows.
    ProgramRun kept = StartLanterna("title", {"CENTER", first, second});
    const unsigned long window = WaitForWindow(kLanternaWindows);
    ASSERT_NE(window, 0u) << kept.Output();
    const std::string secondTitle = fs::path(second).filename().string() + " — 40×30, 4 colours — Lanterna";
    ASSERT_TRUE(WaitUntil([&] { return WindowName(window).rfind(fs::path(first).filename().string(), 0) == 0; }, 10000));
    ASSERT_TRUE(WaitForFocus(GetParam(), window));
    xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 20 20 click 1");
    EXPECT_TRUE(WaitUntil([&] { return WindowName(window) == secondTitle; }, 10000)) << WindowName(window);
    xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 20 20 key Escape");
    EXPECT_TRUE(WaitUntil([&] { return kept.Finished(); }, 10000));

    fs::remove_all(run.dir);
    fs::remove_all(stopped.dir);
    fs::remove_all(kept.dir);
    fs::remove(first);
    fs::remove(second);
}

TEST_P(RealWindow, CyclingMovesTheColoursInTheWindowWithoutTearing) {
    namespace w = lanterna::ilbmw;
    if (!fs::exists(LANTERNA_BINARY_DIR "/lanterna")) GTEST_SKIP() << "build/lanterna is not built";
    // Four bands of colours 1 to 4, one range over them stepping 4 times a
    // second (rate 1092 of 16384 per 1/60 s), started at once with CYCLE.
    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(40, 30, 3, lanterna::cmpByteRun1);
    picture.colours = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {9, 9, 9}, {9, 9, 9}, {9, 9, 9}};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) picture.pixels.push_back(static_cast<uint32_t>(1 + x / 10));
    picture.extraChunks.push_back(w::MakeChunk("CRNG", w::EncodeColourRange(0, 1092, lanterna::RNG_ACTIVE, 1, 4)));
    std::string file = w::TempPath("window-cycle") + ".iff";
    ASSERT_TRUE(w::WriteFile(file, w::MakeIlbm(picture)));

    ProgramRun run = StartLanterna("cycle", {"CYCLE", file});
    Image first;
    xvfb_test::Area area;
    Box box;
    const unsigned long shown = WaitForWindow(kLanternaWindows);
    ASSERT_NE(shown, 0u) << run.Output();
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWindow(shown, 40 * kScale, 30 * kScale, first, area, box); }, 15000))
        << run.Output();
    const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    std::vector<std::vector<int>> seen;  // band colours (indices into colours) per shot
    for (int shot = 0; shot < 6; ++shot) {
        Image image = xvfb_test::Screenshot();
        std::vector<int> bands;
        for (int band = 0; band < 4; ++band) {
            const uint8_t* c = image.At(area.left + band * 10 * kScale + 5, box.top + 5);
            int which = -1;
            for (int k = 0; k < 4; ++k)
                if (c[0] == colours[k][0] && c[1] == colours[k][1] && c[2] == colours[k][2]) which = k;
            bands.push_back(which);
            // Every pixel of a band in one shot has the band's colour.
            int torn = 0;
            for (int y = box.top; y <= box.bottom; y += 3)
                for (int x = std::max(box.left, area.left + band * 10 * kScale);
                     x < std::min(box.right + 1, area.left + (band + 1) * 10 * kScale); x += 5)
                    torn += std::memcmp(image.At(x, y), c, 3) != 0;
            EXPECT_EQ(torn, 0) << "shot " << shot << " band " << band;
        }
        // The four bands always show the range's colours, rotated.
        ASSERT_GE(bands[0], 0);
        for (int band = 1; band < 4; ++band) EXPECT_EQ(bands[band], (bands[0] + band) % 4) << shot;
        seen.push_back(bands);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_GE(std::unique(seen.begin(), seen.end()) - seen.begin(), 2) << "the colours did not move";
    xvfb_test::XdoTool("mousemove " + std::to_string(box.left + 100) + " " + std::to_string(box.top + 100) +
                       " click 1");
    ASSERT_TRUE(WaitUntil([&] { return run.Finished(); }, 10000));
    EXPECT_EQ(run.Rc(), 0) << run.Output();
    fs::remove_all(run.dir);
    fs::remove(file);
}

// A long pause after opening: the window is served all the while, so Esc
// in it stops the run at once instead of after the pause.
TEST_P(RealWindow, PauseAfterOpeningStillAnswersTheWindow) {
    namespace w = lanterna::ilbmw;
    if (!fs::exists(LANTERNA_BINARY_DIR "/lanterna")) GTEST_SKIP() << "build/lanterna is not built";
    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(40, 30, 1, lanterna::cmpNone);
    picture.colours = {{0, 0, 0}, {255, 255, 255}};
    picture.pixels.assign(40 * 30, 1);
    std::string file = w::TempPath("window-pause") + ".iff";
    ASSERT_TRUE(w::WriteFile(file, w::MakeIlbm(picture)));

    ProgramRun run = StartLanterna("pause", {"WAITAFTEROPEN=60", file});
    ASSERT_TRUE(WaitUntil([&] { return run.Output().find("Showing") != std::string::npos; }, 15000));
    // The window is open and pausing.
    const unsigned long window = WaitForWindow(kLanternaWindows, 0, 10000, [&] { return run.Finished(); });
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForFocus(GetParam(), window));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(run.Finished());
    xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 20 20 key Escape");
    ASSERT_TRUE(WaitUntil([&] { return run.Finished(); }, 5000)) << "Esc did not end the pause";
    EXPECT_EQ(run.Rc(), 0);
    EXPECT_EQ(run.Output(), "Showing \"" + file + "\"... ***Break\n");
    fs::remove_all(run.dir);
    fs::remove(file);
}

// A person clicking and typing through slideshows: each picture's window is
// ended by a key or a click as soon as it has the focus, the next window then
// opens at once and the program waits in it. Not one of the runs may end
// with an X error (the program's X library prints it and exits with 1).
TEST_P(RealWindow, SlideshowsEndedByKeysAndClicksRunWithoutAnXError) {
    namespace w = lanterna::ilbmw;
    if (!fs::exists(LANTERNA_BINARY_DIR "/lanterna")) GTEST_SKIP() << "build/lanterna is not built";
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        w::IlbmPicture picture;
        picture.header = w::SimpleHeader(32, 24, 1, lanterna::cmpByteRun1);
        picture.colours = {{0, 0, 0}, {static_cast<uint8_t>(80 * (i + 1)), 200, 40}};
        picture.pixels.assign(32 * 24, 1);
        files.push_back(w::TempPath("window-slide-" + std::to_string(i)) + ".iff");
        ASSERT_TRUE(w::WriteFile(files.back(), w::MakeIlbm(picture)));
    }
    // A picture ended while its rows still appear says so ("***Break"); one
    // ended after that is done. Nothing else is printed.
    auto expectedOutput = [&](const std::string& output) {
        std::string rest = output;
        for (const std::string& f : files) {
            const std::string showing = "Showing \"" + f + "\"... ";
            if (rest.rfind(showing, 0) != 0) return false;
            rest.erase(0, showing.size());
            if (rest.rfind("Done.\n", 0) == 0) {
                rest.erase(0, 6);
            } else if (rest.rfind("***Break\n", 0) == 0) {
                rest.erase(0, 9);
            } else {
                return false;
            }
        }
        return rest.empty();
    };

    // Fifty under the window manager; on the bare server, where the server
    // has less to do, twenty.
    const int kSlideshows = GetParam() == xvfb_test::Desktop::Openbox ? 50 : 20;
    int failed = 0;
    std::string firstFailure;
    const auto start = std::chrono::steady_clock::now();
    for (int show = 0; show < kSlideshows; ++show) {
        ProgramRun run = StartLanterna("slides", files);
        std::string trouble;
        // The next picture has begun, or the run is over.
        auto begun = [&](int picture) {
            return run.Finished() ||
                   (picture < 3 && run.Output().find("Showing \"" + files[picture] + "\"") != std::string::npos);
        };
        for (int picture = 0; picture < 3 && trouble.empty() && !run.Finished(); ++picture) {
            if (!WaitUntil([&] { return begun(picture); }, 10000, 5)) {
                trouble = "picture " + std::to_string(picture + 1) + " did not begin";
                break;
            }
            // The window stays the same when the next picture reuses the screen.
            const unsigned long window = WaitForWindow(kLanternaWindows, 0, 10000, [&] { return run.Finished(); });
            if (window == 0 || !WaitForFocus(GetParam(), window)) {
                if (!run.Finished()) trouble = "picture " + std::to_string(picture + 1) + " has no focused window";
                break;
            }
            // Keys and clicks in turn, over the window; input that came before
            // the picture listened is given again, as a person would.
            const bool byKey = (show + picture) % 2 == 0;
            bool ended = false;
            for (int attempt = 0; attempt < 3 && !ended; ++attempt) {
                xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 20 20 " +
                                   (byKey ? "key space" : "click 1"));
                ended = WaitUntil([&] { return begun(picture + 1); }, 500, 5);
            }
            if (!ended) trouble = "picture " + std::to_string(picture + 1) + " did not end";
        }
        if (!WaitUntil([&] { return run.Finished(); }, 10000, 5)) {
            trouble += " (still running)";
            xvfb_test::XdoTool("key Escape");
            WaitUntil([&] { return run.Finished(); }, 5000);
        }
        if (!trouble.empty() || run.Rc() != 0 || !expectedOutput(run.Output())) {
            ++failed;
            if (firstFailure.empty())
                firstFailure = "slideshow " + std::to_string(show + 1) + ": " + trouble + " result " +
                               std::to_string(run.Rc()) + ", output:\n" + run.Output();
        }
        fs::remove_all(run.dir);
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() / 1000.0;
    std::printf("%d slideshows of 3 pictures in %.1f s\n", kSlideshows, seconds);
    EXPECT_EQ(failed, 0) << firstFailure;
    for (const std::string& f : files) fs::remove(f);
}

// A picture of w x h in one colour, 1 plane.
std::string WritePlain(const std::string& name, int w, int h, lanterna::ilbmw::Rgb colour) {
    namespace iw = lanterna::ilbmw;
    iw::IlbmPicture picture;
    picture.header = iw::SimpleHeader(static_cast<uint16_t>(w), static_cast<uint16_t>(h), 1, lanterna::cmpByteRun1);
    picture.colours = {{0, 0, 0}, colour};
    picture.pixels.assign(static_cast<size_t>(w) * h, 1);
    std::string file = iw::TempPath(name) + ".iff";
    return iw::WriteFile(file, iw::MakeIlbm(picture)) ? file : std::string();
}

// The pixels of an area of the screen, row by row.
std::vector<uint8_t> Crop(const Image& image, const xvfb_test::Area& area) {
    std::vector<uint8_t> out;
    for (int y = std::max(0, area.top); y < std::min(image.height, area.top + area.height); ++y)
        for (int x = std::max(0, area.left); x < std::min(image.width, area.left + area.width); ++x)
            out.insert(out.end(), image.At(x, y), image.At(x, y) + 3);
    return out;
}

// One desktop window for the whole run: the next picture takes over the
// window of the last one, resized where the user put it, and full screen
// stays on from one picture to the next.
TEST_P(RealWindow, OneWindowForTheRunKeepsItsIdPlaceAndFullScreen) {
    if (!fs::exists(LANTERNA_BINARY_DIR "/lanterna")) GTEST_SKIP() << "build/lanterna is not built";
    const std::vector<std::string> files = {WritePlain("keep-1", 40, 30, {250, 60, 60}),
                                            WritePlain("keep-2", 60, 20, {60, 250, 60}),
                                            WritePlain("keep-3", 40, 30, {60, 60, 250})};
    for (const std::string& f : files) ASSERT_FALSE(f.empty());
    ProgramRun run = StartLanterna("keep", files);
    Image shot;
    xvfb_test::Area area;
    Box box;
    const unsigned long window = WaitForWindow(kLanternaWindows);
    ASSERT_NE(window, 0u) << run.Output();
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWindow(window, 40 * kScale, 30 * kScale, shot, area, box); }, 15000));
    ASSERT_TRUE(WaitForFocus(GetParam(), window));
    // The user moves the window.
    xvfb_test::XdoTool("windowmove " + std::to_string(window) + " 150 120");
    xvfb_test::Area moved;
    ASSERT_TRUE(WaitUntil([&] {
        moved = xvfb_test::WindowArea(window);
        return moved.width > 0 && (moved.left != area.left || moved.top != area.top);
    }, 5000, 20)) << "the window did not move";
    const bool openbox = GetParam() == xvfb_test::Desktop::Openbox;

    auto next = [&](int picture) {
        xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 10 10 click 1");
        return WaitUntil([&] { return run.Output().find("Showing \"" + files[picture] + "\"") != std::string::npos; },
                         10000, 20);
    };
    ASSERT_TRUE(next(1)) << run.Output();
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWindow(window, 60 * kScale, 20 * kScale, shot, area, box); }, 10000))
        << "window " << area.width << "x" << area.height;
    EXPECT_EQ(xvfb_test::VisibleWindows(kLanternaWindows), std::vector<unsigned long>{window});
    EXPECT_EQ(area.left, moved.left);
    EXPECT_EQ(area.top, moved.top);
    EXPECT_TRUE(shot.Is(area.left + 5, area.top + 5, 60, 250, 60));

    if (openbox) {
        // Full screen on the second picture stays on for the third.
        ASSERT_TRUE(WaitForFocus(GetParam(), window));
        xvfb_test::XdoTool("key F11");
        ASSERT_TRUE(WaitUntil([&] { return xvfb_test::WindowArea(window).width == shot.width; }, 5000, 20));
    }
    ASSERT_TRUE(next(2)) << run.Output();
    if (openbox) {
        EXPECT_TRUE(WaitUntil([&] {
            area = xvfb_test::WindowArea(window);
            shot = xvfb_test::Screenshot();
            return area.width == shot.width && shot.Is(shot.width / 2, shot.height / 2, 60, 60, 250);
        }, 10000)) << "not full screen with the third picture: " << area.width << "x" << area.height;
        ASSERT_TRUE(WaitForFocus(GetParam(), window));
        xvfb_test::XdoTool("key F11");  // back to the window, at the third picture's size
    }
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWindow(window, 40 * kScale, 30 * kScale, shot, area, box); }, 10000))
        << "window " << area.width << "x" << area.height;
    EXPECT_EQ(xvfb_test::VisibleWindows(kLanternaWindows), std::vector<unsigned long>{window});
    EXPECT_EQ(area.left, moved.left);
    EXPECT_EQ(area.top, moved.top);
    EXPECT_TRUE(shot.Is(area.left + 5, area.top + 5, 60, 60, 250));
    xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 10 10 click 1");
    ASSERT_TRUE(WaitUntil([&] { return run.Finished(); }, 10000));
    EXPECT_EQ(run.Rc(), 0);
    std::string expected;
    for (const std::string& f : files) expected += "Showing \"" + f + "\"... Done.\n";
    EXPECT_EQ(run.Output(), expected);
    // The run is over: the window goes with it.
    EXPECT_TRUE(WaitUntil([&] { return xvfb_test::VisibleWindows(kLanternaWindows).empty(); }, 5000));
    fs::remove_all(run.dir);
    for (const std::string& f : files) fs::remove(f);
}

// Page Up in the window brings back the picture before: the screen shows
// exactly what it showed the first time.
TEST_P(RealWindow, PageUpBringsBackThePreviousPicture) {
    if (!fs::exists(LANTERNA_BINARY_DIR "/lanterna")) GTEST_SKIP() << "build/lanterna is not built";
    namespace w = lanterna::ilbmw;
    // Four bands, so that a picture shown shifted or scaled differs.
    w::IlbmPicture bands;
    bands.header = w::SimpleHeader(40, 30, 2, lanterna::cmpByteRun1);
    bands.colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) bands.pixels.push_back(static_cast<uint32_t>((x / 10 + y / 15) % 4));
    const std::string first = w::TempPath("back-first") + ".iff";
    ASSERT_TRUE(w::WriteFile(first, w::MakeIlbm(bands)));
    const std::string second = WritePlain("back-second", 40, 40, {200, 200, 40});
    ASSERT_FALSE(second.empty());

    ProgramRun run = StartLanterna("back", {first, second});
    Image shot;
    xvfb_test::Area area;
    Box box;
    const unsigned long window = WaitForWindow(kLanternaWindows);
    ASSERT_NE(window, 0u) << run.Output();
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWindow(window, 40 * kScale, 30 * kScale, shot, area, box); }, 15000));
    const xvfb_test::Area firstArea = area;
    const std::vector<uint8_t> firstPixels = Crop(shot, area);
    ASSERT_TRUE(WaitForFocus(GetParam(), window));
    xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 10 10 key Next");  // Page Down
    ASSERT_TRUE(WaitUntil([&] { return run.Output().find(second) != std::string::npos; }, 10000)) << run.Output();
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWindow(window, 40 * kScale, 40 * kScale, shot, area, box); }, 10000));
    ASSERT_TRUE(WaitForFocus(GetParam(), window));
    xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 10 10 key Prior");  // Page Up
    const std::string again = "Showing \"" + first + "\"... Done.\nShowing \"" + second + "\"... Done.\nShowing \"" +
                              first + "\"... ";
    ASSERT_TRUE(WaitUntil([&] { return run.Output() == again; }, 10000)) << run.Output();
    std::vector<uint8_t> shown;
    EXPECT_TRUE(WaitUntil([&] {
        if (!PictureFillsWindow(window, 40 * kScale, 30 * kScale, shot, area, box)) return false;
        shown = Crop(shot, area);
        return shown == firstPixels;
    }, 10000)) << "window " << area.width << "x" << area.height << " at " << area.left << "," << area.top
               << ", first at " << firstArea.left << "," << firstArea.top;
    ASSERT_TRUE(WaitForFocus(GetParam(), window));
    xvfb_test::XdoTool("mousemove --window " + std::to_string(window) + " 10 10 key Escape");
    ASSERT_TRUE(WaitUntil([&] { return run.Finished(); }, 10000));
    EXPECT_EQ(run.Rc(), 0);
    EXPECT_EQ(run.Output(), again + "***Break\n");
    fs::remove_all(run.dir);
    fs::remove(first);
    fs::remove(second);
}

INSTANTIATE_TEST_SUITE_P(Bare, RealWindow, ::testing::Values(xvfb_test::Desktop::Bare),
                         [](const auto& info) { return std::string(xvfb_test::DesktopName(info.param)); });
INSTANTIATE_TEST_SUITE_P(Openbox, RealWindow, ::testing::Values(xvfb_test::Desktop::Openbox),
                         [](const auto& info) { return std::string(xvfb_test::DesktopName(info.param)); });

}  // namespace
