// Pictures with PCHG palette changes, shown by build/lanterna on a 24-bit
// screen: colour-mapped ones compared pixel by pixel with netpbm's ilbmtoppm
// (both forms of changes, plain and Huffman packed, both BODY compressions,
// odd widths), HAM ones against the colours the display hardware gives, and
// damaged chunks refused.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/colour_maps.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;
using e2e::Image;

using test_support::Palette;

// Changes on some lines (every `step`th from `first`), of registers below
// `registers`; the 12-bit form keeps the top four bits of a component, so
// the colours are chosen from 16 levels in both forms but not both forms
// alike.
PaletteChangeLines Changes(int lines, int step, int first, int registers, bool big, bool huffman, int seed) {
    PaletteChangeLines c;
    c.big = big;
    c.huffman = huffman;
    c.lines.resize(size_t(lines));
    for (int i = first; i < lines; i += step) {
        for (int k = 0; k < 1 + (i + seed) % 5; ++k) {
            const uint16_t reg = uint16_t((i * 5 + k * 11 + seed) % registers);
            const uint8_t low = big ? uint8_t(i * 3 + k) : 0;
            c.lines[size_t(i)].push_back({reg, Rgb{uint8_t(((i * 7 + k * 3 + seed) % 16) * 16 + low % 16),
                                                   uint8_t(((i * 3 + 9 * k) % 16) * 16 + low % 7),
                                                   uint8_t(((k * 5 + seed + i) % 16) * 16)}});
        }
    }
    return c;
}

std::vector<uint32_t> Sweep(int width, int height, uint32_t values, int seed) {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(uint32_t((x / 3) * 7 + y * 5 + seed + (x * y) % 3) % values);
    return pixels;
}

class PaletteChangesTest : public e2e::NetpbmTest {};

// Colour-mapped pictures whose registers change from line to line: each
// row shows the colour map with every change of the rows above it and of its
// own line, as ilbmtoppm reads them. The changes reach registers past 15 in
// both forms (the 12-bit form's second group, 16..31).
TEST_F(PaletteChangesTest, ColourMappedRowsThroughTheChangedRegisters) {
    std::vector<std::string> files;
    int n = 0;
    for (bool big : {false, true}) {
        for (bool huffman : {false, true}) {
            for (int width : {33, 45}) {
                const int planes = 5 - n % 2;
                const int height = 20 + n;
                IlbmPicture picture;
                picture.header = SimpleHeader(width, height, planes, n % 3 == 0 ? cmpNone : cmpByteRun1);
                picture.pixels = Sweep(width, height, 1u << planes, n);
                picture.colours = Palette(1 << planes, n);
                // Fewer lines than rows: the last changes stay in force.
                const PaletteChangeLines changes =
                    Changes(height - 4, 1 + n % 3, n % 2, 1 << planes, big, huffman, n);
                picture.extraChunks.push_back(MakeChunk("PCHG", EncodePaletteChanges(changes)));
                files.push_back(Save("pchg" + std::to_string(n++) + ".iff", picture));
            }
        }
    }
    ShowAndCompare(files, [&](size_t i) { return Reference(files[i]); });
}

// HAM6 with palette changes: the base colours of each row are the changed
// registers 0..15. The expected colours follow the display hardware (each
// row starts from colour 0, a modify repeats its four bits), as for the other
// HAM pictures; ilbmtoppm starts from black and widens differently.
TEST_F(PaletteChangesTest, HamRowsLoadTheChangedBaseColours) {
    std::vector<std::string> files;
    std::vector<Image> expected;
    int n = 0;
    for (bool big : {false, true}) {
        for (bool huffman : {false, true}) {
            const int width = 37, height = 24;
            IlbmPicture picture;
            picture.header = SimpleHeader(width, height, 6, n % 2 == 0 ? cmpByteRun1 : cmpNone);
            picture.hasCamg = true;
            picture.camg = HAM;
            picture.colours = Palette(16, n);
            picture.pixels = Sweep(width, height, 64, n);
            const PaletteChangeLines changes = Changes(height, 2, 0, 16, big, huffman, n);
            picture.extraChunks.push_back(MakeChunk("PCHG", EncodePaletteChanges(changes)));
            files.push_back(Save("ham-pchg" + std::to_string(n++) + ".iff", picture));
            std::vector<Rgb> registers = picture.colours;
            Image image{width, height, {}};
            for (int y = 0; y < height; ++y) {
                for (const PaletteChange& c : changes.lines[size_t(y)]) {
                    Rgb colour = c.colour;
                    if (!big) colour = Rgb{uint8_t((colour.r >> 4) * 17), uint8_t((colour.g >> 4) * 17),
                                           uint8_t((colour.b >> 4) * 17)};
                    registers[c.reg] = colour;
                }
                e2e::AppendHamRow(image, picture.pixels, y, width, registers);
            }
            expected.push_back(image);
        }
    }
    ShowAndCompare(files, [&](size_t i) { return expected[i]; });
}

// A PCHG whose line mask or counts claim more than the chunk holds is
// refused before anything is drawn.
TEST_F(PaletteChangesTest, DamagedChangesAreCorrupt) {
    IlbmPicture picture;
    picture.header = SimpleHeader(16, 8, 4, cmpByteRun1);
    picture.pixels = Sweep(16, 8, 16, 1);
    picture.colours = Palette(16, 1);
    Bytes data = EncodePaletteChanges(Changes(8, 1, 0, 16, true, false, 1));
    PutBE16(data, 6, 60000);  // a mask of 60000 lines
    picture.extraChunks.push_back(MakeChunk("PCHG", data));
    const std::string file = Save("damaged.iff", picture);
    const e2e::RunResult run = Lanterna({file});
    EXPECT_NE(run.output.find("Data in file is corrupt"), std::string::npos) << run.output;
}

}  // namespace
