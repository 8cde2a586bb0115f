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

// A picture of the given size and page whose BODY holds `body` as it is.
Bytes Sized(uint16_t w, uint16_t h, int planes, uint16_t pageWidth, uint16_t pageHeight, const Bytes& body) {
    IlbmPicture picture;
    picture.header = SimpleHeader(w, h, planes, cmpByteRun1);
    picture.header.pageWidth = pageWidth;
    picture.header.pageHeight = pageHeight;
    picture.colours = {{0, 0, 0}, {255, 255, 255}};
    picture.body = body;
    return MakeIlbm(picture);
}

TEST_F(PictureSizes, SizesNoScreenHoldsFailWithTheirReasonNeverDone) {
    const Bytes zeros = {0x81, 0};  // ByteRun1: 128 zero bytes
    const Bytes rows(4000, 0x81);   // ByteRun1: repeats of 0x81, more than a 65535-wide row needs
    IlbmPicture lace = e2e::CountingPicture(16, 2, 1, cmpByteRun1);
    lace.header.pageWidth = 32800;  // twice as wide would wrap round to a 64-pixel screen
    lace.hasCamg = true;
    lace.camg = LACE;
    IlbmPicture deep;
    deep.header = SimpleHeader(16384, 4, 24, cmpByteRun1);
    deep.pixels.assign(16384 * 4, 0x00FF00);
    const struct {
        const char* name;
        Bytes file;
        const char* line;
    } cases[] = {
        {"huge.iff", Sized(65535, 65535, 1, 65535, 65535, rows), "Requested screen size is too large"},
        {"wide.iff", Sized(65535, 1, 1, 65535, 1, rows), "Requested screen size is too large"},
        {"tall.iff", Sized(1, 65535, 1, 1, 65535, rows), "Requested screen size is too large"},
        {"lace.iff", MakeIlbm(lace), "Requested screen size is too large"},
        // The page fits, but the BODY ends before the first of its rows.
        {"short.iff", Sized(65535, 65535, 8, 320, 200, zeros), "Data in file is corrupt"},
        {"deep.iff", MakeIlbm(deep), "Done."},
    };
    std::string expected;
    std::vector<std::string> names;
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFile(Path(c.name).string(), c.file));
        names.push_back(c.name);
        expected += e2e::Showing(c.name) + c.line + "\n";
    }
    e2e::RunResult run = Lanterna(names);
    EXPECT_EQ(run.output, expected);
    EXPECT_LT(run.milliseconds, 20000);
    ASSERT_EQ(SnapshotCount(), 1);
    EXPECT_EQ(Snapshot(1).width, 16384);

    // The first failure ends a quiet run, with the result that says so.
    run = Lanterna({"huge.iff", "QUIET"});
    EXPECT_EQ(run.output, "Lanterna: Requested screen size is too large\n");
    EXPECT_EQ(run.result, 10);

    // A screen kept by the centre option is no smaller picture's to reuse.
    ASSERT_TRUE(WriteFile(Path("small.iff").string(), MakeIlbm(e2e::CountingPicture(32, 16, 1, cmpByteRun1))));
    run = Lanterna({"small.iff", "huge.iff", "CENTER"});
    EXPECT_EQ(run.output, e2e::Showing("small.iff") + "Done.\n" + e2e::Showing("huge.iff") +
                              "Requested screen size is too large\n");
}

}  // namespace
