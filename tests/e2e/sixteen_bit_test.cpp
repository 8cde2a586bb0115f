// 16 bits a component on a screen of 8, each rounded to the nearest level:
// 48-plane RGB, 64-plane RGBA (masked, packed) and DEEP of 16-bit elements
// (plain and run-length, alpha first) of the same colours all show what
// ilbmtoppm reads of the first, rounded as netpbm rounds.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class SixteenBitTest : public e2e::NetpbmTest {};

TEST_F(SixteenBitTest, ComponentsRoundToTheNearestLevel) {
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

}  // namespace
