// Page Up and Page Down through a run, headless: the lines printed and the
// snapshots of what was on view. Page Up shows the picture before the one on
// view again (with its "Showing" line), Page Down goes on as a click does;
// stepping back passes over files that failed, crosses from one argument or
// directory to the one before, and on the first picture shows it again.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

// A picture of one colour of its own, `shade`, so snapshots tell them apart.
IlbmPicture Plain(int width, int height, uint8_t shade) {
    IlbmPicture picture;
    picture.header = SimpleHeader(width, height, 1, cmpByteRun1);
    picture.colours = {{0, 0, 0}, {shade, uint8_t(255 - shade), 90}};
    for (int i = 0; i < width * height; ++i) picture.pixels.push_back(uint32_t((i / width + i) % 2));
    return picture;
}

using e2e::Showing;

class GoingBack : public e2e::ProgramTest {
protected:
    void SetUp() override {
        e2e::ProgramTest::SetUp();
        std::filesystem::create_directories(Path("dir/sub"));
        Write("a.iff", MakeIlbm(Plain(40, 20, 40)));
        Write("b.iff", MakeIlbm(Plain(24, 10, 120)));
        Write("c.iff", MakeIlbm(Plain(16, 16, 200)));
        Write("dir/x.iff", MakeIlbm(Plain(20, 12, 160)));
        Write("dir/sub/y.iff", MakeIlbm(Plain(12, 20, 250)));
        Write("text.iff", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', '\n'});
    }
    void Write(const std::string& name, const Bytes& data) { ASSERT_TRUE(WriteFile(Path(name).string(), data)); }

    // The snapshots of the run, in order.
    std::vector<e2e::Image> Shots() {
        std::vector<e2e::Image> shots;
        for (int i = 1; i <= SnapshotCount(); ++i) shots.push_back(Snapshot(i));
        return shots;
    }
};

TEST_F(GoingBack, PageUpShowsTheOneBeforeAgainAndPageDownComesForwardThroughTheList) {
    // a (click), b (Page Up) -> a again (Page Down) -> b again (Page Down)
    // -> c, which comes from the second argument's pattern.
    const e2e::RunResult run =
        Lanterna({"a.iff", "#?(b|c).iff"}, {"LANTERNA_INPUT=click,pageup,pagedown,pagedown,click"});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.output, Showing("a.iff") + "Done.\n" + Showing("b.iff") + "Done.\n" + Showing("a.iff") +
                              "Done.\n" + Showing("b.iff") + "Done.\n" + Showing("c.iff") + "Done.\n");
    const std::vector<e2e::Image> shots = Shots();
    ASSERT_EQ(shots.size(), 5u) << run.output;
    for (const e2e::Image& shot : shots) ASSERT_TRUE(shot.Valid());
    EXPECT_EQ(e2e::Difference(shots[2], shots[0]), "");
    EXPECT_EQ(e2e::Difference(shots[3], shots[1]), "");
    EXPECT_NE(e2e::Difference(shots[1], shots[0]), "");
    EXPECT_NE(e2e::Difference(shots[4], shots[1]), "");

    // Back twice, then forward again to where the walk goes on.
    const e2e::RunResult twice =
        Lanterna({"a.iff", "b.iff", "c.iff"}, {"LANTERNA_INPUT=click,click,pageup,pageup,pagedown,click,click"});
    EXPECT_EQ(twice.output, Showing("a.iff") + "Done.\n" + Showing("b.iff") + "Done.\n" + Showing("c.iff") +
                                "Done.\n" + Showing("b.iff") + "Done.\n" + Showing("a.iff") + "Done.\n" +
                                Showing("b.iff") + "Done.\n" + Showing("c.iff") + "Done.\n");
    EXPECT_EQ(SnapshotCount(), 7);
}

TEST_F(GoingBack, TheFirstPictureIsShownAgainAndFailedFilesArePassedOver) {
    const e2e::RunResult first = Lanterna({"a.iff", "b.iff"}, {"LANTERNA_INPUT=pageup,click,click"});
    EXPECT_EQ(first.output, Showing("a.iff") + "Done.\n" + Showing("a.iff") + "Done.\n" + Showing("b.iff") + "Done.\n");
    std::vector<e2e::Image> shots = Shots();
    ASSERT_EQ(shots.size(), 3u);
    EXPECT_EQ(e2e::Difference(shots[1], shots[0]), "");

    // A file that failed is not in the list: back from b is a.
    const e2e::RunResult failed =
        Lanterna({"a.iff", "text.iff", "b.iff", "c.iff"}, {"LANTERNA_INPUT=click,pageup,pagedown,click,click"});
    EXPECT_EQ(failed.output, Showing("a.iff") + "Done.\n" + Showing("text.iff") + "Not an IFF file\n" +
                                 Showing("b.iff") + "Done.\n" + Showing("a.iff") + "Done.\n" + Showing("b.iff") +
                                 "Done.\n" + Showing("c.iff") + "Done.\n");

    // Page Up while b is still drawn ends it as a click does ("***Break"),
    // then a comes back; a's 20 rows are the first 20 row writes.
    const e2e::RunResult drawing =
        Lanterna({"a.iff", "b.iff"}, {"LANTERNA_DRAW_INPUT=23:pageup", "LANTERNA_INPUT=click,click,click"});
    EXPECT_EQ(drawing.output, Showing("a.iff") + "Done.\n" + Showing("b.iff") + "***Break\n" + Showing("a.iff") +
                                  "Done.\n" + Showing("b.iff") + "Done.\n");

    // Esc on a picture shown again stops the run there.
    const e2e::RunResult stopped = Lanterna({"a.iff", "b.iff", "c.iff"}, {"LANTERNA_INPUT=click,pageup,esc"});
    EXPECT_EQ(stopped.result, 0);
    EXPECT_EQ(stopped.output, Showing("a.iff") + "Done.\n" + Showing("b.iff") + "Done.\n" + Showing("a.iff") +
                                  "***Break\n");
}

TEST_F(GoingBack, DirectoriesWithAllQuietRunsAndTheDesktopStart) {
    // With ALL the list is of the names in the order they were shown, into
    // and out of sub-directories.
    const e2e::RunResult all = Lanterna({"ALL", "dir", "a.iff"}, {"LANTERNA_INPUT=click,click,pageup,pageup,pagedown,pagedown,click"});
    const std::string x = "dir/x.iff", y = "dir/sub/y.iff";
    const std::string walked = all.output;
    // The walk's own order of x and y is the matcher's; going back follows it.
    const bool xFirst = walked.rfind(Showing(x), 0) == 0;
    const std::string p = xFirst ? x : y, q = xFirst ? y : x;
    EXPECT_EQ(walked, Showing(p) + "Done.\n" + Showing(q) + "Done.\n" + Showing("a.iff") + "Done.\n" + Showing(q) +
                          "Done.\n" + Showing(p) + "Done.\n" + Showing(q) + "Done.\n" + Showing("a.iff") + "Done.\n");
    EXPECT_EQ(SnapshotCount(), 7);

    // QUIET prints nothing; Page Up still goes back.
    const e2e::RunResult quiet = Lanterna({"QUIET", "a.iff", "b.iff"}, {"LANTERNA_INPUT=click,pageup,click,click"});
    EXPECT_EQ(quiet.result, 0);
    EXPECT_EQ(quiet.output, "");
    std::vector<e2e::Image> shots = Shots();
    ASSERT_EQ(shots.size(), 4u);
    EXPECT_EQ(e2e::Difference(shots[2], shots[0]), "");
    EXPECT_EQ(e2e::Difference(shots[3], shots[1]), "");

    // Started as the desktop starts it: the same steps, silently.
    const e2e::RunResult desktop = Lanterna({"--workbench", "a.iff", "b.iff", "c.iff"},
                                             {"LANTERNA_INPUT=click,pageup,pagedown,pagedown,click"});
    EXPECT_EQ(desktop.result, 0);
    EXPECT_EQ(desktop.output, "");
    shots = Shots();
    ASSERT_EQ(shots.size(), 5u);
    EXPECT_EQ(e2e::Difference(shots[2], shots[0]), "");
    EXPECT_EQ(e2e::Difference(shots[3], shots[1]), "");
    EXPECT_NE(e2e::Difference(shots[4], shots[3]), "");
}

}  // namespace
