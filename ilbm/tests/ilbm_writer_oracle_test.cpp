// The writer's pictures read back by an independent decoder (netpbm's
// ilbmtoppm): every reading test trusts the writer, so its files must be
// ILBM as other programs understand it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

struct Image {
    int width = 0, height = 0, maxval = 0;
    Bytes rgb;
};

// Converts with ilbmtoppm; false when it is not installed or fails.
bool Convert(const Bytes& ilbm, Image& out) {
    const std::string in = TempPath("lanterna-oracle"), ppm = in + ".ppm";
    if (!WriteFile(in, ilbm)) return false;
    const std::string cmd = "ilbmtoppm '" + in + "' > '" + ppm + "' 2>/dev/null";
    const int rc = std::system(cmd.c_str());
    std::ifstream f(ppm, std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::filesystem::remove(in);
    std::filesystem::remove(ppm);
    if (rc != 0 || data.size() < 2 || data[0] != 'P' || data[1] != '6') return false;
    // Header: P6, width, height, maxval, each separated by whitespace.
    size_t at = 2;
    int fields[3];
    for (int& v : fields) {
        while (at < data.size() && std::isspace(data[at])) ++at;
        v = 0;
        while (at < data.size() && std::isdigit(data[at])) v = v * 10 + (data[at++] - '0');
    }
    ++at;  // the single whitespace byte before the pixels
    out.width = fields[0];
    out.height = fields[1];
    out.maxval = fields[2];
    if (out.maxval > 255) return false;
    out.rgb.assign(data.begin() + ptrdiff_t(at), data.end());
    return out.rgb.size() == size_t(out.width) * size_t(out.height) * 3;
}

bool HaveOracle() { return std::system("command -v ilbmtoppm >/dev/null 2>&1") == 0; }

uint8_t Scale(uint8_t v, int maxval) { return uint8_t((v * 255 + maxval / 2) / maxval); }

}  // namespace

TEST(IlbmWriterOracle, ColourMappedMaskedAndDeepPicturesDecodeElsewhereToThePixelsGiven) {
    if (!HaveOracle()) GTEST_SKIP() << "ilbmtoppm is not installed";
    struct Shape {
        int32_t w, h, planes;
        uint8_t compression, masking;
    };
    for (Shape s : {Shape{321, 7, 8, cmpByteRun1, mskNone}, Shape{1, 3, 1, cmpNone, mskNone},
                    Shape{37, 5, 4, cmpByteRun1, mskHasMask}, Shape{50, 4, 24, cmpByteRun1, mskNone}}) {
        SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h << "x" << s.planes);
        IlbmPicture p;
        p.header = SimpleHeader(s.w, s.h, s.planes, s.compression, s.masking);
        uint32_t seed = 12345;
        for (int32_t i = 0; i < s.w * s.h; ++i) {
            seed = seed * 1103515245u + 12345u;
            const uint32_t v = (i % 4 == 0) ? (seed >> 8) : uint32_t(i / 9);
            p.pixels.push_back(s.planes == 24 ? (v & 0xFFFFFF) : (v & ((1u << s.planes) - 1)));
            p.mask.push_back(1);
        }
        if (s.planes <= 8) {
            for (int i = 0; i < (1 << s.planes); ++i) {
                p.colours.push_back(Rgb{uint8_t(i * 7 + 1), uint8_t(255 - i), uint8_t(i * 13)});
            }
        }
        Image img;
        ASSERT_TRUE(Convert(MakeIlbm(p), img));
        ASSERT_EQ(img.width, s.w);
        ASSERT_EQ(img.height, s.h);
        for (int32_t i = 0; i < s.w * s.h; ++i) {
            Rgb want;
            if (s.planes == 24) {
                want = Rgb{uint8_t(p.pixels[size_t(i)]), uint8_t(p.pixels[size_t(i)] >> 8), uint8_t(p.pixels[size_t(i)] >> 16)};
            } else {
                want = p.colours[p.pixels[size_t(i)]];
            }
            const uint8_t* got = &img.rgb[size_t(i) * 3];
            ASSERT_EQ(Scale(got[0], img.maxval), want.r) << "pixel " << i;
            ASSERT_EQ(Scale(got[1], img.maxval), want.g) << "pixel " << i;
            ASSERT_EQ(Scale(got[2], img.maxval), want.b) << "pixel " << i;
        }
    }
}

TEST(IlbmWriterOracle, Ham6RowsShowTheColoursTheEncoderPromises) {
    if (!HaveOracle()) GTEST_SKIP() << "ilbmtoppm is not installed";
    const int32_t w = 64;
    std::vector<Rgb> palette;
    for (int i = 0; i < 16; ++i) palette.push_back(Rgb{uint8_t(i * 17), uint8_t(i * 17), uint8_t(i * 17)});
    std::vector<Rgb> targets;
    for (int x = 0; x < w; ++x) targets.push_back(Rgb{uint8_t(x * 4), uint8_t(255 - x * 2), uint8_t((x / 8) * 30)});
    const auto codes = EncodeHamRow(targets, palette, 6);
    const auto shown = DecodeHamRow(codes, palette, 6);
    IlbmPicture p;
    p.header = SimpleHeader(w, 2, 6, cmpByteRun1);
    p.colours = palette;
    p.hasCamg = true;
    p.camg = HAM;
    for (int y = 0; y < 2; ++y) p.pixels.insert(p.pixels.end(), codes.begin(), codes.end());
    Image img;
    ASSERT_TRUE(Convert(MakeIlbm(p), img));
    ASSERT_EQ(img.width, w);
    // Compared at HAM precision: widening 4 bits to 8 is a matter of
    // convention (ilbmtoppm shifts, DecodeHamRow repeats the bits).
    for (int32_t x = 0; x < w; ++x) {
        const uint8_t* got = &img.rgb[size_t(w + x) * 3];  // second row
        EXPECT_EQ(Scale(got[0], img.maxval) >> 4, shown[size_t(x)].r >> 4) << x;
        EXPECT_EQ(Scale(got[1], img.maxval) >> 4, shown[size_t(x)].g >> 4) << x;
        EXPECT_EQ(Scale(got[2], img.maxval) >> 4, shown[size_t(x)].b >> 4) << x;
    }
}
