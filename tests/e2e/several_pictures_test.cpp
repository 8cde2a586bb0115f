// A CAT or LIST holding several pictures: each is shown in turn, with the
// number of the picture in its line, and Page Up goes back through them.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/colour_maps.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class SeveralPicturesTest : public e2e::NetpbmTest {};

// Three pictures of their own sizes, depths and colours (the second has no
// colour map of its own, so none may come over from the first), in a CAT and
// in a LIST; each snapshot is ilbmtoppm's reading of that picture alone.
TEST_F(SeveralPicturesTest, EachPictureOfACatOrListIsShownInTurn) {
    std::vector<IlbmPicture> pictures;
    for (int i = 0; i < 3; ++i) {
        IlbmPicture picture;
        const int width = 20 + 9 * i, height = 6 + i, planes = 2 + i;
        picture.header = SimpleHeader(width, height, planes, i == 1 ? cmpByteRun1 : cmpNone);
        for (int p = 0; p < width * height; ++p) picture.pixels.push_back(uint32_t(p / 3 + i) % (1u << planes));
        if (i != 1) picture.colours = test_support::Palette(1 << planes, i);
        pictures.push_back(picture);
    }
    Bytes forms;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Bytes form = MakeIlbm(pictures[i]);
        Save("alone" + std::to_string(i) + ".iff", form);
        forms.insert(forms.end(), form.begin(), form.end());
    }
    Save("cat.iff", MakeGroup("CAT ", "ILBM", forms));
    Save("list.iff", MakeGroup("LIST", "ILBM", forms));
    for (const std::string& file : {std::string("cat.iff"), std::string("list.iff")}) {
        SCOPED_TRACE(file);
        const e2e::RunResult run = Lanterna({file, "alone1.iff"});
        ASSERT_EQ(run.result, 0) << run.errors;
        EXPECT_EQ(run.output, "Showing \"" + file + "\" (1 of 3)... Done.\nShowing \"" + file +
                                  "\" (2 of 3)... Done.\nShowing \"" + file + "\" (3 of 3)... Done.\n" +
                                  e2e::Showing("alone1.iff") + "Done.\n");
        ASSERT_EQ(SnapshotCount(), 4);
        for (int i = 0; i < 3; ++i) {
            const e2e::Image shown = Snapshot(i + 1);
            ASSERT_TRUE(shown.Valid());
            const e2e::Image alone = Reference("alone" + std::to_string(i) + ".iff");
            // ilbmtoppm shows a picture without colours in grey levels:
            // that one must look as it does alone.
            if (i != 1) {
                EXPECT_EQ(e2e::Difference(shown, alone), "") << i;
            }
        }
        EXPECT_EQ(e2e::Difference(Snapshot(2), Snapshot(4)), "");
    }
    // Page Up goes back to the picture before within the file.
    const e2e::RunResult back = Lanterna({"cat.iff"}, {"LANTERNA_INPUT=click,pageup,pagedown,click,click"});
    EXPECT_EQ(back.output, "Showing \"cat.iff\" (1 of 3)... Done.\nShowing \"cat.iff\" (2 of 3)... Done.\n"
                           "Showing \"cat.iff\" (1 of 3)... Done.\nShowing \"cat.iff\" (2 of 3)... Done.\n"
                           "Showing \"cat.iff\" (3 of 3)... Done.\n");
    ASSERT_EQ(SnapshotCount(), 5);
    EXPECT_EQ(e2e::Difference(Snapshot(3), Snapshot(1)), "");
    EXPECT_EQ(e2e::Difference(Snapshot(4), Snapshot(2)), "");
}

}  // namespace
