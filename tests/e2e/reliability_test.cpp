// Faults found by trying to break the program from outside: readers that go
// away, signals during pauses, odd files on the command line, odd starts.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/xvfb_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

using e2e::Showing;

class ReliabilityTest : public e2e::ProgramTest {
protected:
    void SetUp() override {
        e2e::ProgramTest::SetUp();
        Write("a.iff", MakeIlbm(e2e::CountingPicture(40, 20, 3, cmpByteRun1)));
        Write("b.iff", MakeIlbm(e2e::CountingPicture(24, 10, 2, cmpNone)));
    }
    void Write(const std::string& name, const Bytes& data) {
        ASSERT_TRUE(WriteFile(Path(name).string(), data));
    }
};

TEST_F(ReliabilityTest, ReaderOfTheOutputGoingAwayDoesNotKillTheRun) {
    // head takes five bytes of the first line and goes; the program's next
    // line meets a closed pipe. With CENTER the last screen is closed (and
    // its snapshot written) only by the teardown.
    const e2e::RunResult run =
        Lanterna({"CENTER", "a.iff", "b.iff", "WAIT=1"}, {"LANTERNA_INPUT=none,none"}, "",
                 "{ $LANTERNA; echo $? > program-rc.txt; } | head -c 5 > /dev/null");
    EXPECT_EQ(e2e::ReadText(Path("program-rc.txt")), "0\n");
    EXPECT_EQ(SnapshotCount(), 2);
}

// Sends SIGTERM a second after the program has started showing a picture.
std::string TermAfterASecond() {
    return "$LANTERNA & p=$!; i=0; until grep -q Showing out.txt || [ $i -ge 600 ]; do sleep 0.05; "
           "i=$((i+1)); done; sleep 1; kill -TERM $p; wait $p";
}

TEST_F(ReliabilityTest, BreakDuringThePauseAfterOpeningEndsTheRunAtOnce) {
    const e2e::RunResult run = Lanterna({"a.iff", "b.iff", "WAITAFTEROPEN=20"}, {}, "", TermAfterASecond());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, Showing("a.iff") + "***Break\n");
    EXPECT_LT(run.milliseconds, 8000);
}

TEST_F(ReliabilityTest, PipeOrDeviceNamedOnTheCommandLineGetsItsLine) {
    ASSERT_EQ(std::system(("mkfifo " + e2e::Quote(Path("pipe.iff").string())).c_str()), 0);
    const e2e::RunResult run = Lanterna({"pipe.iff", "/dev/null", "a.iff"});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, Showing("pipe.iff") + "object is not of required type\n" + Showing("/dev/null") +
                              "object is not of required type\n" + Showing("a.iff") + "Done.\n");
    // Met by a pattern, such an entry is passed over as before.
    EXPECT_EQ(Lanterna({"#?.iff"}).output, Showing("a.iff") + "Done.\n" + Showing("b.iff") + "Done.\n");
}

TEST_F(ReliabilityTest, WorkbenchStartWithAMissingFileShowsNoRequester) {
    const std::string requester = "LANTERNA_REQUESTER=" + Path("a.iff").string();
    for (const std::string& name : {std::string("missing.iff"), std::string("")}) {
        SCOPED_TRACE(name);
        const e2e::RunResult run = Lanterna({"--workbench", name}, {requester});
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(SnapshotCount(), 0);  // the requester's a.iff was never shown
    }
}

TEST_F(ReliabilityTest, WorkbenchStartWithMoreFilesThanDescriptors) {
    std::vector<std::string> arguments{"--workbench"};
    for (int i = 0; i < 400; ++i) arguments.push_back(i % 2 == 0 ? "a.iff" : "b.iff");
    const e2e::RunResult run = Lanterna(arguments, {}, "", "ulimit -n 64 && $LANTERNA");
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(SnapshotCount(), 400);
}

// Run as an ordinary user (root reads every file): an unreadable picture
// gets its line and the run goes on.
TEST_F(ReliabilityTest, UnreadablePictureAsAnOrdinaryUser) {
    if (!e2e::HaveProgram("runuser")) GTEST_SKIP() << "runuser is needed (util-linux)";
    Write("locked.iff", MakeIlbm(e2e::CountingPicture(8, 8, 1, cmpNone)));
    std::filesystem::permissions(Path("locked.iff"), std::filesystem::perms::none);
    const e2e::RunResult run = Lanterna({"locked.iff", "a.iff"}, {}, "", "runuser -u nobody -- $LANTERNA");
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, Showing("locked.iff") + "file is read protected\n" + Showing("a.iff") + "Done.\n");
}

// Requester mode on a desktop without zenity or kdialog: the failure is told
// in SDL's message box (dismissed here with Return), and the run fails.
TEST_F(ReliabilityTest, RequesterThatCannotBeHadIsToldOnTheDesktopAndFails) {
    if (!e2e::HaveProgram("Xvfb") || !e2e::HaveProgram("xwininfo") || !e2e::HaveProgram("xdotool")) {
        GTEST_SKIP() << "Xvfb, xwininfo and xdotool are needed (scripts/deps.sh)";
    }
    ASSERT_GE(xvfb_test::StartXvfb(), 0);
    const std::string around =
        "env -u LANTERNA_DISPLAY PATH=/nonexistent $LANTERNA & p=$!; i=0; w=''; "
        "while [ -z \"$w\" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); "
        "w=$(xwininfo -root -tree | grep '\"Lanterna\"' | awk '{print $1}' | head -n 1); done; "
        "echo \"$w\" > box.txt; [ -n \"$w\" ] && xdotool windowfocus --sync \"$w\" key Return; "
        "i=0; while kill -0 $p 2>/dev/null && [ $i -lt 100 ]; do sleep 0.05; i=$((i+1)); done; "
        "kill -9 $p 2>/dev/null; wait $p";
    const e2e::RunResult run = Lanterna({"--workbench"}, {}, "", around);
    EXPECT_NE(e2e::ReadText(Path("box.txt")), "\n") << "no message box appeared";
    EXPECT_EQ(run.result, 20);
    EXPECT_EQ(run.output, "");
}

}  // namespace
