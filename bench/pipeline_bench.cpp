// Benchmark pictures for the whole-pipeline benchmark (bench/run.sh).
//
//   pipeline_bench make DIR [SIZE [HEIGHT]]
//
// writes three SIZE x SIZE (or SIZE x HEIGHT) pictures (4096 by default) made with the ILBM
// writer into DIR: an 8-plane ByteRun1 picture, a 24-plane ByteRun1 picture
// and an 8-plane HAM picture. They are smooth images with edges, not noise,
// so the packed bodies hold a realistic mix of runs and literals.
//
//   pipeline_bench rows [SIZE]
//
// times the pixel transfer alone: SIZE rows of SIZE pixels converted and
// written into a headless screen, for each kind of row (run it with
// LANTERNA_DISPLAY=headless).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/pixel_transfer.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace {

using lanterna::ilbmw::Rgb;
namespace w = lanterna::ilbmw;

// A few rings around two centres, plus a band of stripes: values 0..1.
double Shade(int32_t x, int32_t y, int32_t width, int32_t height) {
    const double s = width > height ? width : height;
    const double d1 = std::hypot(x - 0.3 * width, y - 0.4 * height) / s;
    const double d2 = std::hypot(x - 0.75 * width, y - 0.7 * height) / s;
    double v = 0.5 + 0.25 * std::sin(d1 * 40.0) + 0.25 * std::cos(d2 * 25.0);
    if (y > height / 2 && y < height / 2 + height / 16) {
        v = ((x / 24) & 1) ? 0.9 : 0.1;
    }
    return v;
}

uint8_t Byte(double v) {
    return static_cast<uint8_t>(std::lround(std::fmin(1.0, std::fmax(0.0, v)) * 255.0));
}

bool WriteColourMapped(const std::string& path, int32_t width, int32_t height) {
    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(width, height, 8, lanterna::cmpByteRun1);
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        picture.colours.push_back({Byte(t), Byte(0.5 + 0.5 * std::sin(6.28 * t)), Byte(1.0 - t)});
    }
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            picture.pixels[static_cast<size_t>(y) * width + x] = Byte(Shade(x, y, width, height));
        }
    }
    return w::WriteFile(path, w::MakeIlbm(picture));
}

bool WriteDeep(const std::string& path, int32_t width, int32_t height) {
    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(width, height, 24, lanterna::cmpByteRun1);
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t r = static_cast<uint32_t>(x) * 255 / static_cast<uint32_t>(width - 1);
            const uint32_t g = static_cast<uint32_t>(y) * 255 / static_cast<uint32_t>(height - 1);
            picture.pixels[static_cast<size_t>(y) * width + x] =
                w::DeepPixel(r, g, Byte(Shade(x, y, width, height)), 8);
        }
    }
    return w::WriteFile(path, w::MakeIlbm(picture));
}

bool WriteHam8(const std::string& path, int32_t width, int32_t height) {
    w::IlbmPicture picture;
    picture.header = w::SimpleHeader(width, height, 8, lanterna::cmpByteRun1);
    picture.hasCamg = true;
    picture.camg = lanterna::HAM;
    for (int i = 0; i < 64; ++i) {
        const uint8_t grey = static_cast<uint8_t>(i * 4);
        picture.colours.push_back({grey, grey, grey});
    }
    picture.pixels.reserve(static_cast<size_t>(width) * height);
    std::vector<Rgb> targets(width);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const double v = Shade(x, y, width, height);
            targets[x] = {Byte(v), Byte(static_cast<double>(y) / height), Byte(1.0 - v)};
        }
        const auto codes = w::EncodeHamRow(targets, picture.colours, 8);
        picture.pixels.insert(picture.pixels.end(), codes.begin(), codes.end());
    }
    return w::WriteFile(path, w::MakeIlbm(picture));
}

// Converts and writes `size` rows of random planes; the milliseconds taken.
double TimeRows(int32_t size, uint8_t planes, uint32_t modeId, int32_t depth) {
    lanterna::BitMapHeader header = w::SimpleHeader(size, size, planes, lanterna::cmpNone);
    lanterna::RowBuffers* rows = lanterna::AllocRowBuffers(header, modeId);
    if (rows == nullptr || lanterna::OpenDisplay(uint16_t(size), uint16_t(size), depth, 0, nullptr, 0) != 0) {
        lanterna::FreeRowBuffers(rows);
        return -1.0;
    }
    std::vector<uint8_t> colours(768);
    uint32_t seed = 12345;
    for (auto& c : colours) {
        seed = seed * 1103515245u + 12345u;
        c = uint8_t(seed >> 16);
    }
    for (int32_t i = 0; i < planes; ++i) {
        for (uint32_t b = 0; b < rows->planeView.BytesPerRow; ++b) {
            seed = seed * 1103515245u + 12345u;
            rows->planeView.Planes[i][b] = uint8_t(seed >> 16);
        }
    }
    // A first pass touches every page of the screen; the second is timed.
    for (int32_t y = 0; y < size; ++y) {
        lanterna::WriteRow(0, y, false, rows, colours.data());
    }
    const auto start = std::chrono::steady_clock::now();
    for (int32_t y = 0; y < size; ++y) {
        lanterna::WriteRow(0, y, false, rows, colours.data());
    }
    const std::chrono::duration<double, std::milli> taken = std::chrono::steady_clock::now() - start;
    lanterna::CloseDisplay();
    lanterna::FreeRowBuffers(rows);
    return taken.count();
}

int TimeAllRows(int32_t size) {
    struct Kind {
        const char* name;
        uint8_t planes;
        uint32_t modeId;
        int32_t depth;
    } kinds[] = {{"8 planes", 8, 0, 8}, {"24 planes", 24, 0, 24}, {"HAM8", 8, lanterna::HAM, 24},
                 {"HAM6", 6, lanterna::HAM, 24}, {"12 planes", 12, 0, 24}};
    for (const Kind& k : kinds) {
        const double ms = TimeRows(size, k.planes, k.modeId, k.depth);
        if (ms < 0) {
            std::fprintf(stderr, "cannot open a %dx%d screen\n", size, size);
            return 20;
        }
        std::printf("pixel transfer, %-9s %dx%d: %7.1f ms, %6.0f Mpixel/s\n", k.name, size, size, ms,
                    double(size) * size / (ms * 1000.0));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "rows") == 0) {
        const int32_t size = argc > 2 ? std::atoi(argv[2]) : 4096;
        if (size < 16 || size > 16384) {
            std::fprintf(stderr, "size must be 16 to 16384\n");
            return 20;
        }
        return TimeAllRows(size);
    }
    if (argc < 3 || std::strcmp(argv[1], "make") != 0) {
        std::fprintf(stderr, "usage: %s make DIR [SIZE [HEIGHT]] | rows [SIZE]\n", argv[0]);
        return 20;
    }
    const std::string dir = argv[2];
    const int32_t width = argc > 3 ? std::atoi(argv[3]) : 4096;
    const int32_t height = argc > 4 ? std::atoi(argv[4]) : width;
    if (width < 16 || width > 16384 || height < 16 || height > 16384) {
        std::fprintf(stderr, "sizes must be 16 to 16384\n");
        return 20;
    }
    const bool ok = WriteColourMapped(dir + "/planes8.iff", width, height) &&
                    WriteDeep(dir + "/deep24.iff", width, height) && WriteHam8(dir + "/ham8.iff", width, height);
    if (!ok) {
        std::fprintf(stderr, "cannot write the pictures in %s\n", dir.c_str());
        return 20;
    }
    return 0;
}
