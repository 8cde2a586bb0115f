// Forms netpbm's ilbmtoppm does not read, shown by build/lanterna and
// compared pixel by pixel with ffmpeg's reading: FORM DEEP in every
// compression ffmpeg knows and with every element order, ACBM, 32-plane
// RGBA and five-plane HAM; and DEEP element formats that cannot be shown, refused.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;
using e2e::Image;

class FfmpegReferenceTest : public e2e::ProgramTest {
protected:
    void SetUp() override {
        e2e::ProgramTest::SetUp();
        if (!e2e::HaveProgram("ffmpeg") || !e2e::HaveProgram("pngtopnm")) {
            GTEST_SKIP() << "ffmpeg and netpbm are needed (scripts/deps.sh)";
        }
    }
    std::string Save(const std::string& name, const Bytes& data) {
        EXPECT_TRUE(WriteFile(Path(name).string(), data));
        return name;
    }
    // ffmpeg's reading of a file as RGB, at the size given.
    Image Ffmpeg(const std::string& file, int width, int height) {
        const auto raw = Path(file + ".ffmpeg.rgb");
        const std::string command = "ffmpeg -nostdin -v error -y -i " + e2e::Quote(Path(file).string()) +
                                    " -frames:v 1 -f rawvideo -pix_fmt rgb24 " + e2e::Quote(raw.string()) + " 2>" +
                                    e2e::Quote(Path(file + ".ffmpeg.log").string());
        if (std::system(command.c_str()) != 0) return {};
        std::ifstream in(raw, std::ios::binary);
        Image image{width, height, std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {})};
        if (image.rgb.size() != size_t(width) * size_t(height) * 3) return {};
        return image;
    }
    void Compare(const std::vector<std::string>& files, const std::vector<std::pair<int, int>>& sizes) {
        ShowAndCompare(files, [&](size_t i) { return Ffmpeg(files[i], sizes[i].first, sizes[i].second); });
    }
};

// Pixels that step by the deltas of the TVDC table (so that its nibbles say
// them exactly), with stretches of one value for the runs of the other
// compressions.
Bytes DeepPixels(int width, int height, size_t elements, int seed) {
    const std::vector<int16_t> deltas = StandardTvdc();
    Bytes pixels;
    for (int y = 0; y < height; ++y) {
        std::vector<uint8_t> value(elements, 0);
        for (int x = 0; x < width; ++x) {
            for (size_t e = 0; e < elements; ++e) {
                if ((x / 4 + int(e) + y + seed) % 3 != 0) {
                    value[e] = uint8_t(value[e] + deltas[size_t(1 + (x * 7 + y * 3 + int(e) * 5 + seed) % 15)]);
                }
                pixels.push_back(value[e]);
            }
        }
    }
    return pixels;
}

// DEEP: none, run-length and TVDC; RGB, RGBA, BGRA, ARGB and ABGR (the
// alpha element read and not shown, as ffmpeg's RGB output drops it); odd
// widths, and one wider than a low-resolution screen. ffmpeg reads
// run-length and TVDC only with four elements.
TEST_F(FfmpegReferenceTest, DeepPicturesInEveryCompressionAndElementOrder) {
    const std::vector<std::vector<std::pair<uint16_t, uint16_t>>> orders = {
        {{1, 8}, {2, 8}, {3, 8}},          {{1, 8}, {2, 8}, {3, 8}, {4, 8}}, {{3, 8}, {2, 8}, {1, 8}, {4, 8}},
        {{17, 8}, {1, 8}, {2, 8}, {3, 8}}, {{17, 8}, {3, 8}, {2, 8}, {1, 8}}};
    std::vector<std::string> files;
    std::vector<std::pair<int, int>> sizes;
    int n = 0;
    for (uint16_t compression : {uint16_t(0), uint16_t(1), uint16_t(5)}) {
        for (const auto& order : orders) {
            if (compression != 0 && order.size() != 4) continue;
            DeepPicture deep;
            deep.width = uint16_t(29 + 2 * n);
            deep.height = uint16_t(9 + n % 4);
            deep.compression = compression;
            deep.elements = order;
            deep.pixels = DeepPixels(deep.width, deep.height, order.size(), n);
            if (compression == 5) deep.tvdc = StandardTvdc();
            files.push_back(Save("deep" + std::to_string(n++) + ".deep", MakeDeep(deep)));
            sizes.emplace_back(deep.width, deep.height);
        }
    }
    // Wider than 639: still one screen pixel a pixel (no mode is guessed).
    DeepPicture wide;
    wide.width = 641;
    wide.height = 3;
    wide.pixels = DeepPixels(wide.width, wide.height, 3, 5);
    files.push_back(Save("deep-wide.deep", MakeDeep(wide)));
    sizes.emplace_back(wide.width, wide.height);
    Compare(files, sizes);
}

// ACBM (contiguous planes) and 32-plane RGBA ILBM against ffmpeg's reading.
TEST_F(FfmpegReferenceTest, AcbmAndRgbaAgainstFfmpeg) {
    std::vector<std::string> files;
    std::vector<std::pair<int, int>> sizes;
    int n = 0;
    for (int planes : {3, 5, 8}) {
        IlbmPicture acbm;
        acbm.formType = "ACBM";
        const int width = 31 + 8 * n, height = 7 + n;
        acbm.header = SimpleHeader(width, height, planes, cmpNone);
        for (int i = 0; i < width * height; ++i) acbm.pixels.push_back(uint32_t((i / 3 + i % 7 * 5) % (1 << planes)));
        for (int i = 0; i < (1 << planes); ++i) acbm.colours.push_back(Rgb{uint8_t(i * 37), uint8_t(200 - i * 11), uint8_t(i * 73)});
        files.push_back(Save("acbm" + std::to_string(n++) + ".iff", MakeIlbm(acbm)));
        sizes.emplace_back(width, height);
    }
    for (uint8_t compression : {cmpNone, cmpByteRun1}) {
        IlbmPicture rgba;
        const int width = 27, height = 6;
        rgba.header = SimpleHeader(width, height, 32, compression);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                rgba.pixels.push_back(uint32_t(x * 9) | uint32_t(y * 40) << 8 | uint32_t((x + y) * 5) << 16 | 0xFFu << 24);
        files.push_back(Save("rgba" + std::to_string(n++) + ".iff", MakeIlbm(rgba)));
        sizes.emplace_back(width, height);
    }
    Compare(files, sizes);
}

// HAM with five planes: the missing sixth plane is 0, so values 16..31
// modify blue and the rest load the 16 base colours, as ffmpeg reads them;
// with both BODY compressions and an odd width.
TEST_F(FfmpegReferenceTest, FivePlaneHamModifiesBlue) {
    std::vector<std::string> files;
    std::vector<std::pair<int, int>> sizes;
    for (uint8_t compression : {cmpNone, cmpByteRun1}) {
        IlbmPicture ham;
        const int width = 37 + 8 * compression, height = 9;
        ham.header = SimpleHeader(width, height, 5, compression);
        ham.hasCamg = true;
        ham.camg = HAM;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) ham.pixels.push_back(uint32_t((x / 2 * 7 + y * 3 + (x * y) % 5) % 32));
        for (int i = 0; i < 16; ++i) ham.colours.push_back(Rgb{uint8_t(i * 17), uint8_t(255 - i * 16), uint8_t(i * 5 * 17 % 256)});
        files.push_back(Save("ham5-" + std::to_string(compression) + ".iff", MakeIlbm(ham)));
        sizes.emplace_back(width, height);
    }
    Compare(files, sizes);
}

// Element formats with no elements, too many, elements of no bits or of
// absurd sizes, and a DPEL shorter than its count are corrupt; sound
// formats that make no colour (components of different depths, 12-bit
// elements, no blue) have no screen.
TEST_F(FfmpegReferenceTest, DeepElementFormatsThatCannotBeShownAreRefused) {
    struct Case {
        Bytes dpel;
        const char* message;
    };
    const std::vector<Case> cases = {
        {EncodeDeepPixelFormat({}), "Data in file is corrupt"},
        {EncodeDeepPixelFormat(std::vector<std::pair<uint16_t, uint16_t>>(9, {1, 8})), "Data in file is corrupt"},
        {EncodeDeepPixelFormat({{1, 8}, {2, 0}, {3, 8}}), "Data in file is corrupt"},
        {EncodeDeepPixelFormat({{1, 8}, {2, 60000}, {3, 8}}), "Data in file is corrupt"},
        {Truncated(EncodeDeepPixelFormat({{1, 8}, {2, 8}, {3, 8}}), 10), "Data in file is corrupt"},
        {[] {
             Bytes b = EncodeDeepPixelFormat({{1, 8}, {2, 8}, {3, 8}});
             PutBE32(b, 0, 0x40000000);
             return b;
         }(),
         "Data in file is corrupt"},
        {EncodeDeepPixelFormat({{1, 16}, {2, 8}, {3, 16}}), "Requested screen mode is not available"},
        {EncodeDeepPixelFormat({{1, 8}, {2, 12}, {3, 8}}), "Requested screen mode is not available"},
        {EncodeDeepPixelFormat({{1, 8}, {2, 8}, {4, 8}}), "Requested screen mode is not available"},
    };
    std::vector<std::string> files;
    for (size_t i = 0; i < cases.size(); ++i) {
        DeepPicture deep;
        deep.width = 4;
        deep.height = 2;
        deep.pixels = Bytes(24, 7);
        Bytes file = MakeGroup("FORM", "DEEP",
                               Concat({MakeChunk("DGBL", Bytes{0, 4, 0, 2, 0, 0, 1, 1}), MakeChunk("DPEL", cases[i].dpel),
                                       MakeChunk("DBOD", deep.pixels)}));
        files.push_back(Save("bad" + std::to_string(i) + ".deep", file));
    }
    const e2e::RunResult run = Lanterna(files);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string line = "Showing \"" + files[i] + "\"... " + cases[i].message;
        EXPECT_NE(run.output.find(line), std::string::npos) << run.output;
    }
}

}  // namespace
