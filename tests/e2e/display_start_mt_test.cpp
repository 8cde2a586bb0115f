// Which display the window backend accepts: only a desktop a person looks at
// (an X or Wayland server the environment names), never one of SDL's
// drivers that show nothing. A display that cannot be reached fails the
// set-up at once, as every set-up failure does, with result 20. SDL's start
// runs beside the reading of the first picture, yet a picture that fails
// before its first row still shows no window. Threads: also under
// ThreadSanitizer.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/xvfb_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;
namespace fs = std::filesystem;

// An X display number no server listens on.
std::string UnusedXDisplay() {
    for (int n = 900; n < 1000; ++n) {
        if (!fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) && !fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            return ":" + std::to_string(n);
    }
    return ":999";
}

class DisplayChoice : public e2e::ProgramTest {
protected:
    void SetUp() override {
        e2e::ProgramTest::SetUp();
        IlbmPicture picture;
        picture.header = SimpleHeader(16, 8, 1, cmpByteRun1);
        picture.colours = {{0, 0, 0}, {255, 255, 255}};
        picture.pixels.assign(16 * 8, 1);
        ASSERT_TRUE(WriteFile(Path("a.iff").string(), MakeIlbm(picture)));
    }

    // The window backend, with only the given display settings.
    e2e::RunResult Windowed(const std::string& x, const std::string& wayland, const std::string& driver) {
        return Lanterna({"a.iff", "WAIT=1"}, {"LANTERNA_DISPLAY=window", "DISPLAY=" + x, "WAYLAND_DISPLAY=" + wayland,
                                              "SDL_VIDEODRIVER=" + driver, "XDG_RUNTIME_DIR=" + Path("").string()});
    }
};

const char* const kNoDisplay = "Lanterna: Error opening intuition.library v39\n";
// At once: a second under ThreadSanitizer goes to its wait at the end of
// every process (atexit_sleep_ms).
#if defined(__SANITIZE_THREAD__)
constexpr int64_t kAtOnceMs = 1900;
#else
constexpr int64_t kAtOnceMs = 900;
#endif

TEST_F(DisplayChoice, AnUnreachableDesktopFailsTheSetUpAtOnceInsteadOfAnInvisibleWindow) {
    // A stale DISPLAY (its server is gone).
    e2e::RunResult run = Windowed(UnusedXDisplay(), "", "");
    EXPECT_EQ(run.result, 20) << run.output;
    EXPECT_EQ(run.output, kNoDisplay);
    EXPECT_LT(run.milliseconds, kAtOnceMs) << "the set-up did not fail at once";

    // A Wayland display without its socket, and no X server.
    run = Windowed("", "lanterna-no-such-display", "");
    EXPECT_EQ(run.result, 20) << run.output;
    EXPECT_EQ(run.output, kNoDisplay);

    // Both named and neither there.
    run = Windowed(UnusedXDisplay(), "lanterna-no-such-display", "");
    EXPECT_EQ(run.result, 20) << run.output;
    EXPECT_EQ(run.output, kNoDisplay);
}

// Every window mapped on the X server while `run` runs, watched by xev.
template <typename Run>
int WindowsMappedDuring(const fs::path& log, Run run) {
    const std::string command = "xev -root -event substructure > " + log.string() + " 2>/dev/null & echo $!";
    const long watcher = std::atol(xvfb_test::CommandOutput(command).c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // xev has selected its events
    run();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::system(("kill " + std::to_string(watcher) + " 2>/dev/null").c_str());
    const std::string events = e2e::ReadText(log);
    int mapped = 0;
    for (size_t at = events.find("MapNotify"); at != std::string::npos; at = events.find("MapNotify", at + 1)) ++mapped;
    return mapped;
}

TEST_F(DisplayChoice, APictureThatFailsBeforeItsFirstRowOpensNoWindow) {
    if (!xvfb_test::HaveProgram("Xvfb") || !xvfb_test::HaveProgram("xev")) GTEST_SKIP() << "Xvfb or xev missing";
    const int display = xvfb_test::StartXvfb();
    ASSERT_GE(display, 0);
    const std::string x = ":" + std::to_string(display);
    // An unknown compression, and a BODY that ends before its first row.
    IlbmPicture picture;
    picture.header = SimpleHeader(16, 8, 1, 7);
    picture.colours = {{0, 0, 0}, {255, 255, 255}};
    picture.pixels.assign(16 * 8, 1);
    ASSERT_TRUE(WriteFile(Path("packed.iff").string(), MakeIlbm(picture)));
    picture.header = SimpleHeader(16, 8, 1, cmpNone);
    std::vector<uint8_t> cut = MakeIlbm(picture);
    cut.resize(cut.size() - 16 * 8 / 8);
    ASSERT_TRUE(WriteFile(Path("cut.iff").string(), cut));
    const std::vector<std::string> environment = {"LANTERNA_DISPLAY=window", "DISPLAY=" + x, "WAYLAND_DISPLAY=",
                                                  "XDG_RUNTIME_DIR=" + Path("").string()};
    e2e::RunResult run;
    EXPECT_EQ(WindowsMappedDuring(Path("failing.xev"), [&] { run = Lanterna({"packed.iff", "cut.iff"}, environment); }),
              0);
    EXPECT_EQ(run.output,
              "Showing \"packed.iff\"... Unknown compression format\nShowing \"cut.iff\"... Data in file is corrupt\n");
    // The watch sees a window that does open.
    EXPECT_GE(WindowsMappedDuring(Path("shown.xev"), [&] { run = Lanterna({"a.iff", "WAIT=1"}, environment); }), 1);
    EXPECT_EQ(run.output, "Showing \"a.iff\"... Done.\n");
}

TEST_F(DisplayChoice, ADriverNamedInSdlVideoDriverIsTakenAsAsked) {
    // SDL's dummy driver shows nothing, but whoever names it means it.
    const e2e::RunResult run = Windowed("", "", "dummy");
    EXPECT_EQ(run.result, 0) << run.output << run.errors;
    EXPECT_EQ(run.output, "Showing \"a.iff\"... Done.\n");
}

}  // namespace
