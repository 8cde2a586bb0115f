// Line palettes before the BMHD: the picture shows as with them after it
// (ilbmtoppm reads both alike; its HAM rounds otherwise than the screen, so
// SHAM is held against the other order only).
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/colour_maps.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class ChunkOrderTest : public e2e::NetpbmTest {};

TEST_F(ChunkOrderTest, LinePalettesBeforeTheHeaderShowTheSame) {
    std::vector<std::string> files;
    for (bool sham : {false, true}) {
        const int width = 33, height = 24, planes = sham ? 6 : 4;
        IlbmPicture picture;
        picture.header = SimpleHeader(width, height, planes, sham ? cmpByteRun1 : cmpNone);
        for (int i = 0; i < width * height; ++i) picture.pixels.push_back(uint32_t(i / 3 + i / width * 5) % (1u << planes));
        picture.colours = test_support::Palette(16, planes);
        picture.hasCamg = sham;
        picture.camg = HAM;
        std::vector<std::vector<Rgb>> lines(height);
        for (int l = 0; l < height; ++l)
            for (int i = 0; i < 16; ++i) lines[size_t(l)].push_back({uint8_t((l * 3 + i) % 16 * 17), uint8_t(l * 11), uint8_t(i * 17)});
        picture.extraChunks.push_back(MakeChunk(sham ? "SHAM" : "CTBL", EncodeLinePalettes(lines, sham)));
        for (bool first : {false, true}) {
            picture.propertiesFirst = first;
            files.push_back(Save(std::string(sham ? "sham" : "ctbl") + (first ? "-first" : "") + ".iff", picture));
        }
    }
    ShowAndCompare(files, [&](size_t i) { return i >= 2 ? Snapshot(3) : Reference(files[i]); });
}

}  // namespace
