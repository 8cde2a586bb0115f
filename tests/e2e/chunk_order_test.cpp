// Property chunks before the BMHD: a picture shows the same whatever the
// order of its chunks, as ilbmtoppm reads both alike.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/colour_maps.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

using test_support::Palette;

std::vector<std::vector<Rgb>> LinePalettes(int lines, int seed) {
    std::vector<std::vector<Rgb>> palettes(static_cast<size_t>(lines));
    for (int l = 0; l < lines; ++l)
        for (int i = 0; i < 16; ++i)
            palettes[size_t(l)].push_back({uint8_t((l * 3 + i + seed) % 16 * 17), uint8_t((l + i * 5) % 16 * 17),
                                           uint8_t((15 - i + l * 7) % 16 * 17)});
    return palettes;
}

IlbmPicture Picture(int width, int height, int planes, int seed) {
    IlbmPicture picture;
    picture.header = SimpleHeader(width, height, planes, seed % 2 == 0 ? cmpByteRun1 : cmpNone);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.pixels.push_back(uint32_t(x / 3 + y * 5 + seed) % (1u << planes));
    picture.colours = Palette(1 << planes, seed);
    return picture;
}

class ChunkOrderTest : public e2e::NetpbmTest {};

// Line palettes (CTBL, SHAM), palette changes (PCHG), a half-brite display
// mode and cycle ranges, each written after the BMHD and before it: both
// files show the same, the one ilbmtoppm reads as ilbmtoppm does.
TEST_F(ChunkOrderTest, PropertiesBeforeTheHeaderShowTheSame) {
    std::vector<IlbmPicture> pictures;
    std::vector<bool> netpbmReads;  // ilbmtoppm's HAM rounds otherwise than the screen
    IlbmPicture ctbl = Picture(33, 24, 4, 0);
    ctbl.extraChunks.push_back(MakeChunk("CTBL", EncodeLinePalettes(LinePalettes(24, 1), false)));
    pictures.push_back(ctbl);
    netpbmReads.push_back(true);
    IlbmPicture sham = Picture(45, 20, 6, 1);
    sham.colours = Palette(16, 1);
    sham.hasCamg = true;
    sham.camg = HAM;
    sham.extraChunks.push_back(MakeChunk("SHAM", EncodeLinePalettes(LinePalettes(20, 2), true)));
    pictures.push_back(sham);
    netpbmReads.push_back(false);
    IlbmPicture pchg = Picture(40, 18, 5, 2);
    PaletteChangeLines changes;
    changes.lines.resize(18);
    for (int i = 1; i < 18; i += 2) changes.lines[size_t(i)].push_back({uint16_t(i % 32), Rgb{uint8_t(i * 16), 0x80, 0x30}});
    pchg.extraChunks.push_back(MakeChunk("PCHG", EncodePaletteChanges(changes)));
    pictures.push_back(pchg);
    netpbmReads.push_back(true);
    IlbmPicture ehb = Picture(64, 10, 6, 3);
    ehb.colours = Palette(32, 3);
    ehb.hasCamg = true;
    ehb.camg = EXTRA_HALFBRITE;
    ehb.extraChunks.push_back(MakeChunk("CRNG", EncodeColourRange(0, 16384, RNG_ACTIVE, 2, 9)));
    pictures.push_back(ehb);
    netpbmReads.push_back(true);

    std::vector<std::string> files;
    for (size_t i = 0; i < pictures.size(); ++i) files.push_back(Save("after" + std::to_string(i) + ".iff", pictures[i]));
    for (size_t i = 0; i < pictures.size(); ++i) {
        pictures[i].propertiesFirst = true;
        files.push_back(Save("before" + std::to_string(i) + ".iff", pictures[i]));
    }
    const e2e::RunResult run = Lanterna(files);
    ASSERT_EQ(run.result, 0) << run.output << run.errors;
    ASSERT_EQ(SnapshotCount(), int(files.size()));
    for (size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE(files[i + pictures.size()]);
        const e2e::Image before = Snapshot(int(i + pictures.size()) + 1);
        ASSERT_TRUE(before.Valid());
        EXPECT_EQ(e2e::Difference(before, Snapshot(int(i) + 1)), "");
        if (netpbmReads[i]) {
            EXPECT_EQ(e2e::Difference(before, Reference(files[i + pictures.size()])), "");
        }
    }
}

}  // namespace
