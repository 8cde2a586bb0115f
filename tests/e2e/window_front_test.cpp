// kill -USR1 brings the picture's window to the front also when the user has
// switched to another desktop, where the window manager keeps the window
// unmapped: the window manager is asked, the run is not held up by that, and
// TERM and INT still stop it.
// Under openbox on a virtual X server, with two desktops.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/xvfb_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

namespace fs = std::filesystem;
using xvfb_test::WaitUntil;

std::string Read(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int Desktop() {
    return std::atoi(xvfb_test::CommandOutput(xvfb_test::OnDisplay("xdotool get_desktop 2>/dev/null")).c_str());
}

TEST(WindowFront, UsrOneOnAnotherDesktopThenTermOrIntStopsTheRun) {
    namespace w = lanterna::ilbmw;
    if (!fs::exists(LANTERNA_BINARY_DIR "/lanterna")) GTEST_SKIP() << "build/lanterna is not built";
    if (!xvfb_test::HaveProgram("Xvfb") || !xvfb_test::HaveProgram("openbox") || !xvfb_test::HaveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb, openbox and xdotool are needed (scripts/deps.sh)";
    ASSERT_GE(xvfb_test::StartXvfb(), 0);
    ASSERT_TRUE(xvfb_test::UseDesktop(xvfb_test::Desktop::Openbox)) << "openbox did not start";
    ASSERT_TRUE(xvfb_test::XdoTool("set_num_desktops 2"));
    ASSERT_TRUE(WaitUntil([] { return xvfb_test::XdoTool("set_desktop 0") && Desktop() == 0; }, 5000));

    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(40, 30, 1, lanterna::cmpNone);
    picture.colours = {{0, 0, 0}, {255, 255, 255}};
    picture.pixels.assign(40 * 30, 1);
    const std::string file = w::TempPath("window-front") + ".iff";
    ASSERT_TRUE(w::WriteFile(file, w::MakeIlbm(picture)));

    for (const char* stop : {"TERM", "INT"}) {
        SCOPED_TRACE(stop);
        const fs::path dir = fs::temp_directory_path() / ("lanterna-front-" + std::string(stop) + "-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string command = "(env -u LANTERNA_DISPLAY '" LANTERNA_BINARY_DIR "/lanterna' '" + file + "' > '" +
                                    (dir / "out").string() + "' 2>&1 & echo $! > '" + (dir / "pid").string() +
                                    "'; wait $!; echo $? > '" + (dir / "rc").string() + "') &";
        ASSERT_EQ(std::system(command.c_str()), 0);  // DISPLAY names the test's server
        long pid = 0;
        ASSERT_TRUE(WaitUntil([&] { return (pid = std::atol(Read(dir / "pid").c_str())) > 0; }, 5000));
        unsigned long window = 0;
        const auto visible = [&] {
            const auto ids = xvfb_test::VisibleWindows("--classname '^lanterna$'");
            if (!ids.empty()) window = ids.back();
            return !ids.empty();
        };
        ASSERT_TRUE(WaitUntil(visible, 15000)) << Read(dir / "out");

        // The user goes to the other desktop: the window is unmapped there.
        ASSERT_TRUE(xvfb_test::XdoTool("set_desktop 1"));
        ASSERT_TRUE(WaitUntil([&] { return !visible(); }, 5000));
        kill(static_cast<pid_t>(pid), SIGUSR1);
        // The window manager was asked to bring the window forward; openbox
        // leaves a window of another desktop there and marks it as asking
        // for the user's attention.
        EXPECT_TRUE(WaitUntil([&] {
            return xvfb_test::CommandOutput(xvfb_test::OnDisplay("xprop -id " + std::to_string(window) +
                                                                 " _NET_WM_STATE 2>/dev/null"))
                       .find("_NET_WM_STATE_DEMANDS_ATTENTION") != std::string::npos;
        }, 5000));
        kill(static_cast<pid_t>(pid), std::string(stop) == "TERM" ? SIGTERM : SIGINT);
        const bool ended = WaitUntil([&] { return fs::exists(dir / "rc"); }, 5000);
        if (!ended) kill(static_cast<pid_t>(pid), SIGKILL);
        EXPECT_TRUE(ended) << "the run did not stop";
        EXPECT_EQ(Read(dir / "out"), "Showing \"" + file + "\"... ***Break\n");
        xvfb_test::XdoTool("set_desktop 0");
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(dir / "rc"); }, 5000));
        EXPECT_EQ(std::atoi(Read(dir / "rc").c_str()), 0);
        fs::remove_all(dir);
    }
    xvfb_test::XdoTool("set_num_desktops 1");
    fs::remove(file);
}

}  // namespace
