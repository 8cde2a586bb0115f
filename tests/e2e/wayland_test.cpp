// build/lanterna on a Wayland session, through SDL's own Wayland driver: a
// Weston compositor runs nested in the virtual X server (its x11 backend,
// which gives it a seat with the X server's pointer and keyboard), and the
// program is started with WAYLAND_DISPLAY only, so Wayland is all it can use.
// The picture is read back from the X screen where Weston shows its output,
// and a click sent to the X server reaches the program through Weston.
// A compositor without a seat (Weston's headless backend) is refused at
// once with result 20: SDL 2 before 2.30 crashes on one.
//
// Skipped when Weston or Xvfb is not installed, or Weston does not start.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/xvfb_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

namespace fs = std::filesystem;

using xvfb_test::WaitUntil;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A Weston of its own in a runtime directory of its own, ended by its
// process id.
class Weston {
public:
    explicit Weston(const std::string& backend) {
        char templ[] = "/tmp/lanterna-wayland-XXXXXX";
        if (mkdtemp(templ) == nullptr) return;
        dir_ = templ;
        chmod(dir_.c_str(), 0700);
        socket_ = "lanterna-" + std::to_string(getpid());
        const std::string command = "XDG_RUNTIME_DIR='" + dir_.string() + "' weston --no-config --backend=" + backend +
                                    " --socket=" + socket_ + " --use-pixman --width=640 --height=480 --idle-time=0 > '" +
                                    (dir_ / "weston.log").string() + "' 2>&1 & echo $! > '" + (dir_ / "pid").string() +
                                    "'";
        if (std::system(command.c_str()) != 0) return;
        std::ifstream(dir_ / "pid") >> pid_;
        // It serves once its socket is there and its shell has started.
        ready_ = pid_ > 0 && WaitUntil([&] {
            return fs::exists(dir_ / socket_) &&
                   ReadText(dir_ / "weston.log").find("launching '") != std::string::npos;
        }, 10000);
        if (ready_) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~Weston() {
        if (pid_ > 0) {
            kill(static_cast<pid_t>(pid_), SIGTERM);
            WaitUntil([&] { return xvfb_test::ProcessGone(pid_); }, 5000);
        }
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }
    Weston(const Weston&) = delete;
    Weston& operator=(const Weston&) = delete;

    bool Ready() const { return ready_; }
    std::string Log() const { return ReadText(dir_ / "weston.log"); }

    // build/lanterna on this compositor alone, in the background. On
    // Wayland SDL draws a window surface through OpenGL (Mesa's software
    // rasteriser here), whose libraries keep blocks of their own to the end
    // and are unloaded before a sanitizer build's leak check runs: that
    // check is left to the X11 window tests.
    void Start(const std::string& file) const {
        const std::string command = "(env -u DISPLAY -u LANTERNA_DISPLAY XDG_RUNTIME_DIR='" + dir_.string() +
                                    "' WAYLAND_DISPLAY=" + socket_ +
                                    " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" timeout 60 '"
                                    LANTERNA_BINARY_DIR "/lanterna' '" +
                                    file + "' > '" + (dir_ / "out").string() + "' 2> '" + (dir_ / "err").string() +
                                    "'; echo $? > '" + (dir_ / "rc.tmp").string() + "'; mv '" +
                                    (dir_ / "rc.tmp").string() + "' '" + (dir_ / "rc").string() + "') &";
        std::system(command.c_str());
    }
    bool Finished() const { return fs::exists(dir_ / "rc"); }
    int Rc() const { return std::atoi(ReadText(dir_ / "rc").c_str()); }
    std::string Output() const { return ReadText(dir_ / "out"); }
    std::string Errors() const { return ReadText(dir_ / "err"); }

private:
    fs::path dir_;
    std::string socket_;
    long pid_ = 0;
    bool ready_ = false;
};

// 40x30 in four bands a row, the lower half turned by one band.
constexpr uint8_t kBands[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
int BandAt(int x, int y) { return (x / 10 + y / 15) % 4; }

std::string WriteBands(int width = 40, int height = 30) {
    namespace w = lanterna::ilbmw;
    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(static_cast<uint16_t>(width), static_cast<uint16_t>(height), 2,
                                     lanterna::cmpByteRun1);
    for (const auto& c : kBands) picture.colours.push_back({c[0], c[1], c[2]});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.pixels.push_back(static_cast<uint32_t>(BandAt(x, y)));
    const std::string file = w::TempPath("wayland-bands-" + std::to_string(height)) + ".iff";
    return w::WriteFile(file, w::MakeIlbm(picture)) ? file : std::string();
}

// Where the picture, S times its size, lies whole on the screen: its
// top-left corner, or -1 when it is not there pixel for pixel.
std::pair<int, int> FindPicture(const xvfb_test::Image& shot, int S = 4, int width = 40, int height = 30) {
    const int W = width * S, H = height * S;
    auto is = [&](int x, int y, int band) {
        const uint8_t* c = kBands[band];
        return shot.Is(x, y, c[0], c[1], c[2]);
    };
    for (int y = 0; y + H <= shot.height; ++y)
        for (int x = 0; x + W <= shot.width; ++x) {
            if (!is(x, y, 0) || (x > 0 && is(x - 1, y, 0)) || (y > 0 && is(x, y - 1, 0))) continue;
            bool whole = true;
            for (int py = 0; py < H && whole; ++py)
                for (int px = 0; px < W && whole; ++px) whole = is(x + px, y + py, BandAt(px / S, py / S));
            if (whole) return {x, y};
        }
    return {-1, -1};
}

class WaylandSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xvfb_test::HaveProgram("weston")) GTEST_SKIP() << "weston is not installed (scripts/deps.sh)";
        if (!fs::exists(LANTERNA_BINARY_DIR "/lanterna")) GTEST_SKIP() << "build/lanterna is not built";
        file_ = WriteBands();
        ASSERT_FALSE(file_.empty());
    }
    void TearDown() override {
        if (!file_.empty()) fs::remove(file_);
    }
    std::string file_;
};

TEST_F(WaylandSession, APictureShowsThroughSdlsWaylandDriverAndAClickEndsIt) {
    if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_GE(xvfb_test::StartXvfb(), 0);
    ASSERT_TRUE(xvfb_test::HaveInputAndScreenshotTools());
    Weston weston("x11-backend.so");
    if (!weston.Ready()) GTEST_SKIP() << "weston did not start: " << weston.Log();

    weston.Start(file_);
    std::pair<int, int> at{-1, -1};
    ASSERT_TRUE(WaitUntil([&] {
        at = FindPicture(xvfb_test::Screenshot());
        return at.first >= 0 || weston.Finished();
    }, 15000) && at.first >= 0)
        << "the picture did not appear; output: " << weston.Output() << weston.Errors();
    // Nothing of the program is an X client.
    EXPECT_TRUE(xvfb_test::VisibleWindows("--classname '^lanterna$'").empty());
    EXPECT_FALSE(weston.Finished());

    xvfb_test::XdoTool("mousemove " + std::to_string(at.first + 80) + " " + std::to_string(at.second + 60) + " click 1");
    ASSERT_TRUE(WaitUntil([&] { return weston.Finished(); }, 10000)) << "a click did not end the picture";
    EXPECT_EQ(weston.Rc(), 0) << weston.Errors();
    EXPECT_EQ(weston.Output(), "Showing \"" + file_ + "\"... Done.\n");
    EXPECT_EQ(weston.Errors().find("xkbcommon"), std::string::npos) << weston.Errors();
}

// Weston's 640x480 output less its panel: 448 rows a maximized window gets.
// A 40x120 picture fits them three times, not four (the whole output).
TEST_F(WaylandSession, TheWindowFitsTheOutputLessItsPanel) {
    if (!xvfb_test::HaveProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_GE(xvfb_test::StartXvfb(), 0);
    ASSERT_TRUE(xvfb_test::HaveInputAndScreenshotTools());
    fs::remove(file_);
    file_ = WriteBands(40, 120);
    Weston weston("x11-backend.so");
    if (!weston.Ready()) GTEST_SKIP() << "weston did not start: " << weston.Log();
    weston.Start(file_);
    std::pair<int, int> at{-1, -1};
    EXPECT_TRUE(WaitUntil([&] { return (at = FindPicture(xvfb_test::Screenshot(), 3, 40, 120)).first >= 0; }, 15000))
        << weston.Output() << weston.Errors();
    xvfb_test::XdoTool("mousemove " + std::to_string(at.first + 60) + " " + std::to_string(at.second + 60) + " click 1");
    EXPECT_TRUE(WaitUntil([&] { return weston.Finished(); }, 10000));
}

TEST_F(WaylandSession, ACompositorWithoutASeatIsRefusedAtOnce) {
    Weston weston("headless-backend.so");
    if (!weston.Ready()) GTEST_SKIP() << "weston did not start: " << weston.Log();
    weston.Start(file_);
    ASSERT_TRUE(WaitUntil([&] { return weston.Finished(); }, 10000));
    EXPECT_EQ(weston.Rc(), 20) << weston.Errors();
    EXPECT_EQ(weston.Output(), "Lanterna: Error opening intuition.library v39\n");
}

}  // namespace
