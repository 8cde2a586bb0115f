// What build/lanterna puts on the screen, read back from the headless
// backend's snapshots and compared pixel by pixel: with netpbm's ilbmtoppm
// for colour-mapped and deep pictures, and with colours worked out here for
// HAM (where ilbmtoppm starts each row from black instead of colour 0, as
// the display hardware does) and for placement on a reused screen.
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

// A picture whose pixel values sweep every colour in stripes and steps.
IlbmPicture Picture(int width, int height, int planes, uint8_t compression, int seed = 0) {
    IlbmPicture picture;
    picture.header = SimpleHeader(width, height, planes, compression);
    const uint32_t values = planes >= 32 ? 0xFFFFFFFFu : (1u << planes);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t v = uint32_t((x / 3) * 5 + y * 11 + seed + (x * y) % 7);
            picture.pixels.push_back(v % values);
        }
    }
    if (planes <= 8) picture.colours = Palette(1 << planes, seed);
    return picture;
}

class PixelsTest : public e2e::NetpbmTest {
protected:
    // Shows every file in one run and compares snapshot i with ilbmtoppm.
    void CompareWithReference(const std::vector<std::string>& files) {
        ShowAndCompare(files, [&](size_t i) { return Reference(files[i]); });
    }
};

TEST_F(PixelsTest, ColourMappedPicturesOfEveryDepth) {
    std::vector<std::string> files;
    for (int planes = 1; planes <= 8; ++planes) {
        const uint8_t compression = planes % 2 == 0 ? cmpByteRun1 : cmpNone;
        IlbmPicture picture = Picture(37 + planes * 9, 23 + planes, planes, compression, planes);
        // Six planes without a display mode would be HAM; say they are not.
        picture.hasCamg = planes == 6;
        picture.camg = 0;
        files.push_back(Save("cm" + std::to_string(planes) + ".iff", picture));
    }
    CompareWithReference(files);
}

TEST_F(PixelsTest, OddWidthsAndMasks) {
    std::vector<std::string> files;
    for (int width : {1, 15, 16, 17, 100, 321}) {
        files.push_back(Save("w" + std::to_string(width) + ".iff", Picture(width, 9, 4, cmpByteRun1, width)));
    }
    IlbmPicture masked = Picture(45, 12, 5, cmpByteRun1, 3);
    masked.header.masking = mskHasMask;
    for (int i = 0; i < 45 * 12; ++i) masked.mask.push_back(uint8_t(i % 3 != 0));
    files.push_back(Save("masked.iff", masked));
    IlbmPicture plainMasked = Picture(20, 6, 3, cmpNone, 4);
    plainMasked.header.masking = mskHasMask;
    plainMasked.mask.assign(20 * 6, 1);
    files.push_back(Save("masked-plain.iff", plainMasked));
    CompareWithReference(files);
}

TEST_F(PixelsTest, DeepPictures) {
    std::vector<std::string> files;
    IlbmPicture deep24 = Picture(50, 20, 24, cmpByteRun1);
    IlbmPicture deep12 = Picture(33, 15, 12, cmpNone);
    deep24.pixels.clear();
    deep12.pixels.clear();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 50; ++x) deep24.pixels.push_back(DeepPixel(x * 5, y * 13, (x ^ y) * 3, 8));
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 33; ++x) deep12.pixels.push_back(DeepPixel(x % 16, y, (x + y) % 16, 4));
    files.push_back(Save("deep24.iff", deep24));
    files.push_back(Save("deep12.iff", deep12));
    CompareWithReference(files);
}

TEST_F(PixelsTest, ExtraHalfBriteWithItsDisplayMode) {
    IlbmPicture ehb = Picture(64, 10, 6, cmpByteRun1, 2);
    ehb.colours = Palette(32, 9);
    ehb.colours[5] = {255, 255, 255};
    ehb.hasCamg = true;
    ehb.camg = EXTRA_HALFBRITE;
    CompareWithReference({Save("ehb.iff", ehb)});
}

// Wide and tall pixels: rows drawn twice for high resolution without
// interlace, pixels drawn twice for interlace without high resolution.
TEST_F(PixelsTest, AspectDoublesRowsOrPixels) {
    IlbmPicture hires = Picture(640, 20, 3, cmpByteRun1, 1);
    hires.hasCamg = true;
    hires.camg = HIRES;
    IlbmPicture lace = Picture(160, 400, 2, cmpNone, 2);
    lace.hasCamg = true;
    lace.camg = LACE;
    const std::vector<std::string> files = {Save("hires.iff", hires), Save("lace.iff", lace)};
    const e2e::RunResult run = Lanterna(files);
    ASSERT_EQ(run.result, 0) << run.output;
    ASSERT_EQ(SnapshotCount(), 2);

    const Image hiresRef = Reference("hires.iff");
    const Image hiresShown = Snapshot(1);
    ASSERT_TRUE(hiresRef.Valid());
    Image doubledRows{hiresRef.width, hiresRef.height * 2, {}};
    for (int y = 0; y < doubledRows.height; ++y) {
        const uint8_t* row = hiresRef.At(0, y / 2);
        doubledRows.rgb.insert(doubledRows.rgb.end(), row, row + hiresRef.width * 3);
    }
    EXPECT_EQ(e2e::Difference(hiresShown, doubledRows), "");

    const Image laceRef = Reference("lace.iff");
    const Image laceShown = Snapshot(2);
    ASSERT_TRUE(laceRef.Valid());
    Image doubledPixels{laceRef.width * 2, laceRef.height, {}};
    for (int y = 0; y < laceRef.height; ++y)
        for (int x = 0; x < doubledPixels.width; ++x) {
            const uint8_t* p = laceRef.At(x / 2, y);
            doubledPixels.rgb.insert(doubledPixels.rgb.end(), p, p + 3);
        }
    EXPECT_EQ(e2e::Difference(laceShown, doubledPixels), "");
}

// HAM: a palette entry sets all three components; a modify code replaces
// one with the code's bits repeated to 8 bits. Every row starts from
// colour 0 of the palette, as the display hardware does.
std::vector<uint8_t> ExpectedHam(const IlbmPicture& picture, int planes) {
    const int valueBits = planes - 2;
    const uint32_t valueMask = (1u << valueBits) - 1;
    const int width = picture.header.w;
    std::vector<uint8_t> rgb;
    for (int y = 0; y < picture.header.h; ++y) {
        Rgb c = picture.colours.empty() ? Rgb{} : picture.colours[0];
        for (int x = 0; x < width; ++x) {
            const uint32_t v = picture.pixels[size_t(y) * width + x];
            const uint32_t d = v & valueMask;
            const uint32_t control = v >> valueBits;
            const uint8_t wide = valueBits == 4 ? uint8_t(d * 17) : uint8_t((d << 2) | (d >> 4));
            switch (control) {
                case 0: c = d < picture.colours.size() ? picture.colours[d] : Rgb{}; break;
                case 1: c.b = wide; break;
                case 2: c.r = wide; break;
                default: c.g = wide; break;
            }
            rgb.insert(rgb.end(), {c.r, c.g, c.b});
        }
    }
    return rgb;
}

TEST_F(PixelsTest, HamSixAndEightStartEachRowFromColourZero) {
    std::vector<std::string> files;
    std::vector<IlbmPicture> pictures;
    for (int planes : {6, 8}) {
        IlbmPicture ham = Picture(71, 13, planes, planes == 6 ? cmpNone : cmpByteRun1, planes);
        ham.colours = Palette(1 << (planes - 2), planes);
        ham.colours[0] = {90, 30, 200};  // not black: the first pixels show it
        ham.hasCamg = true;
        ham.camg = HAM;
        // Each row starts with modify codes, so the start colour matters.
        for (int y = 0; y < 13; ++y) {
            ham.pixels[size_t(y) * 71] = (2u << (planes - 2)) | uint32_t(y);        // red
            ham.pixels[size_t(y) * 71 + 1] = (1u << (planes - 2)) | uint32_t(2 * y);  // blue
        }
        pictures.push_back(ham);
        files.push_back(Save("ham" + std::to_string(planes) + ".iff", ham));
    }
    // Six planes without a display mode are HAM too (the default choice).
    IlbmPicture guessed = pictures[0];
    guessed.hasCamg = false;
    pictures.push_back(guessed);
    files.push_back(Save("ham6-guessed.iff", guessed));

    const e2e::RunResult run = Lanterna(files);
    ASSERT_EQ(run.result, 0) << run.output;
    ASSERT_EQ(SnapshotCount(), 3);
    const int planes[] = {6, 8, 6};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(files[size_t(i)]);
        const Image expected{71, 13, ExpectedHam(pictures[size_t(i)], planes[i])};
        EXPECT_EQ(e2e::Difference(Snapshot(i + 1), expected), "");
    }
}

// With CENTER a smaller picture is drawn in the middle of the screen kept
// from the one before, on its own darkest colour; the screen is
// photographed when it is cleared for the next picture and when it closes.
TEST_F(PixelsTest, CenterReusesTheScreenAndCentresThePicture) {
    IlbmPicture big = Picture(90, 40, 4, cmpByteRun1, 1);
    IlbmPicture small = Picture(31, 11, 4, cmpNone, 6);
    small.colours[9] = {0, 0, 1};  // the darkest colour: the background
    const std::vector<std::string> files = {Save("big.iff", big), Save("small.iff", small)};
    const e2e::RunResult run = Lanterna({"CENTER", files[0], files[1]});
    ASSERT_EQ(run.result, 0) << run.output;
    ASSERT_EQ(SnapshotCount(), 2);

    EXPECT_EQ(e2e::Difference(Snapshot(1), Reference("big.iff")), "");
    const Image smallRef = Reference("small.iff");
    ASSERT_TRUE(smallRef.Valid());
    Image expected{90, 40, {}};
    const int left = (90 - 31) / 2;
    const int top = (40 - 11) / 2;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 90; ++x) {
            const bool inside = x >= left && x < left + 31 && y >= top && y < top + 11;
            if (inside) {
                const uint8_t* p = smallRef.At(x - left, y - top);
                expected.rgb.insert(expected.rgb.end(), p, p + 3);
            } else {
                expected.rgb.insert(expected.rgb.end(), {0, 0, 1});
            }
        }
    EXPECT_EQ(e2e::Difference(Snapshot(2), expected), "");
}

// A picture stopped while drawing stays on its screen as far as it got.
TEST_F(PixelsTest, PartialPictureStaysUntilTheNextOne) {
    IlbmPicture picture = Picture(40, 30, 3, cmpByteRun1, 5);
    const std::string file = Save("partial.iff", picture);
    const e2e::RunResult run = Lanterna({file}, {"LANTERNA_DRAW_INPUT=11:click"});
    ASSERT_EQ(run.result, 0);
    EXPECT_EQ(run.output, "Showing \"partial.iff\"... ***Break\n");
    ASSERT_EQ(SnapshotCount(), 1);
    const Image reference = Reference(file);
    ASSERT_TRUE(reference.Valid());
    Image expected = reference;
    // The click arrives as row 10 is written: rows 0..10 are drawn, the
    // rest is the background (the darkest colour).
    const std::vector<Rgb> colours = picture.colours;
    size_t darkest = 0;
    auto luminance = [](const Rgb& c) { return (30 * c.r + 59 * c.g + 11 * c.b) / 100; };
    for (size_t i = 1; i < colours.size(); ++i)
        if (luminance(colours[i]) < luminance(colours[darkest])) darkest = i;
    for (int y = 11; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            uint8_t* p = &expected.rgb[(size_t(y) * 40 + x) * 3];
            p[0] = colours[darkest].r;
            p[1] = colours[darkest].g;
            p[2] = colours[darkest].b;
        }
    EXPECT_EQ(e2e::Difference(Snapshot(1), expected), "");
}

}  // namespace
