// Writes the seed corpus of fuzz_anim into the directory given: DLTA chunks
// of every operation and its bits, made with the project's ANIM writer over
// frames of several sizes and depths, each behind the target's 16 bytes of
// set-up.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/ilbm_writer/anim_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

Bytes Frame(int32_t w, int32_t h, int32_t planes, uint32_t seed) {
    std::vector<uint32_t> pixels;
    const uint32_t mask = (1u << planes) - 1;
    for (int32_t i = 0; i < w * h; ++i) {
        const uint32_t block = uint32_t((i % w) / 5 + (i / w) / 3) * 2654435761u + seed * 40503u;
        pixels.push_back((block >> 9) & mask);
    }
    return MakePlanarBody(w, h, planes, pixels);
}

Bytes SetUp(uint8_t opIndex, uint32_t bits, int32_t w, int32_t h, int32_t planes, uint8_t coding) {
    Bytes s{opIndex, uint8_t(bits)};
    AppendBE16(s, uint32_t(w - 1));
    s.push_back(uint8_t(h - 1));
    s.push_back(uint8_t(planes <= 8 ? planes - 1 : 0x80 + (planes - 9)));
    s.push_back(coding);
    s.push_back(0);
    s.resize(16, 0);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_anim_corpus DIR\n");
        return 2;
    }
    struct Case {
        uint8_t opIndex, op;
        uint32_t bits;
    };
    const Case cases[] = {{2, 2, 0},  {3, 3, 0},  {4, 4, 0},   {4, 4, 1},  {4, 4, 0x1A}, {4, 4, 0x29},
                          {5, 5, 0},  {5, 5, 2},  {6, 6, 0},   {7, 7, 0},  {7, 7, 1},    {8, 8, 0},
                          {8, 8, 1},  {9, 'J', 0}, {9, 'J', 2}};
    const int32_t sizes[][3] = {{32, 8, 1}, {48, 20, 3}, {320, 16, 5}, {100, 12, 8}};
    int n = 0;
    for (const Case& c : cases) {
        for (const auto& s : sizes) {
            const int32_t w = s[0], h = s[1], planes = s[2];
            const Bytes from = Frame(w, h, planes, 1), to = Frame(w, h, planes, 2);
            Bytes file = SetUp(c.opIndex, c.bits, w, h, planes, 0);
            const Bytes delta = EncodeAnimDelta(c.op, c.bits, w, h, planes, from, to);
            file.insert(file.end(), delta.begin(), delta.end());
            const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(++n);
            if (!WriteFile(path, file)) return 1;
        }
    }
    // A whole BODY (op 0), packed and plain.
    for (uint8_t coding : {0, 1}) {
        Bytes file = SetUp(0, 0, 48, 10, 4, coding);
        const Bytes planar = Frame(48, 10, 4, 3);
        const Bytes body = coding ? PackBody(planar, PlaneRowBytes(48)) : planar;
        file.insert(file.end(), body.begin(), body.end());
        if (!WriteFile(std::string(argv[1]) + "/seed-" + std::to_string(++n), file)) return 1;
    }
    // Whole animations for the frame engine: every operation, a CMAP after
    // a DLTA, interleave 1, and the last two frames leading back to the first.
    const uint8_t ops[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 'J'};
    for (uint8_t op : ops) {
        AnimFile a;
        a.first.header = SimpleHeader(48, 12, 3, cmpByteRun1);
        a.first.pixels = std::vector<uint32_t>(48 * 12, 1);
        a.first.colours = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}};
        for (int32_t i = 1; i < 6; ++i) {
            AnimFrameInput f;
            f.pixels = a.first.pixels;
            for (int32_t k = 0; k < (i % 4) * 20; ++k) f.pixels[size_t(k * 7 % (48 * 12))] = uint32_t(i + k) % 8;
            f.operation = op;
            f.interleave = i == 2 ? 1 : 0;
            if (i == 3) f.colours = {{9, 9, 9}}, f.cmapAfterDelta = true;
            a.frames.push_back(f);
        }
        Bytes file{0xFF};
        const Bytes anim = MakeAnim(a);
        file.insert(file.end(), anim.begin(), anim.end());
        if (!WriteFile(std::string(argv[1]) + "/seed-" + std::to_string(++n), file)) return 1;
    }
    return 0;
}
