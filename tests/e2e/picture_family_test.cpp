// Pictures beyond plain ILBM, shown by build/lanterna and compared pixel by
// pixel with netpbm's ilbmtoppm: deep pictures with every masking, 32-plane
// RGBA, BODYs packed as one ByteRun1 stream, Extra-Half-Brite with a short
// colour map, files cut short, and the chunky FORM PBM.
#include <algorithm>
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

// Pixel values that sweep `values` in stripes and steps, with runs long
// enough for ByteRun1 to pack and short stretches that stay literal.
std::vector<uint32_t> Sweep(int width, int height, uint64_t values, int seed) {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint64_t v = uint64_t((x / 5) * 7 + y * 13 + seed + (x * y) % 3);
            pixels.push_back(uint32_t(v % values));
        }
    }
    return pixels;
}

IlbmPicture ColourMapped(int width, int height, int planes, uint8_t compression, int seed) {
    IlbmPicture picture;
    picture.header = SimpleHeader(width, height, planes, compression);
    picture.pixels = Sweep(width, height, uint64_t(1) << planes, seed);
    picture.colours = Palette(1 << planes, seed);
    return picture;
}

IlbmPicture Deep(int width, int height, int planes, uint8_t compression, uint8_t masking) {
    IlbmPicture picture;
    picture.header = SimpleHeader(width, height, planes, compression, masking);
    const int bits = planes == 32 ? 8 : planes / 3;
    const uint32_t top = (1u << bits) - 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t v = DeepPixel(uint32_t(x / 2 * 3) & top, uint32_t(y * 7) & top, uint32_t((x + y) / 4 * 5) & top, bits);
            picture.pixels.push_back(v);
            picture.mask.push_back(uint8_t((x + y) % 3 != 0));
        }
    }
    return picture;
}

class PictureFamilyTest : public e2e::NetpbmTest {
protected:

    // Shows every file in one run; snapshot i must equal ilbmtoppm's reading
    // of references[i].
    void Compare(const std::vector<std::string>& files, const std::vector<std::string>& references) {
        ShowAndCompare(files, [&](size_t i) { return Reference(references[i]); });
    }
    void Compare(const std::vector<std::string>& files) { Compare(files, files); }
};

// Masking 2 (a transparent colour) and 3 (lasso) describe how a picture is
// to be cut out and change none of its pixels; masking 1 adds a mask plane
// to every row, which is read and not shown.
TEST_F(PictureFamilyTest, DeepPicturesWithEveryMasking) {
    std::vector<std::string> files;
    for (uint8_t masking : {mskHasMask, mskHasTransparentColor, mskLasso}) {
        for (int planes : {24, 12}) {
            const uint8_t compression = (planes + masking) % 2 == 0 ? cmpByteRun1 : cmpNone;
            const int width = planes == 24 ? 45 : 16;
            files.push_back(Save("deep" + std::to_string(planes) + "-mask" + std::to_string(masking) + ".iff",
                                 Deep(width, 11, planes, compression, masking)));
        }
    }
    files.push_back(Save("deep12-mask1-packed.iff", Deep(33, 7, 12, cmpByteRun1, mskHasMask)));
    Compare(files);
}

// 32 planes are 8 bits each of red, green, blue and alpha. The alpha planes
// do not change a pixel's colour, whether it is opaque, partly transparent
// or clear: the picture shows what its 24 colour planes show. ilbmtoppm
// does not read 32 planes, so it reads the same picture without them.
TEST_F(PictureFamilyTest, RgbaPicturesShowTheirColourPlanes) {
    std::vector<std::string> files, references;
    int n = 0;
    for (uint8_t compression : {cmpNone, cmpByteRun1}) {
        for (uint8_t masking : {mskNone, mskHasMask}) {
            for (int width : {13, 64}) {
                IlbmPicture rgb = Deep(width, 9, 24, compression, masking);
                IlbmPicture rgba = rgb;
                rgba.header.nPlanes = 32;
                for (size_t i = 0; i < rgba.pixels.size(); ++i) {
                    const uint32_t alpha = i % 3 == 0 ? 0xFF : i % 3 == 1 ? uint32_t(i * 37 % 255) : 0;
                    rgba.pixels[i] |= alpha << 24;
                }
                const std::string name = "rgba" + std::to_string(n++);
                files.push_back(Save(name + ".iff", rgba));
                references.push_back(Save(name + "-rgb.iff", rgb));
            }
        }
    }
    Compare(files, references);
}

// Some writers pack the whole BODY as one ByteRun1 stream, with runs that
// pass the ends of plane rows and picture rows. Such a file shows what the
// same picture packed row by row shows (ilbmtoppm refuses the stream form,
// so it reads the row-by-row file).
TEST_F(PictureFamilyTest, ByteRun1StreamsAcrossRowsShowTheirPicture) {
    std::vector<IlbmPicture> pictures;
    pictures.push_back(ColourMapped(37, 14, 4, cmpByteRun1, 1));
    pictures.push_back(ColourMapped(64, 9, 8, cmpByteRun1, 2));
    IlbmPicture flat = ColourMapped(16, 20, 3, cmpByteRun1, 3);
    for (size_t i = 0; i < flat.pixels.size(); ++i) flat.pixels[i] = i < 200 ? 5 : 2;  // runs of many rows
    pictures.push_back(flat);
    IlbmPicture masked = ColourMapped(29, 6, 5, cmpByteRun1, 4);
    masked.header.masking = mskHasMask;
    masked.mask.assign(29 * 6, 1);
    pictures.push_back(masked);
    pictures.push_back(Deep(21, 8, 24, cmpByteRun1, mskNone));
    std::vector<std::string> files, references;
    for (size_t i = 0; i < pictures.size(); ++i) {
        IlbmPicture stream = pictures[i];
        stream.packAsStream = true;
        ASSERT_NE(MakeBodyData(stream), MakeBodyData(pictures[i]));  // the two forms differ
        files.push_back(Save("stream" + std::to_string(i) + ".iff", stream));
        references.push_back(Save("rows" + std::to_string(i) + ".iff", pictures[i]));
    }
    Compare(files, references);
}

// Values 32..63 of a half-brite picture show colours 0..31 at half
// brightness; colours the map leaves out are black, and so are their halves.
TEST_F(PictureFamilyTest, ExtraHalfBriteWithFewerThan32Colours) {
    IlbmPicture ehb = ColourMapped(64, 8, 6, cmpByteRun1, 5);
    ehb.colours = Palette(16, 7);
    ehb.colours[3] = {255, 255, 255};
    ehb.hasCamg = true;
    ehb.camg = EXTRA_HALFBRITE;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x) ehb.pixels[size_t(y) * 64 + x] = uint32_t(x);  // every value
    const std::string file = Save("ehb16.iff", ehb);
    const e2e::RunResult run = Lanterna({file});
    ASSERT_EQ(run.result, 0) << run.output;
    ASSERT_EQ(SnapshotCount(), 1);
    Image expected{64, 8, {}};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x) {
            const int base = x & 31;
            Rgb c = base < 16 ? ehb.colours[size_t(base)] : Rgb{};
            if (x >= 32) c = {uint8_t(c.r >> 1), uint8_t(c.g >> 1), uint8_t(c.b >> 1)};
            expected.rgb.insert(expected.rgb.end(), {c.r, c.g, c.b});
        }
    EXPECT_EQ(e2e::Difference(Snapshot(1), expected), "");
}

IlbmPicture Chunky(int width, int height, uint8_t compression, int seed) {
    IlbmPicture picture = ColourMapped(width, height, 8, compression, seed);
    picture.formType = "PBM ";
    return picture;
}

// The same picture with rows of exactly `w` bytes. netpbm 11's ilbmtoppm
// reads PBM rows that way and refuses (or misreads) the padding byte that
// the format puts after every row of odd width, so for odd widths it is
// given this form of the picture to read.
IlbmPicture AsNetpbmReadsIt(const IlbmPicture& picture) {
    IlbmPicture unpadded = picture;
    const int width = picture.header.w;
    Bytes rows;
    for (uint32_t v : picture.pixels) rows.push_back(uint8_t(v));
    unpadded.body = picture.header.compression == cmpByteRun1 ? PackBody(rows, width) : rows;
    return unpadded;
}

// FORM PBM holds one byte a pixel, each row padded to an even length,
// plain or packed; it shares the header and colour chunks of ILBM.
TEST_F(PictureFamilyTest, ChunkyPbmPictures) {
    std::vector<std::string> files, references;
    for (int width : {1, 2, 15, 16, 17, 100, 321}) {
        for (uint8_t compression : {cmpNone, cmpByteRun1}) {
            const std::string name = "pbm" + std::to_string(width) + "-" + std::to_string(compression);
            const IlbmPicture picture = Chunky(width, 9 - compression * 4, compression, width + compression);
            files.push_back(Save(name + ".lbm", picture));
            references.push_back(width % 2 == 0 ? files.back() : Save(name + "-netpbm.lbm", AsNetpbmReadsIt(picture)));
        }
    }
    // A HAM or half-brite mode word changes nothing in a chunky picture.
    IlbmPicture moded = Chunky(40, 6, cmpByteRun1, 4);
    moded.hasCamg = true;
    moded.camg = HAM | EXTRA_HALFBRITE;
    files.push_back(Save("pbm-camg.lbm", moded));
    references.push_back(files.back());
    Compare(files, references);
}

TEST_F(PictureFamilyTest, ChunkyPbmPackedAsOneStream) {
    IlbmPicture rows = Chunky(38, 11, cmpByteRun1, 6);
    for (size_t i = 0; i < 150; ++i) rows.pixels[i] = 77;  // a run over four rows
    IlbmPicture stream = rows;
    stream.packAsStream = true;
    ASSERT_NE(MakeBodyData(stream), MakeBodyData(rows));
    Compare({Save("stream.lbm", stream)}, {Save("rows.lbm", rows)});
}

// A PBM cycles its colours as an ILBM does: Tab starts the cycling (one
// step happens while it is up, as the range is set up in cycling_test),
// and with CENTER the next picture reuses its 8-bit screen.
TEST_F(PictureFamilyTest, ChunkyPbmCyclesAndSharesTheScreenWithCenter) {
    const std::vector<Rgb> colours = {{200, 16, 16}, {16, 200, 16}, {16, 16, 200}, {220, 220, 40},
                                      {90, 90, 90}, {250, 250, 250}, {0, 0, 0}, {120, 40, 160}};
    IlbmPicture pbm;
    pbm.formType = "PBM ";
    pbm.header = SimpleHeader(32, 4, 8, cmpByteRun1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 32; ++x) pbm.pixels.push_back(uint32_t(x / 4));
    pbm.colours = colours;
    pbm.extraChunks.push_back(MakeChunk("CRNG", EncodeColourRange(16384 - 37, 37, RNG_ACTIVE, 1, 4)));
    const std::string file = Save("cycle.lbm", pbm);
    const e2e::RunResult run = Lanterna({file, "WAIT=1"}, {"LANTERNA_INPUT=tab,none"});
    ASSERT_EQ(run.result, 0) << run.output << run.errors;
    ASSERT_EQ(SnapshotCount(), 1);
    const Image shown = Snapshot(1);
    ASSERT_TRUE(shown.Valid());
    const int forward[] = {0, 4, 1, 2, 3, 5, 6, 7};  // every colour of the range one index up
    for (int band = 0; band < 8; ++band) {
        const uint8_t* p = shown.At(band * 4 + 1, 1);
        const Rgb& want = colours[size_t(forward[band])];
        EXPECT_TRUE(p[0] == want.r && p[1] == want.g && p[2] == want.b) << "band " << band;
    }

    // CENTER: a small PBM on the screen of a bigger ILBM before it.
    IlbmPicture big = ColourMapped(60, 30, 8, cmpByteRun1, 2);
    IlbmPicture small = Chunky(20, 10, cmpNone, 3);
    small.colours[40] = {0, 0, 0};
    const std::vector<std::string> files = {Save("big.iff", big), Save("small.lbm", small)};
    const e2e::RunResult centred = Lanterna({"CENTER", files[0], files[1]});
    ASSERT_EQ(centred.result, 0) << centred.output;
    ASSERT_EQ(SnapshotCount(), 2);
    const Image smallRef = Reference("small.lbm");
    ASSERT_TRUE(smallRef.Valid());
    Image expected{60, 30, {}};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            if (x >= 20 && x < 40 && y >= 10 && y < 20) {
                const uint8_t* p = smallRef.At(x - 20, y - 10);
                expected.rgb.insert(expected.rgb.end(), p, p + 3);
            } else {
                expected.rgb.insert(expected.rgb.end(), {0, 0, 0});
            }
        }
    EXPECT_EQ(e2e::Difference(Snapshot(2), expected), "");
}

// RGB8 and RGBN: runs of one colour over the whole picture (a run may pass
// the end of a row), the count in the pixel word, in a byte after it or in
// a 16-bit word; RGBN keeps four bits of each component.
IlbmPicture TrueColour(const char* form, int width, int height, int seed) {
    IlbmPicture picture;
    picture.formType = form;
    const bool rgbn = picture.formType == "RGBN";
    picture.header = SimpleHeader(width, height, rgbn ? 13 : 25, cmpRgbn);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t v = (uint32_t((x / 6) * 37 + seed) & 0xFF) << 16 | (uint32_t(y * 19) & 0xFF) << 8 |
                         (uint32_t((x + y) / 3 * 11) & 0xFF);
            if (y < 3) v = 0x406080;  // a run over three whole rows
            picture.pixels.push_back(rgbn ? (v & 0xF0F0F0) | ((v & 0xF0F0F0) >> 4) : v);
        }
    return picture;
}

TEST_F(PictureFamilyTest, Rgb8AndRgbnRunsOfColour) {
    std::vector<std::string> files;
    for (const char* form : {"RGB8", "RGBN"}) {
        for (int width : {1, 17, 100, 320}) {
            IlbmPicture picture = TrueColour(form, width, 12, width);
            files.push_back(Save(std::string(form) + "-" + std::to_string(width) + ".iff", picture));
            // Every count in a byte or a word instead of the pixel word.
            picture.body = MakeRgbnBody(picture.pixels, picture.formType == "RGBN", 1);
            files.push_back(Save(std::string(form) + "-" + std::to_string(width) + "-long-counts.iff", picture));
        }
    }
    Compare(files);
}

// ACBM: the planes one after another in an ABIT chunk, never packed.
// netpbm 11's ilbmtoppm does not read ACBM, so it reads the same picture
// written as an ILBM (the same planes, interleaved row by row).
TEST_F(PictureFamilyTest, AcbmContiguousPlanes) {
    std::vector<std::string> files, references;
    auto add = [&](const std::string& name, IlbmPicture picture) {
        references.push_back(Save(name + "-ilbm.iff", picture));
        picture.formType = "ACBM";
        files.push_back(Save(name + ".iff", picture));
    };
    for (int planes = 1; planes <= 8; ++planes) {
        IlbmPicture picture = ColourMapped(13 + planes * 11, 5 + planes, planes, cmpNone, planes);
        picture.hasCamg = planes == 6;  // six planes: not HAM
        add("acbm" + std::to_string(planes), picture);
    }
    IlbmPicture masked = ColourMapped(40, 9, 4, cmpNone, 9);
    masked.header.masking = mskHasMask;
    for (int i = 0; i < 40 * 9; ++i) masked.mask.push_back(uint8_t(i % 7 != 0));
    add("acbm-masked", masked);
    add("acbm-deep", Deep(21, 6, 24, cmpNone, mskNone));
    Compare(files, references);
}

// 16 colours of 12 bits (each component's low four bits repeat its high
// ones, so nothing is lost in the chunk) for line `line`.
std::vector<Rgb> LinePalette(int line, int seed) {
    std::vector<Rgb> colours;
    for (int i = 0; i < 16; ++i) {
        const int r = (line * 3 + i + seed) % 16, g = (line + i * 5) % 16, b = (15 - i + line * 7) % 16;
        colours.push_back({uint8_t(r * 17), uint8_t(g * 17), uint8_t(b * 17)});
    }
    return colours;
}

std::vector<std::vector<Rgb>> LinePalettes(int lines, int seed) {
    std::vector<std::vector<Rgb>> palettes;
    for (int l = 0; l < lines; ++l) palettes.push_back(LinePalette(l, seed));
    return palettes;
}

// CTBL: a colour-mapped picture with new colours 0..15 on every line, on a
// 24-bit screen. Where the chunk holds fewer palettes than the picture has
// rows, the last one stays in force; an interlaced picture has one palette
// a row too, as ilbmtoppm reads them.
TEST_F(PictureFamilyTest, CtblChangesTheColoursEveryLine) {
    std::vector<std::string> files;
    int n = 0;
    for (int height : {12, 30}) {
        for (int lines : {12, 5, 200}) {
            IlbmPicture ctbl = ColourMapped(33, height, 4 + n % 2, n % 2 == 0 ? cmpNone : cmpByteRun1, n);
            ctbl.extraChunks.push_back(MakeChunk("CTBL", EncodeLinePalettes(LinePalettes(lines, n + 3), false)));
            files.push_back(Save("ctbl" + std::to_string(n++) + ".iff", ctbl));
        }
    }
    IlbmPicture laced = ColourMapped(40, 400, 4, cmpByteRun1, 9);
    laced.hasCamg = true;
    laced.camg = LACE | HIRES;
    laced.extraChunks.push_back(MakeChunk("CTBL", EncodeLinePalettes(LinePalettes(200, 1), false)));
    files.push_back(Save("ctbl-laced.iff", laced));
    Compare(files);
}

// SHAM: HAM6 with a new base palette on every line, the rows of which are
// chosen as for CTBL. ilbmtoppm widens a HAM modify value v to v * 16 (15
// gives 240) where the display hardware repeats the four bits (15 gives
// 255, as for every other HAM picture here), and it starts each row from
// black: so the colours are worked out here, with the hardware's rules,
// from the line palettes.
TEST_F(PictureFamilyTest, ShamChangesTheHamPaletteEveryLine) {
    std::vector<std::string> files;
    std::vector<Image> expected;
    int n = 0;
    for (int height : {12, 30}) {
        for (int lines : {12, 5, 200}) {
            IlbmPicture sham = ColourMapped(45, height, 6, n % 2 == 0 ? cmpByteRun1 : cmpNone, n);
            sham.hasCamg = true;
            sham.camg = HAM;
            sham.colours = Palette(16, n);
            for (int y = 0; y < height; ++y) sham.pixels[size_t(y) * 45 + 1] = uint32_t(0x20 | y % 16);
            const auto palettes = LinePalettes(lines, n);
            sham.extraChunks.push_back(MakeChunk("SHAM", EncodeLinePalettes(palettes, true)));
            files.push_back(Save("sham" + std::to_string(n++) + ".iff", sham));
            Image image{45, height, {}};
            for (int y = 0; y < height; ++y) {
                e2e::AppendHamRow(image, sham.pixels, y, 45, palettes[size_t(std::min(y, lines - 1))]);
            }
            expected.push_back(image);
        }
    }
    ShowAndCompare(files, [&](size_t i) { return expected[i]; });
}

// Extra-Half-Brite with a palette for every line (CTBL, or SHAM on a
// picture that is not HAM): values 32..63 show registers 0..31 at half
// brightness, so 32..47 are the halves of the line's own colours, 48..63
// those of the colour map's 16..31; the last palette stays in force.
TEST_F(PictureFamilyTest, HalfBriteHalvesTheColoursOfEachLine) {
    const int width = 64, height = 10;
    std::vector<std::string> files;
    std::vector<Image> expected;
    int n = 0;
    for (bool sham : {false, true}) {
        for (int lines : {height, 4}) {
            IlbmPicture ehb = ColourMapped(width, height, 6, cmpByteRun1, n);
            ehb.colours = Palette(32, n);
            ehb.hasCamg = true;
            ehb.camg = EXTRA_HALFBRITE;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) ehb.pixels[size_t(y) * width + x] = uint32_t(x + y) % 64;
            const auto palettes = LinePalettes(lines, n);
            ehb.extraChunks.push_back(MakeChunk(sham ? "SHAM" : "CTBL", EncodeLinePalettes(palettes, sham)));
            files.push_back(Save("ehb-lines" + std::to_string(n++) + ".iff", ehb));
            Image image{width, height, {}};
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const uint32_t value = ehb.pixels[size_t(y) * width + x], reg = value & 31;
                    Rgb c = reg < 16 ? palettes[size_t(std::min(y, lines - 1))][reg] : ehb.colours[reg];
                    if (value >= 32) c = {uint8_t(c.r >> 1), uint8_t(c.g >> 1), uint8_t(c.b >> 1)};
                    image.rgb.insert(image.rgb.end(), {c.r, c.g, c.b});
                }
            expected.push_back(image);
        }
    }
    ShowAndCompare(files, [&](size_t i) { return expected[i]; });
}

// Where the BODY's data starts in a file made by MakeIlbm (the BODY is the
// last chunk, padded to an even length).
size_t BodyStart(const Bytes& file, const Bytes& body) { return file.size() - body.size() - (body.size() & 1); }

// The expected screen of a picture drawn down to row `rows` (excluded): the
// reference's rows, then the background pen.
Image DrawnRows(const Image& reference, int rows, Rgb background) {
    Image expected = reference;
    for (int y = rows; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            uint8_t* p = &expected.rgb[(size_t(y) * expected.width + x) * 3];
            p[0] = background.r;
            p[1] = background.g;
            p[2] = background.b;
        }
    return expected;
}

// A file cut short inside its BODY (a copy or download that stopped): every
// row whose data is complete is drawn, also those whose packed data was
// already read ahead, and the picture is viewed as far as it was drawn.
TEST_F(PictureFamilyTest, FilesCutShortShowEveryCompleteRow) {
    struct Case {
        std::string name;
        IlbmPicture picture;
        int rows;  // complete rows left in the file
    };
    std::vector<Case> cases;
    cases.push_back({"packed-big.iff", ColourMapped(320, 200, 5, cmpByteRun1, 1), 97});
    cases.push_back({"packed-small.iff", ColourMapped(41, 12, 3, cmpByteRun1, 2), 5});
    cases.push_back({"plain.iff", ColourMapped(100, 60, 4, cmpNone, 3), 23});
    cases.push_back({"deep.iff", Deep(30, 20, 24, cmpByteRun1, mskNone), 11});
    cases[0].picture.colours[9] = {0, 0, 0};  // the background of the colour-mapped ones
    cases[1].picture.colours[2] = {0, 0, 0};
    cases[2].picture.colours[14] = {0, 0, 0};
    std::vector<std::string> files;
    for (Case& c : cases) {
        const Bytes whole = MakeIlbm(c.picture);
        Save("whole-" + c.name, whole);
        const Bytes body = MakeBodyData(c.picture);
        // The packed length of the complete rows, then half of the next row.
        IlbmPicture head = c.picture;
        head.header.h = uint16_t(c.rows);
        const size_t complete = MakeBodyData(head).size();
        head.header.h = uint16_t(c.rows + 1);
        const size_t withNext = MakeBodyData(head).size();
        const size_t cut = BodyStart(whole, body) + complete + (withNext - complete) / 2;
        files.push_back(Save(c.name, Truncated(whole, cut)));
    }
    const e2e::RunResult run = Lanterna(files);
    ASSERT_EQ(run.result, 0) << run.output << run.errors;
    ASSERT_EQ(SnapshotCount(), int(files.size())) << run.output;
    EXPECT_EQ(run.output.find("error"), std::string::npos) << run.output;
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const Image reference = Reference("whole-" + cases[i].name);
        ASSERT_TRUE(reference.Valid());
        EXPECT_EQ(e2e::Difference(Snapshot(int(i) + 1), DrawnRows(reference, cases[i].rows, Rgb{})), "");
    }
}

}  // namespace
