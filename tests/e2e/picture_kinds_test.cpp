// Pictures that need more than the plain reading, shown by build/lanterna
// and held against netpbm's ilbmtoppm.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/colour_maps.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class PictureKindsTest : public e2e::NetpbmTest {};

// Line palettes before the BMHD: the picture shows as with them after it
// (ilbmtoppm reads both alike; its HAM rounds otherwise than the screen, so
// SHAM is held against the other order only).
TEST_F(PictureKindsTest, LinePalettesBeforeTheHeaderShowTheSame) {
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

// A colour map in inks (CMYK: cyan, magenta, yellow, black a colour), as
// photo editors export it: alone, and with a CMAP before or after it (the
// CMAP wins), as ilbmtoppm reads them.
TEST_F(PictureKindsTest, ColoursComeFromTheInksUnlessThereIsACmap) {
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

// 16 bits a component on a screen of 8, each rounded to the nearest level:
// 48-plane RGB, 64-plane RGBA (masked, packed) and DEEP of 16-bit elements
// (plain and run-length, alpha first) of the same colours all show what
// ilbmtoppm reads of the first, rounded as netpbm rounds.
TEST_F(PictureKindsTest, ComponentsRoundToTheNearestLevel) {
    const int width = 37, height = 8;
    // Both sides of many rounding steps; pairs of equal pixels for runs.
    auto level = [](int x, int y, int c) { return uint64_t((x / 2 * 1777 + y * 8191 + c * 12345 + x / 2 * y % 7 * 128) % 65536); };
    std::vector<std::string> files;
    for (int planes : {48, 64}) {
        IlbmPicture wide;
        wide.header = SimpleHeader(width, height, planes, planes == 64 ? cmpByteRun1 : cmpNone,
                                   planes == 64 ? mskHasMask : mskNone);
        for (int i = 0; i < width * height; ++i) {
            const int x = i % width, y = i / width;
            wide.widePixels.push_back(level(x, y, 0) | level(x, y, 1) << 16 | level(x, y, 2) << 32 | uint64_t(x * 999) << 48);
            wide.mask.push_back(uint8_t(x % 3 != 0));
        }
        files.push_back(Save("wide" + std::to_string(planes) + ".iff", MakeIlbm(wide)));
    }
    for (uint16_t compression : {uint16_t(0), uint16_t(1)}) {
        DeepPicture deep;
        deep.width = width;
        deep.height = height;
        deep.compression = compression;
        deep.elements = {{4, 16}, {1, 16}, {2, 16}, {3, 16}};
        for (int i = 0; i < width * height; ++i) {
            deep.pixels.insert(deep.pixels.end(), {uint8_t(i), 0});
            for (int c = 0; c < 3; ++c) {
                const uint64_t v = level(i % width, i / width, c);
                deep.pixels.insert(deep.pixels.end(), {uint8_t(v >> 8), uint8_t(v)});
            }
        }
        files.push_back(Save("deep16-" + std::to_string(compression) + ".deep", MakeDeep(deep)));
    }
    ShowAndCompare(files, [&](size_t) { return Reference(files[0]); });
}

// A CAT or LIST of several pictures: each in turn, numbered in its line,
// as ilbmtoppm reads it alone (the second has no colour map, so it must
// look as it does alone, with nothing of the first), and Page Up goes back
// through them.
TEST_F(PictureKindsTest, EachPictureOfACatOrListIsShownInTurn) {
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
