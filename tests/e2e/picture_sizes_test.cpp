// Pages and pictures of unusual sizes: a page left 0 by its writer, and the
// damaged sizes no screen can hold, which must fail with a message that
// says why instead of "Done." for nothing.
#include <string>

#include "tests/e2e/e2e_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class PictureSizes : public e2e::ProgramTest {};

TEST_F(PictureSizes, APageSideOfZeroIsThePicturesOwn) {
    struct Case {
        uint16_t pageWidth, pageHeight;
        int shownWidth, shownHeight;
    } cases[] = {{0, 0, 320, 160}, {0, 200, 320, 200}, {640, 0, 640, 160}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.pageWidth) + "x" + std::to_string(c.pageHeight));
        IlbmPicture picture = e2e::CountingPicture(320, 160, 2, cmpByteRun1);
        picture.header.pageWidth = c.pageWidth;
        picture.header.pageHeight = c.pageHeight;
        ASSERT_TRUE(WriteFile(Path("font.iff").string(), MakeIlbm(picture)));
        const e2e::RunResult run = Lanterna({"font.iff"});
        EXPECT_EQ(run.output, e2e::Showing("font.iff") + "Done.\n");
        const e2e::Image shown = Snapshot(1);
        EXPECT_EQ(shown.width, c.shownWidth);
        EXPECT_EQ(shown.height, c.shownHeight);
    }
}

}  // namespace
