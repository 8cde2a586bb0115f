// Pictures of 16 bits a component on a screen of 8: 48-plane RGB and
// 64-plane RGBA ILBM and DEEP of 16-bit elements, each component rounded to
// the nearest of 256 levels. ilbmtoppm reads the 48-plane one to 16 bits
// (rounded here as netpbm rounds); the others hold the same colours, so
// they must show the same.
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using namespace lanterna;
using namespace lanterna::ilbmw;

class SixteenBitTest : public e2e::NetpbmTest {};

TEST_F(SixteenBitTest, ComponentsRoundToTheNearestLevel) {
    const int width = 37, height = 8;
    // Values on both sides of many rounding steps; pairs of equal pixels
    // for the runs of a packed DEEP.
    auto level = [](int x, int y, int c) {
        return uint64_t((x / 2 * 1777 + y * 8191 + c * 12345 + (x / 2 * y) % 7 * 128) % 65536);
    };
    std::vector<std::string> files;
    int n = 0;
    for (int planes : {48, 64}) {
        for (uint8_t compression : {cmpNone, cmpByteRun1}) {
            IlbmPicture wide;
            wide.header = SimpleHeader(width, height, planes, compression, n == 1 ? mskHasMask : mskNone);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    wide.widePixels.push_back(level(x, y, 0) | level(x, y, 1) << 16 | level(x, y, 2) << 32 |
                                              (planes == 64 ? uint64_t(x * 999) << 48 : 0));
                    wide.mask.push_back(uint8_t(x % 3 != 0));
                }
            files.push_back(Save("wide" + std::to_string(n++) + ".iff", MakeIlbm(wide)));
        }
    }
    for (uint16_t compression : {uint16_t(0), uint16_t(1)}) {
        for (bool alpha : {false, true}) {
            DeepPicture picture;
            picture.width = width;
            picture.height = height;
            picture.compression = compression;
            picture.elements = {{1, 16}, {2, 16}, {3, 16}};
            // The alpha first: the colours do not start the pixel.
            if (alpha) picture.elements.insert(picture.elements.begin(), {4, 16});
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    if (alpha) picture.pixels.insert(picture.pixels.end(), {uint8_t(x), 0});
                    for (int c = 0; c < 3; ++c) {
                        const uint64_t v = level(x, y, c);
                        picture.pixels.insert(picture.pixels.end(), {uint8_t(v >> 8), uint8_t(v)});
                    }
                }
            files.push_back(Save("deep16-" + std::to_string(n++) + ".deep", MakeDeep(picture)));
        }
    }
    ShowAndCompare(files, [&](size_t) { return Reference(files[0]); });
}

}  // namespace
