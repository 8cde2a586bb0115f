// The window's title: the file's name without its directory, the size with a
// multiplication sign, the kind of picture as people name it.
#include <gtest/gtest.h>

#include "driver/window_title.h"
#include "records/ilbm_records.h"

namespace lanterna {
namespace {

PictureInfo Picture(uint16_t w, uint16_t h, uint8_t planes, uint32_t mode) {
    PictureInfo info;
    info.header.w = w;
    info.header.h = h;
    info.header.nPlanes = planes;
    info.modeId = mode;
    return info;
}

TEST(WindowTitle, NamesTheFileTheSizeAndTheKindOfPicture) {
    EXPECT_EQ(WindowTitle("/pictures/king_tut.iff", Picture(320, 200, 5, 0)),
              "king_tut.iff \u2014 320\u00D7200, 32 colours \u2014 Lanterna");
    EXPECT_EQ(WindowTitle("two.iff", Picture(16, 8, 1, 0)), "two.iff \u2014 16\u00D78, 2 colours \u2014 Lanterna");
    EXPECT_EQ(WindowTitle("a/b.ilbm", Picture(320, 256, 8, 0)), "b.ilbm \u2014 320\u00D7256, 256 colours \u2014 Lanterna");
    EXPECT_EQ(WindowTitle("ham.iff", Picture(320, 200, 6, HAM)), "ham.iff \u2014 320\u00D7200, HAM6 \u2014 Lanterna");
    EXPECT_EQ(WindowTitle("ham8.iff", Picture(640, 512, 8, HAM | HIRES | LACE)),
              "ham8.iff \u2014 640\u00D7512, HAM8 \u2014 Lanterna");
    EXPECT_EQ(WindowTitle("ehb.iff", Picture(320, 200, 6, EXTRA_HALFBRITE)),
              "ehb.iff \u2014 320\u00D7200, Extra-Half-Brite \u2014 Lanterna");
    EXPECT_EQ(WindowTitle("deep.iff", Picture(320, 200, 24, 0)), "deep.iff \u2014 320\u00D7200, 24-bit \u2014 Lanterna");
    EXPECT_EQ(WindowTitle("deep12.iff", Picture(320, 200, 12, 0)),
              "deep12.iff \u2014 320\u00D7200, 12-bit \u2014 Lanterna");
    EXPECT_EQ(WindowTitle("d\xe9j\xe0.iff", Picture(16, 8, 1, 0)),
              "d\uFFFDj\uFFFD.iff \u2014 16\u00D78, 2 colours \u2014 Lanterna");
}

TEST(WindowTitle, TrueColourFormsAndLinePalettesAreNamedAsShown) {
    struct Case {
        uint32_t form;
        uint8_t planes;
        int32_t linePalettes;
        bool changes;
        const char* kind;
    } const cases[] = {
        {ID_ILBM, 4, 200, false, "true colour"},  // SHAM or CTBL
        {ID_ACBM, 5, 0, true, "true colour"},     // PCHG
        {ID_RGB8, 25, 0, false, "RGB8 true colour"}, {ID_RGBN, 13, 0, false, "RGBN true colour"},
        {ID_RGB8, 0, 0, false, "RGB8 true colour"},  {ID_DEEP, 32, 0, false, "DEEP true colour"},
        {ID_PBM, 0, 0, false, "256 colours"},
    };
    for (const Case& c : cases) {
        PictureInfo info = Picture(320, 200, c.planes, 0);
        info.formType = c.form;
        info.linePaletteCount = c.linePalettes;
        if (c.changes) info.paletteChanges = reinterpret_cast<PaletteChanges*>(&info);  // only looked at
        EXPECT_EQ(WindowTitle("p", info), std::string("p \u2014 320\u00D7200, ") + c.kind + " \u2014 Lanterna");
    }
}

}  // namespace
}  // namespace lanterna
