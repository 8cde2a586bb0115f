// The frame engine against ffmpeg's reading of the same files, frame for
// frame in RGB, for the operations ffmpeg decodes (0 for the first picture,
// 3, 5 with and without XOR, 7 and 8 short and long, J), colour-mapped and
// HAM, with a CMAP before a frame's DLTA. Where ffmpeg 5.1 is wrong and the
// description clear, the files keep out of its way and anim_reference_test
// decides: no op 0 after the first picture (ffmpeg gives it no palette and
// copies it into both buffers), no interleave 1 and no CMAP after the DLTA
// (it ignores both), op 8 long only on plane rows of whole longs (it reads
// the last, word-wide column as long) and each DLTA with four spare bytes
// at its end (it drops a column's last op 8 operation near the chunk's end).
// ffmpeg applies a delta with the XOR bit to the frame before, whatever the
// interleave says: the XOR files here say interleave 1, where both agree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ilbm/tests/anim_play.h"
#include "tools/ilbm_writer/anim_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

// Every frame ffmpeg shows, as rgb24; empty when ffmpeg fails.
Bytes Ffmpeg(const Bytes& file) {
    const std::string in = TempPath("lanterna-anim"), out = in + ".rgb";
    if (!WriteFile(in, file)) return {};
    const std::string cmd = "ffmpeg -v error -y -i '" + in + "' -fps_mode passthrough -f rawvideo -pix_fmt rgb24 '" +
                            out + "' </dev/null";
    const int rc = std::system(cmd.c_str());
    std::ifstream f(out, std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    return rc == 0 ? data : Bytes{};
}

// A frame's pixels in RGB: through the colours, or as HAM codes.
Bytes ToRgb(const anim_test::PlayedFrame& f, int32_t w, int32_t h, int32_t planes, bool ham) {
    const int32_t bpr = PlaneRowBytes(w);
    Bytes out;
    for (int32_t y = 0; y < h; ++y) {
        uint8_t c[3] = {f.colours[0], f.colours[1], f.colours[2]};
        for (int32_t x = 0; x < w; ++x) {
            uint32_t v = 0;
            for (int32_t p = 0; p < planes; ++p) {
                const uint8_t byte = f.planes[(size_t(y) * planes + p) * bpr + size_t(x >> 3)];
                v |= uint32_t((byte >> (7 - (x & 7))) & 1) << p;
            }
            const int32_t bits = planes - 2;
            const uint32_t control = ham ? v >> bits : 0, value = ham ? v & ((1u << bits) - 1) : v;
            if (control == 0) {
                for (int i = 0; i < 3; ++i) c[i] = f.colours[3 * value + i];
            } else {
                // Blue, red, green; the value's bits repeated down to eight.
                const int i = control == 1 ? 2 : control == 2 ? 0 : 1;
                uint32_t wide = value << (8 - bits);
                wide |= wide >> bits;
                c[i] = uint8_t(wide);
            }
            out.insert(out.end(), c, c + 3);
        }
    }
    return out;
}

struct FfCase {
    const char* name;
    uint8_t op;
    uint32_t bits;
    int32_t w, h, planes;
    bool ham;
};

class AnimFfmpeg : public ::testing::TestWithParam<FfCase> {
protected:
    void SetUp() override {
        if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is needed (scripts/deps.sh)";
    }
};

TEST_P(AnimFfmpeg, EveryFrameAsFfmpegShowsIt) {
    const FfCase& c = GetParam();
    AnimFile a = anim_test::Anim(c.w, c.h, c.planes, c.op, c.bits, (c.bits & 2) ? 1 : 0, 6,
                                 c.ham ? 1 << (c.planes - 2) : 256);
    a.trailingPad = 4;
    a.first.hasCamg = c.ham;
    a.first.camg = 0x800;
    a.frames[2].colours = {{200, 100, 50}, {10, 20, 30}};
    const Bytes file = MakeAnim(a);
    const anim_test::Played p = anim_test::Play(file);
    ASSERT_EQ(p.result, ANIM_END);
    const Bytes theirs = Ffmpeg(file);
    const size_t frameSize = size_t(c.w) * c.h * 3;
    ASSERT_EQ(theirs.size(), frameSize * p.frames.size());
    for (size_t i = 0; i < p.frames.size(); ++i) {
        const Bytes ours = ToRgb(p.frames[i], c.w, c.h, c.planes, c.ham);
        EXPECT_TRUE(std::equal(ours.begin(), ours.end(), theirs.begin() + ptrdiff_t(i * frameSize))) << "frame " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ops, AnimFfmpeg,
    ::testing::Values(FfCase{"short_delta", 3, 0, 64, 24, 4, false}, FfCase{"byte_vertical", 5, 0, 80, 30, 5, false},
                      FfCase{"byte_vertical_xor", 5, 2, 48, 30, 3, false},
                      FfCase{"byte_vertical_ham6", 5, 0, 64, 20, 6, true},
                      FfCase{"byte_vertical_ham8", 5, 0, 64, 20, 8, true},
                      FfCase{"lists_short", 7, 0, 64, 24, 4, false}, FfCase{"lists_long", 7, 1, 64, 24, 4, false},
                      FfCase{"lists_long_word_column", 7, 1, 48, 24, 2, false},
                      FfCase{"words_short", 8, 0, 80, 24, 3, false}, FfCase{"words_long", 8, 1, 64, 24, 5, false},
                      FfCase{"j", 'J', 0, 320, 24, 3, false}, FfCase{"j_narrow_xor", 'J', 2, 128, 24, 4, false}),
    [](const ::testing::TestParamInfo<FfCase>& i) { return std::string(i.param.name); });

}  // namespace
