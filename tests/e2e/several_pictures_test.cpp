// A CAT or LIST of several pictures: each in turn, numbered in its line,
// as ilbmtoppm reads it alone (the second has no colour map, so it must
// look as it does alone, with nothing of the first), and Page Up goes back
// through them.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/colour_maps.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class SeveralPicturesTest : public e2e::NetpbmTest {};

TEST_F(SeveralPicturesTest, EachPictureOfACatOrListIsShownInTurn) {
    Bytes forms;
    for (int i = 0; i < 3; ++i) {
        IlbmPicture picture;
        picture.header = SimpleHeader(20 + 9 * i, 6 + i, 2 + i, i == 1 ? cmpByteRun1 : cmpNone);
        for (int p = 0; p < (20 + 9 * i) * (6 + i); ++p) picture.pixels.push_back(uint32_t(p / 3 + i) % (4u << i));
        if (i != 1) picture.colours = test_support::Palette(4 << i, i);
        const Bytes form = MakeIlbm(picture);
        Save("alone" + std::to_string(i) + ".iff", form);
        forms.insert(forms.end(), form.begin(), form.end());
    }
    const auto lines = [](const std::string& file, std::vector<int> numbers) {
        std::string text;
        for (int n : numbers) text += "Showing \"" + file + "\" (" + std::to_string(n) + " of 3)... Done.\n";
        return text;
    };
    for (const char* group : {"CAT ", "LIST"}) {
        const std::string file = Save(std::string(group, 3) + ".iff", MakeGroup(group, "ILBM", forms));
        const e2e::RunResult run = Lanterna({file, "alone1.iff"});
        EXPECT_EQ(run.output, lines(file, {1, 2, 3}) + e2e::Showing("alone1.iff") + "Done.\n");
        ASSERT_EQ(SnapshotCount(), 4);
        EXPECT_EQ(e2e::Difference(Snapshot(1), Reference("alone0.iff")), "");
        EXPECT_EQ(e2e::Difference(Snapshot(2), Snapshot(4)), "");
        EXPECT_EQ(e2e::Difference(Snapshot(3), Reference("alone2.iff")), "");
    }
    const e2e::RunResult back = Lanterna({"CAT.iff"}, {"LANTERNA_INPUT=click,pageup,pagedown,click,click"});
    EXPECT_EQ(back.output, lines("CAT.iff", {1, 2, 1, 2, 3}));
    ASSERT_EQ(SnapshotCount(), 5);
    EXPECT_EQ(e2e::Difference(Snapshot(3), Snapshot(1)), "");
}

}  // namespace
