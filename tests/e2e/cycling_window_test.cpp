// Colour cycling in the real window, on a virtual X server: screenshots taken
// a moment apart show the range's colours moving band by band, never a band
// of mixed colours, the colour outside the range staying, Tab stopping the
// cycling with the starting colours back and Tab again starting it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

namespace fs = std::filesystem;
using xvfb_test::Image;

// 40x30, five bands 8 pixels wide: colours 0..3 form a forward range at 30
// steps a second, band 4 is white and stays. The window opens at four times
// the picture (the largest scale it takes), so each band is 32 pixels wide.
constexpr int kScale = 4;
const uint8_t kColours[5][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {255, 255, 255}};

using xvfb_test::WaitUntil;

// Which of the five colours band b shows, checked over the band's whole
// height on three columns; -1 when the band is not one colour throughout.
int BandColour(const Image& shot, int left, int top, int band) {
    int colour = -1;
    for (int dx : {0, 4 * kScale, 8 * kScale - 1}) {
        const int x = left + band * 8 * kScale + dx;
        for (int y = top; y < top + 30 * kScale; y += 5) {
            int here = -1;
            for (int c = 0; c < 5; ++c) {
                if (shot.Is(x, y, kColours[c][0], kColours[c][1], kColours[c][2])) here = c;
            }
            if (here < 0 || (colour >= 0 && here != colour)) return -1;
            colour = here;
        }
    }
    return colour;
}

// How far the range has turned (0..3) when the bands show a rotation of the
// starting colours and band 4 is white; -1 otherwise (a mixed or torn frame).
int Turn(const Image& shot, int left, int top) {
    if (BandColour(shot, left, top, 4) != 4) return -1;
    const int first = BandColour(shot, left, top, 0);
    if (first < 0 || first > 3) return -1;
    const int turn = (4 - first) % 4;  // forward: band b shows colour (b - turn) mod 4
    for (int b = 1; b < 4; ++b) {
        if (BandColour(shot, left, top, b) != (b - turn + 4) % 4) return -1;
    }
    return turn;
}

class CyclingWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_GE(xvfb_test::StartXvfb(), 0);
        ASSERT_TRUE(xvfb_test::HaveInputAndScreenshotTools())
            << "xdotool, xwd and xwdtopnm are needed (scripts/deps.sh)";
        ASSERT_TRUE(fs::exists(LANTERNA_BINARY_DIR "/lanterna")) << "build/lanterna is not built";
        dir_ = fs::temp_directory_path() / ("lanterna-cycling-window-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }

    // The turn seen in a fresh screenshot, once the window is up.
    int ShotTurn() { return Turn(xvfb_test::Screenshot(), left_, top_); }

    fs::path dir_;
    int left_ = 0, top_ = 0;
};

TEST_F(CyclingWindow, RangeMovesWithoutTearingAndTabRestoresTheStartingColours) {
    namespace w = lanterna::ilbmw;
    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(40, 30, 3, lanterna::cmpByteRun1);
    for (const auto& c : kColours) picture.colours.push_back({c[0], c[1], c[2]});
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) picture.pixels.push_back(uint32_t(x / 8));
    picture.extraChunks.push_back(w::MakeChunk("CRNG", w::EncodeColourRange(0, 8192, lanterna::RNG_ACTIVE, 0, 3)));
    const std::string file = (dir_ / "bands.iff").string();
    ASSERT_TRUE(w::WriteFile(file, w::MakeIlbm(picture)));

    const std::string rc = (dir_ / "rc").string();
    const std::string command = "(env -u LANTERNA_DISPLAY DISPLAY=:" +
                                std::to_string(xvfb_test::TheServer().display) + " '" LANTERNA_BINARY_DIR
                                "/lanterna' '" + file + "' CYCLE > '" + (dir_ / "out").string() +
                                "' 2>&1; echo $? > '" + rc + ".tmp'; mv '" + rc + ".tmp' '" + rc + "') &";
    std::system(command.c_str());

    // The window: the area that is not black, 40x30 at the whole-number scale.
    ASSERT_TRUE(WaitUntil([&] {
        const Image shot = xvfb_test::Screenshot();
        int right = -1, bottom = -1;
        left_ = shot.width, top_ = shot.height;
        for (int y = 0; y < shot.height; y += 1)
            for (int x = 0; x < shot.width; x += 1) {
                if (shot.Is(x, y, 0, 0, 0)) continue;
                left_ = std::min(left_, x), top_ = std::min(top_, y);
                right = std::max(right, x), bottom = std::max(bottom, y);
            }
        return right - left_ + 1 == 40 * kScale && bottom - top_ + 1 == 30 * kScale;
    }, 15000)) << "the window did not show the picture";

    // Cycling: every screenshot is a clean rotation, and the turn changes.
    std::set<int> turns;
    for (int i = 0; i < 12 && turns.size() < 3; ++i) {
        const int turn = ShotTurn();
        EXPECT_GE(turn, 0) << "screenshot " << i << " is not a rotation of the range";
        turns.insert(turn);
        std::this_thread::sleep_for(std::chrono::milliseconds(70));
    }
    EXPECT_GE(turns.size(), 2u) << "the colours did not move";

    // Tab: off, with the starting colours; they stay.
    const std::string over = "mousemove " + std::to_string(left_ + 100) + " " + std::to_string(top_ + 100);
    ASSERT_TRUE(xvfb_test::XdoTool(over + " key Tab"));
    EXPECT_TRUE(WaitUntil([&] { return ShotTurn() == 0; }, 5000)) << "Tab did not restore the colours";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ShotTurn(), 0) << "the colours moved after Tab switched cycling off";

    // Tab again: moving again.
    ASSERT_TRUE(xvfb_test::XdoTool(over + " key Tab"));
    EXPECT_TRUE(WaitUntil([&] {
        const int turn = ShotTurn();
        return turn > 0;
    }, 5000)) << "Tab did not switch cycling on again";

    ASSERT_TRUE(xvfb_test::XdoTool(over + " key Escape"));
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(rc); }, 10000)) << "Esc did not stop the run";
}

}  // namespace
