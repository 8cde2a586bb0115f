// build/lanterna started as the desktop starts it (--workbench), headless:
// project mode with the program's own icon and the pictures' icons, and
// requester mode over scripted batches. Pictures are counted by the
// snapshots the headless display writes, WAIT times by the clock.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/icon_writer/icon_writer.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace lanterna;

struct RunResult {
    int status = -1;
    std::string output;
    double seconds = 0;
};

class WorkbenchStart : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/workbench_e2e_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        fs::create_directories(dir_ + "/prog");
        fs::create_directories(dir_ + "/pics");
        fs::create_directories(dir_ + "/snaps");
        // The program is copied so that its own icon can sit beside it.
        fs::copy_file(LANTERNA_BINARY_DIR "/lanterna", dir_ + "/prog/lanterna");
        for (int i = 0; i < 4; ++i) {
            ilbmw::IlbmPicture picture;
            picture.header = ilbmw::SimpleHeader(16, 8, 2, cmpNone);
            picture.colours = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
            picture.pixels.assign(16 * 8, static_cast<uint32_t>(i % 3 + 1));
            ASSERT_TRUE(ilbmw::WriteFile(Pic(i), ilbmw::MakeIlbm(picture)));
        }
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Pic(int i) const { return dir_ + "/pics/p" + std::to_string(i) + ".iff"; }
    size_t Snapshots() const {
        size_t n = 0;
        for (const auto& entry : fs::directory_iterator(dir_ + "/snaps")) {
            if (entry.path().extension() == ".png") ++n;
        }
        return n;
    }
    // Runs the copied program headless with the given environment and
    // arguments; a run that hangs is ended after 60 seconds.
    RunResult Run(const std::string& env, const std::vector<std::string>& args) {
        std::string cmd = "cd '" + dir_ + "' && timeout 60 env -u LANTERNA_REQUESTER -u LANTERNA_INPUT LANTERNA_DISPLAY=headless LANTERNA_SNAPSHOTS='" +
                          dir_ + "/snaps' " + env + " '" + dir_ + "/prog/lanterna' --workbench";
        for (const std::string& a : args) cmd += " '" + a + "'";
        cmd += " > '" + dir_ + "/out.txt' 2>&1";
        auto start = std::chrono::steady_clock::now();
        int raw = std::system(cmd.c_str());
        RunResult result;
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream in(dir_ + "/out.txt");
        std::stringstream text;
        text << in.rdbuf();
        result.output = text.str();
        return result;
    }

    std::string dir_;
};

TEST_F(WorkbenchStart, ProjectModeTakesWaitFromTheProgramIconThenFromEachPictureIcon) {
    // p0 has no icon: the program's WAIT=1. p1's icon says 2, p2 keeps 2, and
    // p3's icon switches the time-out off, so it waits for the click that
    // the headless input gives once its script of "none" is used up.
    ASSERT_TRUE(iconw::SaveIcon(dir_ + "/prog/lanterna", iconw::ToolIcon({"WAIT=1"})));
    ASSERT_TRUE(iconw::SaveIcon(Pic(1), iconw::ProjectIcon({"WAIT=2"})));
    ASSERT_TRUE(iconw::SaveIcon(Pic(3), iconw::ProjectIcon({"WAIT=abc"})));
    RunResult run = Run("LANTERNA_INPUT=none,none,none", {Pic(0), Pic(1), Pic(2), Pic(3)});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");  // nothing is printed in the Workbench modes
    EXPECT_EQ(Snapshots(), 4u);
    EXPECT_GE(run.seconds, 1 + 2 + 2 - 0.2);
    EXPECT_LT(run.seconds, 1 + 2 + 2 + 10);
}

TEST_F(WorkbenchStart, ProjectModeEndsAtAStopAndPassesOverBrokenFiles) {
    ASSERT_TRUE(ilbmw::WriteFile(dir_ + "/pics/broken.iff", ilbmw::Bytes{'F', 'O', 'R', 'M'}));
    RunResult run = Run("LANTERNA_INPUT=click,esc", {dir_ + "/pics/broken.iff", Pic(0), Pic(1), Pic(2)});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(Snapshots(), 2u);  // p0, then p1 stopped; p2 never shown
}

TEST_F(WorkbenchStart, RequesterModeShowsEachBatchAndAStopEndsOnlyItsBatch) {
    std::string script = Pic(0) + "|" + Pic(1) + "|" + Pic(2) + ";" + Pic(3) + "|" + Pic(0);
    RunResult run = Run("LANTERNA_INPUT=click,esc,click,click 'LANTERNA_REQUESTER=" + script + "'", {});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    // Batch one: p0, p1 stopped (p2 passed over); batch two: p3 and p0.
    EXPECT_EQ(Snapshots(), 4u);
}

TEST_F(WorkbenchStart, RequesterModeCancelledAtOnceEndsQuietly) {
    RunResult run = Run("", {});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(Snapshots(), 0u);
}

}  // namespace
