// What build/lanterna prints and returns for every way a picture or a run can
// end, driven through the headless backend's scripted input and real Unix
// signals.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

using e2e::Showing;

class LinesTest : public e2e::ProgramTest {
protected:
    void SetUp() override {
        e2e::ProgramTest::SetUp();
        Write("a.iff", MakeIlbm(e2e::CountingPicture(40, 20, 3, cmpByteRun1)));
        Write("b.iff", MakeIlbm(e2e::CountingPicture(24, 10, 2, cmpNone)));
        Write("c.iff", MakeIlbm(e2e::CountingPicture(16, 16, 4, cmpByteRun1)));
        IlbmPicture packed2 = e2e::CountingPicture(16, 4, 2, cmpNone);
        packed2.header.compression = 2;
        packed2.body = Bytes(40, 0x11);
        Write("compression2.iff", MakeIlbm(packed2));
        Write("sound.iff", MakeGroup("FORM", "8SVX", MakeChunk("VHDR", Bytes(20, 0))));
        Write("text.iff", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'});
    }
    void Write(const std::string& name, const Bytes& data) {
        ASSERT_TRUE(WriteFile(Path(name).string(), data));
    }
};

TEST_F(LinesTest, GoodPicturesPrintDoneAndTheRunReturnsZero) {
    const e2e::RunResult run = Lanterna({"a.iff", "b.iff"});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, Showing("a.iff") + "Done.\n" + Showing("b.iff") + "Done.\n");
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(SnapshotCount(), 2);

    const e2e::RunResult quiet = Lanterna({"QUIET", "a.iff", "b.iff"});
    EXPECT_EQ(quiet.result, 0);
    EXPECT_EQ(quiet.output, "");
}

TEST_F(LinesTest, FilesThatAreNotPicturesEachGetTheirLine) {
    const e2e::RunResult run =
        Lanterna({"sound.iff", "text.iff", "compression2.iff", "missing.iff", "a.iff"});
    EXPECT_EQ(run.result, 10);
    // A name that does not exist ends the run: later names are not tried.
    EXPECT_EQ(run.output, Showing("sound.iff") + "Not an IFF-ILBM file\n" +       //
                              Showing("text.iff") + "Not an IFF file\n" +         //
                              Showing("compression2.iff") + "Unknown compression format\n" +
                              "Lanterna: object not found\n");

    // With QUIET the first failing picture ends the run with one line.
    EXPECT_EQ(Lanterna({"QUIET", "a.iff", "sound.iff", "b.iff"}).output, "Lanterna: Not an IFF-ILBM file\n");
    EXPECT_EQ(Lanterna({"Q", "text.iff", "b.iff"}).output, "Lanterna: Not an IFF file\n");
    EXPECT_EQ(Lanterna({"Q", "compression2.iff"}).output, "Lanterna: Unknown compression format\n");
}

TEST_F(LinesTest, TheUserEndsAPictureOrStopsTheRun) {
    struct Case {
        const char* setting;
        std::string output;
    };
    const std::string next = Showing("a.iff") + "***Break\n" + Showing("b.iff") + "Done.\n";
    const std::string stop = Showing("a.iff") + "***Break\n";
    const Case cases[] = {
        // A click or key while drawing ends the picture; the next one follows.
        {"LANTERNA_DRAW_INPUT=3:click", next},
        {"LANTERNA_DRAW_INPUT=5:middle", next},
        {"LANTERNA_DRAW_INPUT=2:key:n", next},
        // Esc, the Ctrl-C key or the right button stop the whole run, while
        // drawing or while viewing.
        {"LANTERNA_DRAW_INPUT=4:esc", stop},
        {"LANTERNA_DRAW_INPUT=4:ctrl-c", stop},
        {"LANTERNA_DRAW_INPUT=4:right", stop},
        {"LANTERNA_INPUT=esc", stop},
        {"LANTERNA_INPUT=ctrl-c", stop},
        {"LANTERNA_INPUT=right", stop},
        // Ending a finished picture is a normal end; Tab only toggles cycling.
        {"LANTERNA_INPUT=key:x,tab,click", Showing("a.iff") + "Done.\n" + Showing("b.iff") + "Done.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        const e2e::RunResult run = Lanterna({"a.iff", "b.iff"}, {c.setting});
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.output, c.output);
    }

    // With QUIET: a picture ended early or a stop ends the run with its line.
    EXPECT_EQ(Lanterna({"QUIET", "a.iff", "b.iff"}, {"LANTERNA_DRAW_INPUT=3:click"}).output,
              "Lanterna: ***Break\n");
    const e2e::RunResult stopped = Lanterna({"QUIET", "a.iff", "b.iff"}, {"LANTERNA_INPUT=esc"});
    EXPECT_EQ(stopped.result, 0);
    ASSERT_EQ(stopped.output.rfind("Lanterna: ", 0), 0u) << stopped.output;
    EXPECT_EQ(stopped.output.find('\n'), stopped.output.size() - 1);
}

TEST_F(LinesTest, WaitEndsAPictureNobodyTouches) {
    const e2e::RunResult run = Lanterna({"a.iff", "WAIT=1"}, {"LANTERNA_INPUT=none"});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, Showing("a.iff") + "Done.\n");
    EXPECT_GE(run.milliseconds, 1000);
    EXPECT_LT(run.milliseconds, 10000);
}

// Sends a Unix signal once the program is showing its first picture (its
// "Showing" line is flushed before the picture opens, long after the break
// handlers are in place), then waits for it.
std::string SignalWhileShowing(const std::string& signal) {
    return "$LANTERNA & p=$!; i=0; until grep -q Showing out.txt || [ $i -ge 600 ]; do sleep 0.05; "
           "i=$((i+1)); done; sleep 0.3; kill -" + signal + " $p; wait $p";
}

TEST_F(LinesTest, UnixSignalsBreakTheRun) {
    // SIGINT or SIGTERM while a picture waits for the user: the run stops.
    for (const char* signal : {"INT", "TERM"}) {
        SCOPED_TRACE(signal);
        const e2e::RunResult run = Lanterna({"a.iff", "b.iff"}, {"LANTERNA_INPUT=none"}, "", SignalWhileShowing(signal));
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.output, Showing("a.iff") + "***Break\n");
    }

    // SIGUSR1 only brings the picture to the front; the time-out ends it.
    const e2e::RunResult run =
        Lanterna({"WAIT=2", "a.iff"}, {"LANTERNA_INPUT=none,none,none"}, "", SignalWhileShowing("USR1"));
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, Showing("a.iff") + "Done.\n");
    EXPECT_GE(run.milliseconds, 2000);
}

TEST_F(LinesTest, DirectoriesPatternsAndEmptyFiles) {
    std::filesystem::create_directories(Path("set/sub"));
    Write("set/one.iff", MakeIlbm(e2e::CountingPicture(8, 8, 1, cmpNone)));
    Write("set/empty.iff", {});
    Write("set/sub/two.iff", MakeIlbm(e2e::CountingPicture(8, 8, 2, cmpNone)));

    EXPECT_EQ(Lanterna({"set"}).output, Showing("set/one.iff") + "Done.\n");
    EXPECT_EQ(Lanterna({"set", "ALL"}).output,
              Showing("set/one.iff") + "Done.\n" + Showing("set/sub/two.iff") + "Done.\n");
    EXPECT_EQ(Lanterna({"#?.gif", "set/#?.iff"}).output, Showing("set/one.iff") + "Done.\n");
}

TEST_F(LinesTest, CommandLineAndSetUp) {
    e2e::RunResult run = Lanterna({});
    EXPECT_EQ(run.result, 10);
    EXPECT_EQ(run.output, "Lanterna: required argument missing\n");

    run = Lanterna({"a.iff", "WAIT=soon"});
    EXPECT_EQ(run.result, 10);
    EXPECT_EQ(run.output, "Lanterna: bad number\n");

    run = Lanterna({"--version"});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, "Lanterna 1.12 (29.11.2005)\n");
    EXPECT_NE(e2e::ReadText(Binary()).find("$VER: Lanterna 1.12 (29.11.2005)"), std::string::npos);

    run = Lanterna({"--help"});
    EXPECT_EQ(run.result, 0);
    const std::string templ =
        "FILES/M/A,C=CENTER/S,W=WAIT/K/N,Q=QUIET/S,A=ALL/S,WAO=WAITAFTEROPEN/K/N,CYCLE/S,HAM/S,EHB/S";
    EXPECT_EQ(run.output.rfind(templ + "\n", 0), 0u);
    for (const char* option : {"FILES", "CENTER", "WAIT", "QUIET", "ALL", "WAITAFTEROPEN", "CYCLE", "HAM", "EHB"}) {
        const std::string name(option);
        EXPECT_TRUE(run.output.find("\n  " + name) != std::string::npos ||
                    run.output.find("=" + name + "/") != std::string::npos)
            << option;
    }
    // Then the keys and every variable of the README's environment table.
    for (const char* key : {"\n  Tab ", "\n  Page Down ", "\n  Page Up ", "\n  F11 ", "\n  Home ", "\n  F1 ",
                            "Esc, Ctrl-C", "mouse wheel", "arrow keys"}) {
        EXPECT_NE(run.output.find(key), std::string::npos) << key;
    }
    const std::string readme = e2e::ReadText(LANTERNA_SOURCE_DIR "/README.md");
    const std::string table = readme.substr(readme.find("\n## Environment\n"));
    int names = 0;
    for (size_t at = table.find("\n| `"); at != std::string::npos && at < table.find("\n## ", 1);
         at = table.find("\n| `", at + 1)) {
        const std::string name = table.substr(at + 4, table.find('`', at + 4) - at - 4);
        EXPECT_NE(run.output.find("\n  " + name), std::string::npos) << name;
        ++names;
    }
    EXPECT_GE(names, 6);
    EXPECT_NE(run.output.find("DISPLAY, WAYLAND_DISPLAY"), std::string::npos);

    // "?" shows the template and reads the arguments from standard input.
    run = Lanterna({"?"}, {}, "b.iff QUIET\n");
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output.rfind(templ, 0), 0u) << run.output;
    EXPECT_EQ(run.output.find("Showing"), std::string::npos);
    EXPECT_EQ(SnapshotCount(), 1);

    // Without a display and without the headless backend set-up fails.
    run = Lanterna({"a.iff"}, {}, "",
                   "env -u DISPLAY -u WAYLAND_DISPLAY -u LANTERNA_DISPLAY $LANTERNA");
    EXPECT_EQ(run.result, 20);
    EXPECT_EQ(run.output, "Lanterna: Error opening intuition.library v39\n");
}

// Started the way the desktop starts it: pictures are shown silently.
TEST_F(LinesTest, WorkbenchStartsPrintNothing) {
    e2e::RunResult run = Lanterna({"--workbench", "a.iff", "sound.iff", "b.iff"});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(SnapshotCount(), 2);

    // A stop ends the projects.
    run = Lanterna({"--workbench", "c.iff", "a.iff"}, {"LANTERNA_INPUT=esc"});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(SnapshotCount(), 1);

    // Without files: the requester, batch after batch, until it is cancelled.
    run = Lanterna({"--workbench"}, {"LANTERNA_REQUESTER=" + Path("b.iff").string() + "|" +
                                     Path("c.iff").string() + ";" + Path("a.iff").string()});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(SnapshotCount(), 3);

    run = Lanterna({"--workbench", "a.iff"}, {}, "",
                   "env -u DISPLAY -u WAYLAND_DISPLAY -u LANTERNA_DISPLAY $LANTERNA");
    EXPECT_EQ(run.result, 20);
    EXPECT_EQ(run.output, "Lanterna: Error opening intuition.library v39\n");
}

}  // namespace
