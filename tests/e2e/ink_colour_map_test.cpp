// A colour map in inks (CMYK: cyan, magenta, yellow, black a colour), as
// photo editors export it: alone, and with a CMAP before or after it (the
// CMAP wins), as ilbmtoppm reads them.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/colour_maps.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class InkColourMapTest : public e2e::NetpbmTest {};

TEST_F(InkColourMapTest, ColoursComeFromTheInksUnlessThereIsACmap) {
    std::vector<std::string> files;
    for (int cmap : {0, 1, 2}) {  // none, before the inks, after them
        const int planes = cmap == 0 ? 8 : 5;
        IlbmPicture picture;
        picture.header = SimpleHeader(35, 12, planes, cmap == 1 ? cmpByteRun1 : cmpNone);
        for (int i = 0; i < 35 * 12; ++i) picture.pixels.push_back(uint32_t(i * 7 + i / 35) % (1u << planes));
        Bytes inks;
        for (int i = 0; i < 1 << planes; ++i)
            inks.insert(inks.end(), {uint8_t(i * 37), uint8_t(i * 91 + 5), uint8_t(i * 53 + 7), uint8_t(i % 3 ? i * 29 : 0)});
        const Bytes map = MakeChunk("CMAP", EncodeColourMap(test_support::Palette(1 << planes, cmap)));
        if (cmap == 1) picture.extraChunks.push_back(map);
        picture.extraChunks.push_back(MakeChunk("CMYK", inks));
        if (cmap == 2) picture.extraChunks.push_back(map);
        files.push_back(Save("cmyk" + std::to_string(cmap) + ".iff", picture));
    }
    ShowAndCompare(files, [&](size_t i) { return Reference(files[i]); });
}

}  // namespace
