// The window's colour-table row: every whole-number scale and a few others,
// by every way this processor has, against the plain lookup through the
// column map, which the window builds as x * source width / window width.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/graphics/sdl/lut_row.h"

namespace {

TEST(LutRow, EveryScaleGivesWhatTheColumnMapSays) {
    std::mt19937 random(5);
    std::vector<uint32_t> lut(256);
    for (uint32_t& v : lut) v = random();
    for (os::sdl::LutRowPath path : {os::sdl::LutRowPath::Plain, os::sdl::LutRowPath::Avx2}) {
        if (!os::sdl::LutRowPathAvailable(path)) continue;
        for (uint32_t srcWidth : {1u, 2u, 7u, 8u, 9u, 17u, 320u, 641u}) {
            std::vector<uint8_t> src(srcWidth);
            for (uint8_t& b : src) b = static_cast<uint8_t>(random());
            for (uint32_t outWidth : {srcWidth, 2 * srcWidth, 3 * srcWidth, 4 * srcWidth, 5 * srcWidth,
                                      srcWidth * 3 / 2 + 1, srcWidth / 2 + 1}) {
                std::vector<uint32_t> xMap(outWidth), expected(outWidth);
                for (uint32_t x = 0; x < outWidth; ++x) {
                    xMap[x] = static_cast<uint32_t>(uint64_t{x} * srcWidth / outWidth);
                    expected[x] = lut[src[xMap[x]]];
                }
                std::vector<uint32_t> out(outWidth + 8, 0xDEADBEEF);
                os::sdl::LutRowWith(path, src.data(), srcWidth, xMap.data(), lut.data(), out.data(), outWidth);
                for (uint32_t x = outWidth; x < out.size(); ++x) ASSERT_EQ(out[x], 0xDEADBEEF) << "past the row";
                out.resize(outWidth);
                ASSERT_EQ(out, expected) << srcWidth << " pixels to " << outWidth << ", way " << int(path);
            }
        }
    }
}

}  // namespace
