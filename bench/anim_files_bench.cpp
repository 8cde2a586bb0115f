// Writes the animations of bench/anim_cpu.sh into DIR with the project's
// ANIM writer: op 5 at 320x256 (32 colours, 50 frames a second: delays of
// 1, 1, 1, 1 and 2 jiffies), op 8 at 640x480 (16 colours, 60 a second) and
// HAM8 by op 5 at 1280x720 (60 a second), each a square moving over bands
// for one pass of a few seconds: a few hundred frames, so that decoding
// them, not starting the program, is most of a run. The frame counts may be
// given (2 each for the fixed cost of a run).
//
//   anim_files_bench DIR [OP5_FRAMES OP8_FRAMES HAM8_FRAMES]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/ilbm_writer/anim_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

std::vector<uint32_t> Pixels(int w, int h, int planes, int frame, bool ham) {
    std::vector<uint32_t> px(size_t(w) * h);
    const int side = h / 4, x0 = (frame * 7) % (w - side), y0 = (frame * 3) % (h - side);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool square = x >= x0 && x < x0 + side && y >= y0 && y < y0 + side;
            uint32_t v = square ? uint32_t(frame % 7 + 1) : uint32_t((x / 16 + y / 16) % 12);
            // HAM8: a colour from the map, then modifications of blue and red.
            if (ham) v = (x % 3 == 0) ? v : ((x % 3 == 1 ? 1u : 2u) << 6) | uint32_t((x + frame) & 63);
            px[size_t(y) * w + x] = v % (1u << planes);
        }
    return px;
}

bool Write(const std::string& path, int w, int h, int planes, uint8_t op, int frames, bool ham, bool fifty) {
    AnimFile a;
    a.first.header = SimpleHeader(w, h, planes, cmpByteRun1);
    if (ham) {
        a.first.camg = HAM;
        a.first.hasCamg = true;
    }
    a.first.pixels = Pixels(w, h, planes, 0, ham);
    const int colours = ham ? 64 : 1 << planes;
    for (int i = 0; i < colours; ++i) a.first.colours.push_back({uint8_t(i * 37), uint8_t(i * 11), uint8_t(255 - i * 3)});
    for (int i = 1; i < frames; ++i) {
        AnimFrameInput f;
        f.pixels = Pixels(w, h, planes, i, ham);
        f.operation = op;
        f.relTime = fifty && i % 5 == 0 ? 2 : 1;
        a.frames.push_back(f);
    }
    return WriteFile(path, MakeAnim(a));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: anim_files_bench DIR [OP5_FRAMES OP8_FRAMES HAM8_FRAMES]\n");
        return 2;
    }
    const std::string dir = argv[1];
    int frames[3] = {300, 300, 180};
    for (int i = 0; argc == 5 && i < 3; ++i) {
        frames[i] = std::atoi(argv[2 + i]);
        if (frames[i] < 2 || frames[i] > 2000) {
            std::fprintf(stderr, "anim_files_bench: frame counts are 2 to 2000\n");
            return 2;
        }
    }
    const bool ok = Write(dir + "/op5-320x256.anim", 320, 256, 5, 5, frames[0], false, true) &&
                    Write(dir + "/op8-640x480.anim", 640, 480, 4, 8, frames[1], false, false) &&
                    Write(dir + "/ham8-1280x720.anim", 1280, 720, 8, 5, frames[2], true, false);
    return ok ? 0 : 1;
}
