// Shell mode against a double of ShowPicture, on real directory trees: what
// is shown, in which order, what is printed, and the process results.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/error_text.h"
#include "driver/run_modes.h"
#include "driver/show_picture.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "platform/testing/testing.h"
#include "records/result_codes.h"
#include "records/view_options.h"
#include "tests/support/as_nobody.h"

#include <sys/stat.h>

namespace lanterna {
namespace {

namespace fs = std::filesystem;

// The double: records each path and the options it saw, and answers from a
// script of results (0 once the script is used up).
struct Call {
    std::string path;
    ViewOptions options;
    RunPlace place;
};
std::vector<Call> gCalls;
std::vector<int32_t> gResults;
bool gBreakOnFirst = false;

int32_t FakeShowPicture(const char* path, PictureStep*, RunPlace place, int32_t) {
    gCalls.push_back({path, gViewOptions, place});
    if (gBreakOnFirst && gCalls.size() == 1) {
        os::Signal(os::FindTask(nullptr), os::SIGBREAKF_CTRL_C);
    }
    if (gCalls.size() <= gResults.size()) {
        return gResults[gCalls.size() - 1];
    }
    return 0;
}

class ShellModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("lanterna-shell-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        gCalls.clear();
        gResults.clear();
        gBreakOnFirst = false;
        gShowPicture = &FakeShowPicture;
        os::SetSignal(0, os::SIGBREAKF_CTRL_C);
    }
    void TearDown() override {
        gShowPicture = &ShowPicture;
        os::SetSignal(0, os::SIGBREAKF_CTRL_C);
        os::testing::ResetFaults();
        fs::remove_all(root_);
    }

    std::string File(const std::string& relative, size_t size = 16) {
        const fs::path path = root_ / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        return path.string();
    }
    std::string Dir(const std::string& relative) {
        fs::create_directories(root_ / relative);
        return (root_ / relative).string();
    }
    std::string Path(const std::string& relative) const { return (root_ / relative).string(); }

    // Runs shell mode over the arguments; returns the process result and
    // leaves what was printed in output_.
    int32_t Run(const std::vector<std::string>& arguments) {
        std::vector<const char*> argv;
        for (const std::string& a : arguments) argv.push_back(a.c_str());
        os::SetProgramArguments(static_cast<int>(argv.size()), argv.data());
        ::testing::internal::CaptureStdout();
        const int32_t result = RunShellMode();
        os::FFlush(os::Output());
        output_ = ::testing::internal::GetCapturedStdout();
        return result;
    }

    std::vector<std::string> ShownPaths() const {
        std::vector<std::string> paths;
        for (const Call& call : gCalls) paths.push_back(call.path);
        return paths;
    }

    static std::string Showing(const std::string& path) { return "Showing \"" + path + "\"... "; }

    fs::path root_;
    std::string output_;
};

TEST_F(ShellModeTest, PlainNamesAreShownInOrderEachWithItsLine) {
    const std::string b = File("b.iff");
    const std::string a = File("a.iff");
    EXPECT_EQ(Run({b, a}), 0);
    EXPECT_EQ(ShownPaths(), (std::vector<std::string>{b, a}));
    EXPECT_EQ(output_, Showing(b) + "Done.\n" + Showing(a) + "Done.\n");
    // Their places in the run; how many follow is not known while matching.
    EXPECT_EQ(gCalls[1].place.number, 2);
    EXPECT_EQ(gCalls[1].place.count, 0);
}

TEST_F(ShellModeTest, DirectoryShowsItsFilesAndWithAllItsWholeTree) {
    const std::string top1 = File("pics/one.iff");
    const std::string top2 = File("pics/two.iff");
    File("pics/empty.iff", 0);
    const std::string deep1 = File("pics/sub/three.iff");
    const std::string deep2 = File("pics/sub/inner/four.iff");
    File("pics/sub/inner/empty", 0);
    Dir("pics/hollow");

    // Without ALL: the named directory's own non-empty files only.
    EXPECT_EQ(Run({Path("pics")}), 0);
    std::vector<std::string> shown = ShownPaths();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{top1, top2}));
    std::string expected;
    for (const Call& call : gCalls) expected += Showing(call.path) + "Done.\n";
    EXPECT_EQ(output_, expected);

    // With ALL: every sub-directory entered once, directories and empty
    // files never shown.
    gCalls.clear();
    EXPECT_EQ(Run({"ALL", Path("pics")}), 0);
    shown = ShownPaths();
    std::sort(shown.begin(), shown.end());
    std::vector<std::string> all{top1, top2, deep1, deep2};
    std::sort(all.begin(), all.end());
    EXPECT_EQ(shown, all);
    expected.clear();
    for (const Call& call : gCalls) expected += Showing(call.path) + "Done.\n";
    EXPECT_EQ(output_, expected);
}

TEST_F(ShellModeTest, PatternsZeroLengthFilesAndPatternsMatchingNothing) {
    const std::string p1 = File("set/p1.ilbm");
    File("set/p2.ilbm", 0);
    const std::string p3 = File("set/P3.ILBM");
    File("set/note.txt");
    const std::string other = File("other.iff");

    EXPECT_EQ(Run({Path("set/#?.ilbm"), Path("set/#?.gif"), other}), 0);
    std::vector<std::string> shown = ShownPaths();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown.back(), other);
    shown.pop_back();
    std::sort(shown.begin(), shown.end());
    std::vector<std::string> expectedSet{p1, p3};
    std::sort(expectedSet.begin(), expectedSet.end());
    EXPECT_EQ(shown, expectedSet);
    // The empty match and the pattern without matches leave no trace.
    std::string expected;
    for (const Call& call : gCalls) expected += Showing(call.path) + "Done.\n";
    EXPECT_EQ(output_, expected);
}

TEST_F(ShellModeTest, MissingNameEndsTheRunWithTheSystemsText) {
    const std::string first = File("first.iff");
    const std::string later = File("later.iff");
    EXPECT_EQ(Run({first, Path("missing.iff"), later}), 10);
    EXPECT_EQ(ShownPaths(), std::vector<std::string>{first});
    EXPECT_EQ(output_, Showing(first) + "Done.\n" + "Lanterna: " + ErrorText(205) + "\n");
}

TEST_F(ShellModeTest, ResultTableWithoutQuiet) {
    const std::string f1 = File("r1.iff");
    const std::string f2 = File("r2.iff");
    const std::string f3 = File("r3.iff");
    const std::string f4 = File("r4.iff");
    const std::string f5 = File("r5.iff");
    gResults = {0, CODE_NEXT, ERR_NOT_ILBM, 205, CODE_STOP};
    EXPECT_EQ(Run({f1, f2, f3, f4, f5, File("r6.iff")}), 0);
    // A failure completes its line and the run goes on; a stop completes its
    // line with the break text and ends the run without a further line.
    EXPECT_EQ(ShownPaths(), (std::vector<std::string>{f1, f2, f3, f4, f5}));
    EXPECT_EQ(output_, Showing(f1) + "Done.\n" +                               //
                           Showing(f2) + "***Break\n" +                          //
                           Showing(f3) + "Not an IFF-ILBM file\n" +              //
                           Showing(f4) + std::string(ErrorText(205)) + "\n" +  //
                           Showing(f5) + "***Break\n");
}

TEST_F(ShellModeTest, ResultTableWithQuiet) {
    struct Case {
        int32_t result;
        std::string line;
        int32_t processResult;
    };
    const std::string f1 = File("q1.iff");
    const std::string f2 = File("q2.iff");
    const std::string f3 = File("q3.iff");
    // The user's doing keeps 0; a failure ends the run with 10.
    const std::vector<Case> cases = {
        {CODE_NEXT, std::string("Lanterna: ") + ErrorText(CODE_NEXT) + "\n", 0},
        {CODE_STOP, "Lanterna: ***Break\n", 0},
        {ERR_NOT_ILBM, "Lanterna: Not an IFF-ILBM file\n", 10},
        {ERR_COMPRESSION, "Lanterna: Unknown compression format\n", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        gCalls.clear();
        gResults = {0, c.result};
        EXPECT_EQ(Run({"QUIET", f1, f2, f3}), c.processResult);
        // Good pictures print nothing; the first failing one ends the run.
        EXPECT_EQ(ShownPaths(), (std::vector<std::string>{f1, f2}));
        EXPECT_EQ(output_, c.line);
    }
    gCalls.clear();
    gResults = {};
    EXPECT_EQ(Run({"Q", f1, f2}), 0);
    EXPECT_EQ(output_, "");
    EXPECT_EQ(gCalls.size(), 2u);
}

TEST_F(ShellModeTest, RunsEndedByAFailureReturnTenNotSuccess) {
    const std::string good = File("good.iff");
    // A name that does not exist, and a pattern whose directory is missing.
    EXPECT_EQ(Run({good, Path("missing.iff")}), 10);
    EXPECT_EQ(output_, Showing(good) + "Done.\nLanterna: " + ErrorText(205) + "\n");
    EXPECT_EQ(Run({Path("nowhere/#?.iff")}), 10);
    EXPECT_EQ(output_, std::string("Lanterna: ") + ErrorText(205) + "\n");
    // QUIET's first failing picture.
    gCalls.clear();
    gResults = {ERR_CORRUPT};
    EXPECT_EQ(Run({"QUIET", good}), 10);
    EXPECT_EQ(output_, "Lanterna: Data in file is corrupt\n");
    // A picture that fails while the run goes on says so on its line only.
    gCalls.clear();
    gResults = {ERR_CORRUPT};
    EXPECT_EQ(Run({good, good}), 0);
    EXPECT_EQ(output_, Showing(good) + "Data in file is corrupt\n" + Showing(good) + "Done.\n");
    // The user's stop is no failure, with or without QUIET.
    gCalls.clear();
    gResults = {CODE_STOP};
    EXPECT_EQ(Run({good, good}), 0);
    EXPECT_EQ(output_, Showing(good) + "***Break\n");
}

TEST_F(ShellModeTest, StopUnderQuietPrintsTheBreakTextNotAnUnknownError) {
    const std::string f = File("stop.iff");
    gResults = {CODE_STOP};
    EXPECT_EQ(Run({"QUIET", f, f}), 0);
    EXPECT_EQ(output_, "Lanterna: ***Break\n");
    EXPECT_EQ(gCalls.size(), 1u);
}

// Run as an ordinary user: root reads every directory.
TEST_F(ShellModeTest, UnreadableSubDirectoryIsReportedAndTheWalkGoesOn) {
    const std::string a = File("pics/a.iff");
    File("pics/locked/hidden.iff");
    const std::string z = File("pics/z.iff");
    const std::string later = File("later.iff");
    ASSERT_EQ(chmod(Path("pics/locked").c_str(), 0), 0);
    EXPECT_EQ(test_support::RunAsOrdinaryUser([&] {
        EXPECT_EQ(Run({"ALL", Path("pics"), later}), 0);
        EXPECT_EQ(ShownPaths(), (std::vector<std::string>{a, z, later}));
        EXPECT_EQ(output_, Showing(a) + "Done.\n" + "Lanterna: \"" + Path("pics/locked") + "\": " +
                               ErrorText(os::ErrnoToDos(EACCES)) + "\n" + Showing(z) + "Done.\n" + Showing(later) +
                               "Done.\n");
    }), 0);
    chmod(Path("pics/locked").c_str(), 0755);
}

TEST_F(ShellModeTest, PathTooLongForTheAnchorIsReportedAndTheWalkGoesOn) {
    std::string deep = "tree";
    for (int i = 0; i < 3; ++i) deep += "/" + std::string(150, char('m' + i));
    File(deep + "/lost.iff");
    const std::string near = File("tree/near.iff");
    const std::string later = File("later.iff");
    EXPECT_EQ(Run({"ALL", Path("tree"), later}), 0);
    EXPECT_EQ(ShownPaths(), (std::vector<std::string>{near, later}));
    EXPECT_EQ(output_, std::string("Lanterna: ") + ErrorText(os::ERROR_BUFFER_OVERFLOW) + "\n" + Showing(near) +
                           "Done.\n" + Showing(later) + "Done.\n");
}

TEST_F(ShellModeTest, PipeNamedOnTheCommandLineGetsItsLineAndTheRunGoesOn) {
    const std::string pipe = Path("pipe.iff");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    const std::string after = File("after.iff");
    EXPECT_EQ(Run({pipe, after}), 0);
    EXPECT_EQ(ShownPaths(), std::vector<std::string>{after});
    EXPECT_EQ(output_, Showing(pipe) + ErrorText(os::ERROR_OBJECT_WRONG_TYPE) + "\n" + Showing(after) + "Done.\n");
    // Under QUIET it fails as a picture would.
    gCalls.clear();
    EXPECT_EQ(Run({"QUIET", pipe, after}), 10);
    EXPECT_EQ(output_, std::string("Lanterna: ") + ErrorText(os::ERROR_OBJECT_WRONG_TYPE) + "\n");
    // Met by a pattern it is passed over without a word.
    gCalls.clear();
    EXPECT_EQ(Run({Path("#?.iff")}), 0);
    EXPECT_EQ(output_, Showing(after) + "Done.\n");
}

TEST_F(ShellModeTest, BreakWhileMatchingEndsTheRun) {
    for (int i = 0; i < 5; ++i) File("many/f" + std::to_string(i) + ".iff");
    gBreakOnFirst = true;
    EXPECT_EQ(Run({Path("many"), File("after.iff")}), 0);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(output_, Showing(gCalls[0].path) + "Done.\nLanterna: ***Break\n");
}

TEST_F(ShellModeTest, OptionsReachTheViewOptions) {
    const std::string f = File("opt.iff");
    EXPECT_EQ(Run({f, "CENTER", "WAIT", "7", "WAO=3", "CYCLE", "EHB"}), 0);
    ASSERT_EQ(gCalls.size(), 1u);
    ViewOptions o = gCalls[0].options;
    EXPECT_TRUE(o.center);
    EXPECT_EQ(o.waitSeconds, 7);
    EXPECT_EQ(o.waitAfterOpenSeconds, 3);
    EXPECT_TRUE(o.cycle);
    EXPECT_TRUE(o.ehb);
    EXPECT_FALSE(o.ham);
    EXPECT_FALSE(o.quiet);
    EXPECT_FALSE(o.all);

    // 0 and negative waits mean "no time-out"; a second run starts afresh.
    gCalls.clear();
    EXPECT_EQ(Run({"w=-4", "waitafteropen", "0", "HAM", f}), 0);
    ASSERT_EQ(gCalls.size(), 1u);
    o = gCalls[0].options;
    EXPECT_EQ(o.waitSeconds, 0);
    EXPECT_EQ(o.waitAfterOpenSeconds, 0);
    EXPECT_TRUE(o.ham);
    EXPECT_FALSE(o.center);
    EXPECT_FALSE(o.cycle);
}

TEST_F(ShellModeTest, MalformedCommandLinesGiveTheSystemsTextAndResult10) {
    struct Case {
        std::vector<std::string> arguments;
        int32_t code;
    };
    const std::vector<Case> cases = {
        {{}, os::ERROR_REQUIRED_ARG_MISSING},
        {{"WAIT=soon", "x.iff"}, os::ERROR_BAD_NUMBER},
        {{"x.iff", "WAIT"}, os::ERROR_KEY_NEEDS_ARG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(Run(c.arguments), 10);
        EXPECT_EQ(output_, std::string("Lanterna: ") + ErrorText(c.code) + "\n");
        EXPECT_TRUE(gCalls.empty());
    }
}

TEST_F(ShellModeTest, AllocationFailuresNeverLeakAndTheAnchorFailureIsReported) {
    const std::string f = File("mem.iff");
    const int64_t before = os::testing::LiveAllocations();
    bool anchorFailureSeen = false;
    for (uint32_t n = 1; n <= 12; ++n) {
        SCOPED_TRACE(n);
        gCalls.clear();
        os::testing::ResetFaults();
        os::testing::FailNthAlloc(n);
        const int32_t result = Run({f});
        os::testing::ResetFaults();
        EXPECT_TRUE(result == 0 || result == 10);
        EXPECT_EQ(os::testing::LiveAllocations(), before);
        const std::string noMemory = std::string("Lanterna: ") + ErrorText(103) + "\n";
        if (result == 10 && output_ == noMemory && gCalls.empty()) anchorFailureSeen = true;
    }
    EXPECT_TRUE(anchorFailureSeen);
}

}  // namespace
}  // namespace lanterna
