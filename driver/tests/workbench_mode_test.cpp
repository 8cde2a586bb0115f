// The Workbench modes against a double of ShowPicture, on real directories
// with real icons: the start message, project mode with icons that change
// the options picture by picture, and requester mode over scripted batches.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/error_text.h"
#include "driver/run_modes.h"
#include "driver/show_picture.h"
#include "platform/asl/workbench.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"
#include "records/view_options.h"
#include "tests/support/scoped_env.h"
#include "tools/icon_writer/icon_writer.h"

namespace lanterna {
namespace {

using namespace lanterna::iconw;

struct Call {
    std::string name;       // what ShowPicture was given
    std::string directory;  // the current directory then
    ViewOptions options;
    bool breakPending = false;
    RunPlace place;
};
std::vector<Call> gCalls;
std::vector<int32_t> gResults;
int gSignalStopOnCall = 0;  // raise Ctrl-C while showing this call (1-based)

std::string CurrentDirectoryPath() {
    os::FileLock* lock = os::Lock("", os::SHARED_LOCK);
    char buffer[1024] = {};
    bool ok = lock != nullptr && os::NameFromLock(lock, buffer, sizeof buffer);
    os::UnLock(lock);
    return ok ? buffer : "?";
}

int32_t FakeShowPicture(const char* name, PictureStep*, RunPlace place, int32_t) {
    Call call{name, CurrentDirectoryPath(), gViewOptions, false, place};
    call.breakPending = (os::SetSignal(0, 0) & os::SIGBREAKF_CTRL_C) != 0;
    gCalls.push_back(call);
    if (static_cast<int>(gCalls.size()) == gSignalStopOnCall) {
        // The stop as a break signal that comes in after the picture noticed
        // the user's key: it is still pending when the picture returns.
        os::Signal(os::FindTask(nullptr), os::SIGBREAKF_CTRL_C);
    }
    return gCalls.size() <= gResults.size() ? gResults[gCalls.size() - 1] : 0;
}

class WorkbenchModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/workbench_mode_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        for (const char* sub : {"prog", "one", "two"}) {
            ASSERT_EQ(mkdir((dir_ + "/" + sub).c_str(), 0755), 0);
        }
        for (const char* file : {"one/a.iff", "one/b.iff", "two/c.iff", "two/d.iff", "two/e.iff"}) {
            ASSERT_TRUE(SaveBytes(dir_ + "/" + file, Bytes{'F', 'O', 'R', 'M'}));
        }
        gCalls.clear();
        gResults.clear();
        gSignalStopOnCall = 0;
        gViewOptions = ViewOptions{};
        gShowPicture = &FakeShowPicture;
        startDirectory_ = CurrentDirectoryPath();
    }
    void TearDown() override {
        gShowPicture = &ShowPicture;
        gViewOptions = ViewOptions{};
        os::SetSignal(0, os::SIGBREAKF_CTRL_C);
        EXPECT_EQ(CurrentDirectoryPath(), startDirectory_);  // always restored
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    std::string Path(const char* relative) const { return dir_ + "/" + relative; }
    int32_t Run(std::vector<std::string> files) {
        std::vector<const char*> pointers;
        for (const std::string& f : files) pointers.push_back(f.c_str());
        os::WBStartup* startup = os::CreateWorkbenchStartup(
            Path("prog/lanterna").c_str(), static_cast<int>(pointers.size()), pointers.data());
        EXPECT_NE(startup, nullptr);
        if (startup == nullptr) return -1;
        int32_t result = RunWorkbenchMode(startup);
        os::FreeWorkbenchStartup(startup);
        return result;
    }

    std::string dir_;
    std::string startDirectory_;
};

TEST_F(WorkbenchModeTest, StartMessageHasTheProgramFirstThenEachFileGiven) {
    std::string missing = Path("one/missing.iff");
    std::string drawer = Path("two") + "/";
    const char* files[] = {"relative.iff", missing.c_str(), drawer.c_str()};
    ASSERT_TRUE(SaveBytes("relative.iff", Bytes{1}));
    os::WBStartup* startup = os::CreateWorkbenchStartup(Path("prog/lanterna").c_str(), 3, files);
    unlink("relative.iff");
    ASSERT_NE(startup, nullptr);
    ASSERT_EQ(startup->sm_NumArgs, 4);  // the missing file too: it fails as its picture
    EXPECT_STREQ(startup->sm_ArgList[0].wa_Name, "lanterna");
    char buffer[1024];
    ASSERT_TRUE(os::NameFromLock(startup->sm_ArgList[0].wa_Lock, buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer), Path("prog"));
    EXPECT_STREQ(startup->sm_ArgList[1].wa_Name, "relative.iff");
    ASSERT_TRUE(os::NameFromLock(startup->sm_ArgList[1].wa_Lock, buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer), startDirectory_);
    EXPECT_STREQ(startup->sm_ArgList[2].wa_Name, "missing.iff");
    ASSERT_TRUE(os::NameFromLock(startup->sm_ArgList[2].wa_Lock, buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer), Path("one"));
    EXPECT_STREQ(startup->sm_ArgList[3].wa_Name, "two");
    ASSERT_TRUE(os::NameFromLock(startup->sm_ArgList[3].wa_Lock, buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer), dir_);
    os::FreeWorkbenchStartup(startup);

    os::WBStartup empty;
    EXPECT_EQ(RunWorkbenchMode(&empty), 20);
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(WorkbenchModeTest, ProjectModeTakesEachIconsOptionsOverTheProgramsDefaults) {
    ASSERT_TRUE(SaveIcon(Path("prog/lanterna"), ToolIcon({"WAIT=10", "CENTER=YES"})));
    ASSERT_TRUE(SaveIcon(Path("one/a.iff"), ProjectIcon({"WAIT=3"})));
    // b.iff has no icon: it keeps what a.iff set.
    ASSERT_TRUE(SaveIcon(Path("two/c.iff"), ProjectIcon({"WAIT=abc", "CYCLE=YES", "CENTER=NO"})));
    ASSERT_TRUE(SaveBytes(Path("two/d.iff.info"), Bytes{0xE3, 0x10, 0, 1}));  // broken: ignored

    EXPECT_EQ(Run({Path("one/a.iff"), Path("one/b.iff"), Path("two/c.iff"), Path("two/d.iff")}), 0);
    ASSERT_EQ(gCalls.size(), 4u);
    EXPECT_EQ(gCalls[0].name, "a.iff");
    EXPECT_EQ(gCalls[0].directory, Path("one"));
    EXPECT_EQ(gCalls[0].options.waitSeconds, 3);
    EXPECT_TRUE(gCalls[0].options.center);
    EXPECT_EQ(gCalls[1].name, "b.iff");
    EXPECT_EQ(gCalls[1].options.waitSeconds, 3);
    EXPECT_EQ(gCalls[2].name, "c.iff");
    EXPECT_EQ(gCalls[2].directory, Path("two"));
    EXPECT_EQ(gCalls[2].options.waitSeconds, 0);
    EXPECT_TRUE(gCalls[2].options.cycle);
    EXPECT_FALSE(gCalls[2].options.center);
    EXPECT_EQ(gCalls[3].options.waitSeconds, 0);
    EXPECT_TRUE(gCalls[3].options.cycle);
    // Each knows its place among the selections, for its facts.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(gCalls[i].place.number, i + 1);
        EXPECT_EQ(gCalls[i].place.count, 4);
    }
}

TEST_F(WorkbenchModeTest, WithoutAProgramIconThePictureIconsAloneCount) {
    ASSERT_TRUE(SaveIcon(Path("one/b.iff"), ProjectIcon({"WAIT=4", "WAITAFTEROPEN=2"})));
    EXPECT_EQ(Run({Path("one/a.iff"), Path("one/b.iff"), Path("two/c.iff")}), 0);
    ASSERT_EQ(gCalls.size(), 3u);
    EXPECT_EQ(gCalls[0].options.waitSeconds, 0);
    EXPECT_EQ(gCalls[1].options.waitSeconds, 4);
    EXPECT_EQ(gCalls[2].options.waitSeconds, 4);
    EXPECT_EQ(gCalls[2].options.waitAfterOpenSeconds, 2);
}

TEST_F(WorkbenchModeTest, ProjectModeGoesOnSilentlyAfterFailuresAndEndsAtAStop) {
    gResults = {ERR_NOT_ILBM, CODE_NEXT, CODE_STOP, 0};
    EXPECT_EQ(Run({Path("one/a.iff"), Path("one/b.iff"), Path("two/c.iff"), Path("two/d.iff")}), 0);
    ASSERT_EQ(gCalls.size(), 3u);
    EXPECT_EQ(gCalls[2].name, "c.iff");
}

TEST_F(WorkbenchModeTest, MissingOrEmptyNameFailsAsAPictureInsteadOfOpeningTheRequester) {
    ScopedEnv headless("LANTERNA_DISPLAY", "headless");
    ScopedEnv requests("LANTERNA_REQUESTER", Path("one/a.iff").c_str());
    gResults = {os::ERROR_OBJECT_NOT_FOUND, os::ERROR_OBJECT_NOT_FOUND};
    EXPECT_EQ(Run({Path("one/missing.iff"), ""}), 0);
    ASSERT_EQ(gCalls.size(), 2u);  // no requester batch after them
    EXPECT_EQ(gCalls[0].name, "missing.iff");
    EXPECT_EQ(gCalls[0].directory, Path("one"));
    EXPECT_EQ(gCalls[1].name, "");
    gCalls.clear();
    EXPECT_EQ(Run({Path("nodir/missing.iff")}), 0);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].name, Path("nodir/missing.iff"));
}

int OpenDescriptors() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        static_cast<void>(entry);
        ++count;
    }
    return count;
}

TEST_F(WorkbenchModeTest, ThousandsOfFilesDoNotHoldADescriptorEach) {
    // 2,000 files in one drawer and one in each of 100 drawers.
    std::vector<std::string> files;
    for (int i = 0; i < 2000; ++i) files.push_back(Path("one/a.iff"));
    for (int i = 0; i < 100; ++i) {
        const std::string drawer = Path("many") + "/" + std::to_string(i);
        std::filesystem::create_directories(drawer);
        ASSERT_TRUE(SaveBytes(drawer + "/p.iff", Bytes{'F', 'O', 'R', 'M'}));
        files.push_back(drawer + "/p.iff");
    }
    std::vector<const char*> pointers;
    for (const std::string& f : files) pointers.push_back(f.c_str());
    os::CurrentDir(nullptr);  // the start directory's own descriptor, held for the whole process
    const int before = OpenDescriptors();
    os::WBStartup* startup =
        os::CreateWorkbenchStartup(Path("prog/lanterna").c_str(), static_cast<int>(pointers.size()), pointers.data());
    ASSERT_NE(startup, nullptr);
    EXPECT_EQ(startup->sm_NumArgs, 2101);
    EXPECT_LE(OpenDescriptors() - before, 65);
    // Every picture is found, with or without a lock of its own drawer.
    EXPECT_EQ(RunWorkbenchMode(startup), 0);
    os::FreeWorkbenchStartup(startup);
    EXPECT_EQ(OpenDescriptors(), before);
    ASSERT_EQ(gCalls.size(), 2100u);
    for (const Call& call : gCalls) {
        const std::string path = call.name[0] == '/' ? call.name : call.directory + "/" + call.name;
        EXPECT_TRUE(std::filesystem::exists(path)) << path;
    }
}

// The desktop's dialog tool, a double that writes down what it was asked.
class DesktopMessageTest : public WorkbenchModeTest {
protected:
    void SetUp() override {
        WorkbenchModeTest::SetUp();
        ASSERT_EQ(mkdir((dir_ + "/bin").c_str(), 0755), 0);
        const std::string zenity = dir_ + "/bin/zenity";
        std::ofstream(zenity) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" << dir_
                              << "/calls.txt'\necho -- >> '" << dir_ << "/calls.txt'\n";
        ASSERT_EQ(chmod(zenity.c_str(), 0755), 0);
    }
    std::string Calls() const {
        std::ifstream in(dir_ + "/calls.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(DesktopMessageTest, AStartThatShowedNothingSaysWhyInOneBoxAndOneThatShowedAPictureStaysSilent) {
    ScopedEnv path("PATH", (dir_ + "/bin").c_str());
    ScopedEnv desktop("LANTERNA_DISPLAY", nullptr);
    ScopedEnv display("DISPLAY", ":99");
    // A text file, an unknown compression and a missing file: one box with
    // each name and its reason.
    // (A missing file is an argument like any other: showing it fails.)
    gResults = {ERR_NOT_ILBM, os::ERROR_OBJECT_NOT_FOUND, ERR_COMPRESSION};
    EXPECT_EQ(Run({Path("one/a.iff"), Path("one/missing.iff"), Path("two/c.iff")}), 0);
    EXPECT_EQ(gCalls.size(), 3u);
    EXPECT_EQ(Calls(), std::string("--error\n--no-markup\n--title=Lanterna\n--text=No picture could be shown.\n\n") +
                           "a.iff: " + ErrorText(ERR_NOT_ILBM) + "\nmissing.iff: " +
                           ErrorText(os::ERROR_OBJECT_NOT_FOUND) + "\nc.iff: " + ErrorText(ERR_COMPRESSION) + "\n--\n");

    // Only missing files: still project mode, no requester, one box.
    std::remove((dir_ + "/calls.txt").c_str());
    gCalls.clear();
    gResults = {os::ERROR_OBJECT_NOT_FOUND};
    EXPECT_EQ(Run({Path("one/gone.iff")}), 0);
    EXPECT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(Calls(), std::string("--error\n--no-markup\n--title=Lanterna\n--text=No picture could be shown.\n\n") +
                           "gone.iff: " + ErrorText(os::ERROR_OBJECT_NOT_FOUND) + "\n--\n");

    // A picture that was shown, even one ended early, keeps the start silent.
    for (int32_t shown : {0, CODE_NEXT, CODE_STOP}) {
        std::remove((dir_ + "/calls.txt").c_str());
        gCalls.clear();
        gResults = {ERR_NOT_ILBM, shown};
        EXPECT_EQ(Run({Path("one/a.iff"), Path("one/b.iff"), Path("one/missing.iff")}), 0);
        EXPECT_EQ(Calls(), "") << shown;
    }
}

TEST_F(WorkbenchModeTest, RequesterModeShowsBatchesUntilCancelAndAStopEndsOnlyItsBatch) {
    ScopedEnv headless("LANTERNA_DISPLAY", "headless");
    std::string script = Path("one/a.iff") + "|" + Path("one/b.iff") + "|" + Path("two/c.iff") +
                         ";" + Path("two/d.iff") + "|" + Path("two/d.iff.info") + ";" +
                         Path("two/e.iff");
    ScopedEnv requests("LANTERNA_REQUESTER", script.c_str());
    ASSERT_TRUE(SaveIcon(Path("prog/lanterna"), ToolIcon({"WAIT=10"})));
    ASSERT_TRUE(SaveIcon(Path("two/d.iff"), ProjectIcon({"WAIT=7"})));
    gResults = {0, CODE_STOP};
    gSignalStopOnCall = 2;

    EXPECT_EQ(Run({}), 0);
    ASSERT_EQ(gCalls.size(), 4u);
    EXPECT_EQ(gCalls[0].name, "a.iff");
    EXPECT_EQ(gCalls[0].options.waitSeconds, 10);
    EXPECT_EQ(gCalls[1].name, "b.iff");
    // c.iff is passed over by the stop; the next batch starts afresh.
    EXPECT_EQ(gCalls[2].name, "d.iff");
    EXPECT_EQ(gCalls[2].directory, Path("two"));
    EXPECT_FALSE(gCalls[2].breakPending);
    EXPECT_EQ(gCalls[2].options.waitSeconds, 7);
    EXPECT_EQ(gCalls[3].name, "e.iff");
    EXPECT_EQ(gCalls[3].options.waitSeconds, 7);
}

TEST_F(WorkbenchModeTest, RequesterModeFailsWithTwentyWhenNoRequesterCanBeHad) {
    ScopedEnv desktop("LANTERNA_DISPLAY", nullptr);
    ScopedEnv display("DISPLAY", nullptr);
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    EXPECT_EQ(Run({}), 20);
    EXPECT_TRUE(gCalls.empty());

    // An empty selection ends the mode like Cancel.
    ScopedEnv headless("LANTERNA_DISPLAY", "headless");
    ScopedEnv requests("LANTERNA_REQUESTER", (";" + Path("one/a.iff")).c_str());
    EXPECT_EQ(Run({}), 0);
    EXPECT_TRUE(gCalls.empty());
}

}  // namespace
}  // namespace lanterna
