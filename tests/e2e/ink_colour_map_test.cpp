// The colour map given in inks (a CMYK chunk, four bytes a colour: cyan,
// magenta, yellow, black), as photo editors export it, against ilbmtoppm's
// reading: alone, and with a CMAP before or after it (the CMAP wins).
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/colour_maps.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class InkColourMapTest : public e2e::NetpbmTest {};

TEST_F(InkColourMapTest, ColoursComeFromTheInksUnlessThereIsACmap) {
    struct Case {
        int planes;
        int inkColours;
        int cmap;        // 0 none, 1 before the CMYK, 2 after it
    };
    const Case cases[] = {{8, 256, 0}, {5, 32, 0}, {8, 256, 1}, {4, 16, 2}};
    std::vector<std::string> files;
    int n = 0;
    for (const Case& c : cases) {
        const int width = 35, height = 12;
        IlbmPicture picture;
        picture.header = SimpleHeader(width, height, c.planes, n % 2 == 0 ? cmpByteRun1 : cmpNone);
        for (int i = 0; i < width * height; ++i) picture.pixels.push_back(uint32_t(i * 7 + i / width) % (1u << c.planes));
        Bytes inks;
        for (int i = 0; i < c.inkColours; ++i) {
            inks.insert(inks.end(), {uint8_t(i * 37), uint8_t(i * 91 + 5), uint8_t(i * 53 + 7), uint8_t(i % 3 == 0 ? 0 : i * 29)});
        }
        const Bytes cmap = MakeChunk("CMAP", EncodeColourMap(test_support::Palette(1 << c.planes, n)));
        if (c.cmap == 1) picture.extraChunks.push_back(cmap);
        picture.extraChunks.push_back(MakeChunk("CMYK", inks));
        if (c.cmap == 2) picture.extraChunks.push_back(cmap);
        files.push_back(Save("cmyk" + std::to_string(n++) + ".iff", picture));
    }
    ShowAndCompare(files, [&](size_t i) { return Reference(files[i]); });
}

}  // namespace
