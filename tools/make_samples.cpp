// Writes the sample pictures into the directory named on the command line:
// one for each kind of picture the viewer shows (2 to 256 colours,
// Extra-Half-Brite, HAM6, HAM8, deep 24 and 12 bits, the HIRES and LACE
// aspects, a masked picture), a scene made for colour cycling, and the rest
// of the picture family (a chunky PBM, 32-plane RGBA, a BODY packed as one
// ByteRun1 stream, RGB8, RGBN, ACBM, and palettes for every line in SHAM,
// CTBL and PCHG, and TVPaint's DEEP). Every picture is computed, so the set needs no files of
// its own; smooth areas are ordered-dithered between the entries of a colour
// ramp.
//
//   make_samples DIRECTORY
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tools/ilbm_writer/ilbm_writer.h"

namespace lanterna {
namespace {

using ilbmw::Bytes;
using ilbmw::IlbmPicture;
using ilbmw::Rgb;

constexpr double PI = 3.14159265358979323846;

// View-mode words of the CAMG chunk.
constexpr uint32_t MODE_HIRES = 0x8000;
constexpr uint32_t MODE_LACE = 0x0004;
constexpr uint32_t MODE_HAM = 0x0800;
constexpr uint32_t MODE_EHB = 0x0080;

double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }
uint8_t Byte(double v) { return uint8_t(std::lround(Clamp01(v) * 255.0)); }
double Mix(double a, double b, double t) { return a + (b - a) * t; }
Rgb MixRgb(Rgb a, Rgb b, double t) {
    return {Byte(Mix(a.r, b.r, t) / 255.0), Byte(Mix(a.g, b.g, t) / 255.0),
            Byte(Mix(a.b, b.b, t) / 255.0)};
}

// `count` colours from `from` to `to`, appended to `palette`.
void AddRamp(std::vector<Rgb>& palette, Rgb from, Rgb to, int count) {
    for (int i = 0; i < count; ++i) {
        palette.push_back(MixRgb(from, to, count == 1 ? 0.0 : double(i) / (count - 1)));
    }
}

Rgb Hue(double h, double brightness = 1.0) {
    // A smooth colour wheel: h in [0, 1).
    auto channel = [&](double offset) {
        return Byte(brightness * (0.5 + 0.5 * std::cos(2 * PI * (h - offset))));
    };
    return {channel(0.0), channel(1.0 / 3), channel(2.0 / 3)};
}

// Ordered (4x4 Bayer) dithering of v in [0, 1] over `levels` entries.
int Dither(double v, int levels, int x, int y) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const double threshold = (bayer[y & 3][x & 3] + 0.5) / 16.0;
    const int level = int(std::floor(Clamp01(v) * (levels - 1) + threshold));
    return std::min(levels - 1, std::max(0, level));
}

std::vector<uint32_t> Render(int width, int height, const std::function<uint32_t(int, int)>& pixel) {
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[size_t(y) * size_t(width) + size_t(x)] = pixel(x, y);
        }
    }
    return pixels;
}

IlbmPicture Picture(int width, int height, int planes, uint8_t compression,
                    uint8_t masking = mskNone) {
    IlbmPicture picture;
    picture.header = ilbmw::SimpleHeader(width, height, planes, compression, masking);
    // The usual aspect of a low-resolution pixel.
    picture.header.xAspect = 10;
    picture.header.yAspect = 11;
    return picture;
}

Bytes RangeChunk(int16_t rate, int16_t flags, uint8_t low, uint8_t high) {
    return ilbmw::MakeChunk("CRNG", ilbmw::EncodeColourRange(0, rate, flags, low, high));
}

Bytes TimingChunk(int16_t direction, uint8_t start, uint8_t end, int32_t seconds, int32_t micros) {
    return ilbmw::MakeChunk("CCRT", ilbmw::EncodeCycleTiming(direction, start, end, seconds, micros));
}

// ---- colour-mapped pictures ---------------------------------------------------------

// Two sets of concentric rings laid over each other: a moiré in two colours.
IlbmPicture TwoColours() {
    IlbmPicture p = Picture(320, 200, 1, cmpNone);
    p.colours = {{20, 24, 48}, {240, 230, 200}};
    p.pixels = Render(320, 200, [](int x, int y) {
        const double a = std::hypot(x - 110.0, y - 100.0);
        const double b = std::hypot(x - 210.0, y - 100.0);
        return uint32_t((int(a / 6) + int(b / 6)) & 1);
    });
    return p;
}

// A moonlit lake under mountains, in four colours.
IlbmPicture FourColours() {
    IlbmPicture p = Picture(320, 200, 2, cmpByteRun1);
    p.colours = {{16, 20, 64}, {52, 60, 96}, {24, 40, 56}, {236, 232, 188}};
    p.pixels = Render(320, 200, [](int x, int y) -> uint32_t {
        const double ridge = 110 - 35 * std::sin(x * 0.021) - 18 * std::sin(x * 0.067 + 1.0) -
                             6 * std::sin(x * 0.19);
        if (y >= 140) {  // the lake, with the moon's reflection broken into streaks
            const bool streak = std::abs(x - 240) < 14 - (y - 140) / 6 && (y % 4) < 2;
            return streak ? 3 : 2;
        }
        if (std::hypot(x - 240.0, y - 45.0) < 18) {
            return 3;
        }
        if (y > ridge) {
            return 1;
        }
        // A few stars: a fixed scatter from a multiplicative hash.
        const uint32_t h = uint32_t(x * 73856093u) ^ uint32_t(y * 19349663u);
        return (h % 509u) == 0 ? 3 : 0;
    });
    return p;
}

// A sunset in sixteen colours: a dithered sky, the sun, and the sea.
IlbmPicture SixteenColours() {
    IlbmPicture p = Picture(320, 200, 4, cmpByteRun1);
    AddRamp(p.colours, {40, 20, 90}, {250, 150, 60}, 10);   // 0-9 sky
    AddRamp(p.colours, {255, 220, 120}, {255, 250, 210}, 2);  // 10-11 sun
    AddRamp(p.colours, {10, 20, 60}, {60, 70, 120}, 4);     // 12-15 sea
    p.pixels = Render(320, 200, [](int x, int y) -> uint32_t {
        const double sun = std::hypot(x - 160.0, y - 118.0);
        if (y < 130) {
            if (sun < 34) {
                return sun < 26 ? 11 : 10;
            }
            return uint32_t(Dither(y / 130.0, 10, x, y));
        }
        const double depth = (y - 130) / 70.0;
        const bool glint = std::abs(x - 160) < 40 * (1 - depth) && std::sin(y * 1.7 + x * 0.05) > 0.6;
        return glint ? 10 : uint32_t(12 + Dither(1 - depth, 4, x, y));
    });
    return p;
}

// Rolling green hills under a blue sky with a sun and clouds, in 32 colours.
IlbmPicture ThirtyTwoColours() {
    IlbmPicture p = Picture(320, 256, 5, cmpNone);
    AddRamp(p.colours, {30, 80, 170}, {170, 210, 250}, 8);   // 0-7 sky
    AddRamp(p.colours, {20, 70, 20}, {140, 210, 80}, 8);     // 8-15 near hills
    AddRamp(p.colours, {60, 90, 110}, {130, 170, 160}, 8);   // 16-23 far hills
    AddRamp(p.colours, {200, 200, 215}, {255, 255, 255}, 4);  // 24-27 clouds
    AddRamp(p.colours, {255, 200, 60}, {255, 255, 190}, 4);   // 28-31 sun
    p.pixels = Render(320, 256, [](int x, int y) -> uint32_t {
        const double far = 140 - 25 * std::sin(x * 0.017 + 0.5) - 10 * std::sin(x * 0.05);
        const double near = 185 - 30 * std::sin(x * 0.011 + 2.0) - 8 * std::sin(x * 0.043 + 1.0);
        if (y > near) {
            return uint32_t(8 + Dither(1 - (y - near) / (256 - near + 1), 8, x, y));
        }
        if (y > far) {
            return uint32_t(16 + Dither((y - far) / 60.0, 8, x, y));
        }
        const double sun = std::hypot(x - 250.0, y - 50.0);
        if (sun < 24) {
            return uint32_t(28 + Dither(1 - sun / 24, 4, x, y));
        }
        double cloud = 0;
        for (const auto& c : {std::pair{70.0, 60.0}, std::pair{100.0, 50.0}, std::pair{130.0, 62.0},
                              std::pair{190.0, 95.0}, std::pair{215.0, 90.0}}) {
            cloud = std::max(cloud, 1 - std::hypot((x - c.first) / 1.6, y - c.second) / 20);
        }
        if (cloud > 0) {
            return uint32_t(24 + Dither(cloud * 1.5, 4, x, y));
        }
        return uint32_t(Dither(y / far, 8, x, y));
    });
    return p;
}

// A plasma over a smooth 256-entry colour wheel.
IlbmPicture TwoHundredFiftySixColours() {
    IlbmPicture p = Picture(320, 240, 8, cmpByteRun1);
    for (int i = 0; i < 256; ++i) {
        p.colours.push_back(Hue(i / 256.0, 0.35 + 0.65 * (0.5 + 0.5 * std::sin(i * 2 * PI / 128))));
    }
    p.pixels = Render(320, 240, [](int x, int y) {
        const double v = std::sin(x / 23.0) + std::sin(y / 17.0) + std::sin((x + y) / 31.0) +
                         std::sin(std::hypot(x - 160.0, y - 120.0) / 13.0);
        return uint32_t(int((v + 4) / 8 * 255.999) & 255);
    });
    return p;
}

// Red and blue balls on a chequered floor; the shadows are the half-bright
// copies of the floor colours (pixel values 32 to 63).
IlbmPicture ExtraHalfBrite() {
    IlbmPicture p = Picture(320, 200, 6, cmpNone);
    AddRamp(p.colours, {90, 140, 220}, {200, 225, 250}, 12);  // 0-11 sky
    p.colours.push_back({230, 220, 200});                     // 12 floor light
    p.colours.push_back({120, 90, 70});                       // 13 floor dark
    AddRamp(p.colours, {80, 0, 0}, {255, 190, 180}, 9);       // 14-22 red ball
    AddRamp(p.colours, {0, 20, 80}, {190, 220, 255}, 9);      // 23-31 blue ball
    p.hasCamg = true;
    p.camg = MODE_EHB;
    struct Ball { double cx, cy, r; int base; };
    const Ball balls[2] = {{110, 120, 40, 14}, {220, 135, 30, 23}};
    p.pixels = Render(320, 200, [&](int x, int y) -> uint32_t {
        for (const Ball& b : balls) {
            const double dx = (x - b.cx) / b.r, dy = (y - b.cy) / b.r;
            const double d2 = dx * dx + dy * dy;
            if (d2 < 1) {
                const double nz = std::sqrt(1 - d2);
                const double light = Clamp01(-0.5 * dx - 0.6 * dy + 0.62 * nz);
                return uint32_t(b.base + Dither(light, 9, x, y));
            }
        }
        if (y < 100) {
            return uint32_t(Dither(y / 100.0, 12, x, y));
        }
        // Perspective chequers, and each ball's shadow as an ellipse on the floor.
        const double depth = 4000.0 / (y - 90);
        const int u = int(std::floor((x - 160) * depth / 400.0 / 4));
        const int v = int(std::floor(depth / 10));
        uint32_t floor = ((u + v) & 1) ? 13 : 12;
        for (const Ball& b : balls) {
            const double sx = (x - b.cx - 18) / (b.r * 1.2), sy = (y - (b.cy + b.r + 2)) / (b.r * 0.3);
            if (sx * sx + sy * sy < 1) {
                floor += 32;
                break;
            }
        }
        return floor;
    });
    return p;
}

// ---- HAM pictures --------------------------------------------------------------------

IlbmPicture HamPicture(int width, int height, int planes, uint8_t compression,
                       const std::vector<Rgb>& palette,
                       const std::function<Rgb(int, int)>& colourAt) {
    IlbmPicture p = Picture(width, height, planes, compression);
    p.colours = palette;
    p.hasCamg = true;
    p.camg = MODE_HAM;
    for (int y = 0; y < height; ++y) {
        std::vector<Rgb> targets(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x) {
            targets[size_t(x)] = colourAt(x, y);
        }
        const std::vector<uint32_t> codes = ilbmw::EncodeHamRow(targets, palette, planes);
        p.pixels.insert(p.pixels.end(), codes.begin(), codes.end());
    }
    return p;
}

// Every hue across, from white at the top through full colour to black.
IlbmPicture Ham6() {
    std::vector<Rgb> palette;
    AddRamp(palette, {0, 0, 0}, {255, 255, 255}, 16);
    return HamPicture(320, 200, 6, cmpByteRun1, palette, [](int x, int y) {
        const double v = y / 199.0;
        const Rgb colour = Hue(x / 320.0);
        return v < 0.5 ? MixRgb({255, 255, 255}, colour, v * 2)
                       : MixRgb(colour, {0, 0, 0}, (v - 0.5) * 2);
    });
}

// A lit glass-green sphere over a warm vignette: smooth photo-like shading.
IlbmPicture Ham8() {
    std::vector<Rgb> palette;
    AddRamp(palette, {0, 0, 0}, {255, 255, 255}, 32);
    AddRamp(palette, {0, 40, 30}, {200, 255, 230}, 16);
    AddRamp(palette, {60, 20, 0}, {255, 210, 150}, 16);
    return HamPicture(320, 256, 8, cmpNone, palette, [](int x, int y) -> Rgb {
        const double dx = (x - 150) / 90.0, dy = (y - 120) / 90.0;
        const double d2 = dx * dx + dy * dy;
        if (d2 < 1) {
            const double nz = std::sqrt(1 - d2);
            const double diffuse = Clamp01(-0.45 * dx - 0.55 * dy + 0.7 * nz);
            const double specular = std::pow(Clamp01(-0.35 * dx - 0.45 * dy + 0.82 * nz), 40);
            const Rgb body = MixRgb({0, 30, 25}, {60, 200, 150}, diffuse);
            return MixRgb(body, {255, 255, 255}, specular);
        }
        const double vignette = 1 - 0.6 * Clamp01(std::hypot(x - 160.0, y - 128.0) / 220);
        // The sphere's soft shadow on the background.
        const double shadow = Clamp01(1.2 - std::hypot((x - 185) / 1.4, y - 225.0) / 60);
        const double light = vignette * (1 - 0.6 * shadow);
        return {Byte(light * 0.95), Byte(light * 0.72), Byte(light * 0.5)};
    });
}

// ---- deep pictures -------------------------------------------------------------------

IlbmPicture DeepPicture(int width, int height, int bits, uint8_t compression,
                        const std::function<Rgb(int, int)>& colourAt) {
    IlbmPicture p = Picture(width, height, bits * 3, compression);
    const uint32_t top = (1u << bits) - 1;
    p.pixels = Render(width, height, [&](int x, int y) {
        const Rgb c = colourAt(x, y);
        auto level = [&](uint8_t v) { return uint32_t(std::lround(v * double(top) / 255.0)); };
        return ilbmw::DeepPixel(level(c.r), level(c.g), level(c.b), bits);
    });
    return p;
}

// Red across, green down, blue from the centre: every pixel a colour of its own.
IlbmPicture Deep24() {
    return DeepPicture(320, 256, 8, cmpByteRun1, [](int x, int y) -> Rgb {
        const double radial = 1 - Clamp01(std::hypot(x - 160.0, y - 128.0) / 200);
        return {Byte(x / 319.0), Byte(y / 255.0), Byte(radial)};
    });
}

// A colour wheel fading to grey at its middle, in 4 bits per component.
IlbmPicture Deep12() {
    return DeepPicture(320, 256, 4, cmpNone, [](int x, int y) -> Rgb {
        const double dx = x - 160.0, dy = y - 128.0;
        const double r = std::hypot(dx, dy);
        if (r > 120) {
            return {Byte(0.15), Byte(0.15), Byte(0.2)};
        }
        const double angle = std::atan2(dy, dx) / (2 * PI) + 0.5;
        return MixRgb({128, 128, 128}, Hue(angle), r / 120);
    });
}

// ---- aspects and masks -------------------------------------------------------------------

// Round rings drawn for a pixel that is `sx` wide and `sy` high, over a ramp.
uint32_t Rings(int x, int y, double sx, double sy, double cx, double cy) {
    const double d = std::hypot((x - cx) * sx, (y - cy) * sy);
    if (d < 170 && int(d / 14) % 2 == 0) {
        return uint32_t(8 + Dither(1 - d / 170, 8, x, y));
    }
    return uint32_t(Dither(double(y * sy) / 400.0, 8, x, y));
}

// 640 x 200 with the rows drawn twice: the rings only look round when the
// display keeps the aspect of the high-resolution pixel.
IlbmPicture Hires() {
    IlbmPicture p = Picture(640, 200, 4, cmpByteRun1);
    p.header.xAspect = 5;
    p.header.yAspect = 11;
    p.hasCamg = true;
    p.camg = MODE_HIRES;
    AddRamp(p.colours, {10, 30, 40}, {40, 110, 120}, 8);
    AddRamp(p.colours, {90, 40, 10}, {255, 220, 120}, 8);
    p.pixels = Render(640, 200, [](int x, int y) {
        // Fine one-pixel stripes along the top show the horizontal resolution.
        if (y < 12) {
            return uint32_t((x & 1) ? 15 : 0);
        }
        return Rings(x, y, 1.0, 2.0, 320, 100);
    });
    return p;
}

// 320 x 400 with every pixel drawn twice side by side.
IlbmPicture Lace() {
    IlbmPicture p = Picture(320, 400, 4, cmpNone);
    p.header.xAspect = 20;
    p.header.yAspect = 11;
    p.hasCamg = true;
    p.camg = MODE_LACE;
    AddRamp(p.colours, {30, 10, 40}, {110, 60, 140}, 8);
    AddRamp(p.colours, {0, 70, 40}, {180, 255, 170}, 8);
    p.pixels = Render(320, 400, [](int x, int y) {
        if (x < 6) {
            return uint32_t((y & 1) ? 15 : 0);  // one-row stripes down the left edge
        }
        return Rings(x, y, 2.0, 1.0, 160, 200);
    });
    return p;
}

// A five-petalled flower with its mask plane; the colours outside the flower
// are the background colour, as a masked brush is usually saved.
IlbmPicture Masked() {
    IlbmPicture p = Picture(320, 200, 5, cmpByteRun1, mskHasMask);
    p.colours.push_back({12, 12, 30});
    AddRamp(p.colours, {160, 60, 0}, {255, 250, 160}, 31);
    p.pixels.resize(320 * 200);
    p.mask.resize(320 * 200);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const double dx = x - 160.0, dy = y - 105.0;
            const double angle = std::atan2(dy, dx) + PI / 2;
            const double k = std::fmod(angle * 5 / (2 * PI) + 10.5, 1.0);  // 0..1 between points
            const double edge = 45 + 50 * std::abs(k - 0.5) * 2;
            const double r = std::hypot(dx, dy);
            const size_t i = size_t(y) * 320 + size_t(x);
            if (r < edge) {
                p.mask[i] = 1;
                p.pixels[i] = uint32_t(1 + Dither(1 - r / edge * 0.8, 31, x, y));
            }
        }
    }
    return p;
}

// ---- colour cycling ---------------------------------------------------------------------

// A 640 x 480 scene made to be cycled: a rainbow in the night sky, twinkling
// stars, a waterfall over a cliff into a pool and a fire on the shore. Four
// ranges, two CRNG and two CCRT, at different rates and in both directions.
IlbmPicture Cycling() {
    IlbmPicture p = Picture(640, 480, 5, cmpByteRun1);
    p.header.xAspect = 1;
    p.header.yAspect = 1;
    p.hasCamg = true;
    p.camg = MODE_HIRES | MODE_LACE;
    p.colours.push_back({8, 10, 30});    // 0 night sky
    p.colours.push_back({14, 40, 24});   // 1 grass
    AddRamp(p.colours, {34, 30, 40}, {90, 84, 96}, 3);  // 2-4 rock
    for (int i = 0; i < 10; ++i) {       // 5-14 rainbow
        p.colours.push_back(Hue(i / 10.0, 0.9));
    }
    AddRamp(p.colours, {10, 40, 120}, {170, 220, 255}, 4);  // 15-22 water, dark to light twice
    AddRamp(p.colours, {170, 220, 255}, {10, 40, 120}, 4);
    AddRamp(p.colours, {255, 240, 120}, {120, 10, 0}, 6);   // 23-28 fire, bright to dark
    p.colours.push_back({60, 60, 90});                      // 29-31 stars, one bright at a time
    p.colours.push_back({60, 60, 90});
    p.colours.push_back({255, 255, 230});

    p.pixels = Render(640, 480, [](int x, int y) -> uint32_t {
        // The waterfall: streaks that run down with the flow.
        if (x >= 420 && x < 500 && y >= 150 && y < 380) {
            const int streak = int(3.5 + 3.5 * std::sin(x * 0.45) + 2 * std::sin(x * 0.11));
            return uint32_t(15 + (y / 5 + streak) % 8);
        }
        // The pool, with waves.
        if (y >= 380 && x >= 200) {
            const double wave = 6 * std::sin(x * 0.05) + 3 * std::sin(x * 0.13 + y * 0.1);
            return uint32_t(15 + int((y + wave) / 5) % 8);
        }
        // The cliff behind the waterfall, in layers of rock.
        if (x >= 500 && y >= 120 + 12 * std::sin(x * 0.08)) {
            return uint32_t(2 + Dither(0.5 + 0.5 * std::sin(y * 0.09 + x * 0.01), 3, x, y));
        }
        // The shore and its fire: tongues of flame whose colours rise.
        if (y >= 380 && x < 200) {
            const double height = std::max(0.0, 55 - std::abs(x - 100.0) * 0.6) *
                                  (0.6 + 0.4 * std::abs(std::sin(x * 0.09)));
            const int above = 440 - y;
            if (above >= 0 && above < height) {
                const int flicker = int(2.5 + 2.5 * std::sin(x * 0.21));
                return uint32_t(23 + (above / 6 + flicker) % 6);
            }
            return 1;
        }
        // The rainbow: bands of the colour wheel around a point below the horizon.
        const double r = std::hypot(x - 250.0, y - 430.0);
        if (r >= 250 && r < 370) {
            return uint32_t(5 + int((r - 250) / 12));
        }
        const uint32_t h = uint32_t(x * 73856093u) ^ uint32_t(y * 19349663u);
        if ((h % 397u) == 0) {
            return 29 + (h / 397u) % 3;
        }
        return 0;
    });
    p.extraChunks.push_back(RangeChunk(6000, RNG_ACTIVE | RNG_REVERSE, 5, 14));  // rainbow, inwards
    p.extraChunks.push_back(TimingChunk(-1, 15, 22, 0, 50000));                  // water, 20 steps/s
    p.extraChunks.push_back(RangeChunk(16384, RNG_ACTIVE, 23, 28));              // fire, 60 steps/s
    p.extraChunks.push_back(TimingChunk(1, 29, 31, 0, 400000));                  // stars, slow
    return p;
}

// ---- the rest of the picture family ---------------------------------------------------------

// A chunky PBM, as the PC paint programs save them: a 256-colour sunset
// over the sea, whose sky, sun and waves cycle. Sky 0-63, sun 64-95,
// sea 96-159 (cycled as the waves), sand 160-191.
IlbmPicture PbmSunset() {
    IlbmPicture p = Picture(320, 200, 8, cmpByteRun1);
    p.formType = "PBM ";
    p.header.xAspect = 5;
    p.header.yAspect = 6;
    AddRamp(p.colours, {20, 10, 60}, {250, 120, 60}, 64);
    AddRamp(p.colours, {255, 250, 200}, {255, 160, 40}, 32);
    AddRamp(p.colours, {10, 40, 110}, {60, 140, 200}, 32);
    AddRamp(p.colours, {60, 140, 200}, {10, 40, 110}, 32);
    AddRamp(p.colours, {200, 170, 110}, {120, 90, 50}, 32);
    p.colours.resize(256);
    p.pixels = Render(320, 200, [](int x, int y) -> uint32_t {
        const double sun = std::hypot(x - 160.0, y - 110.0);
        if (y < 110 && sun < 30) {
            return uint32_t(64 + Dither(sun / 30, 32, x, y));
        }
        if (y < 110) {
            return uint32_t(Dither(y / 110.0, 64, x, y));
        }
        if (y < 170) {
            const double wave = 4 * std::sin(x * 0.07 + y * 0.4);
            return uint32_t(96 + int((y - 110) * 2 + wave + 64) % 64);
        }
        return uint32_t(160 + Dither((y - 170) / 30.0, 32, x, y));
    });
    p.extraChunks.push_back(RangeChunk(2000, RNG_ACTIVE, 64, 95));              // the sun glows
    p.extraChunks.push_back(RangeChunk(8000, RNG_ACTIVE | RNG_REVERSE, 96, 159)); // the waves roll in
    return p;
}

// Red, green, blue and alpha planes, 8 each, as image converters write
// them: a disc that fades out towards its edge over a gradient; the alpha
// plane does not change what is shown.
IlbmPicture DeepRgba() {
    IlbmPicture p = Picture(320, 256, 32, cmpByteRun1);
    p.pixels = Render(320, 256, [](int x, int y) -> uint32_t {
        const double r = std::hypot(x - 160.0, y - 128.0);
        const uint32_t alpha = uint32_t(Byte(1 - Clamp01((r - 60) / 60)));
        const Rgb c = r < 120 ? Hue(std::atan2(y - 128.0, x - 160.0) / (2 * PI) + 0.5)
                              : Rgb{Byte(y / 255.0 * 0.3), Byte(0.2), Byte(x / 319.0 * 0.5)};
        return ilbmw::DeepPixel(c.r, c.g, c.b, 8) | (alpha << 24);
    });
    return p;
}

// A picture whose BODY is one ByteRun1 stream, as some writers pack it:
// runs pass the ends of plane rows and picture rows.
IlbmPicture ByteRun1Stream() {
    IlbmPicture p = Picture(320, 200, 4, cmpByteRun1);
    AddRamp(p.colours, {0, 30, 20}, {200, 255, 120}, 16);
    p.packAsStream = true;
    p.pixels = Render(320, 200, [](int x, int y) -> uint32_t {
        // Wide flat bands, so that many runs are longer than a plane row.
        const int band = (y / 25 + (x > 160 ? 1 : 0)) % 8;
        return uint32_t(band * 2 + ((x / 40 + y / 50) % 2));
    });
    return p;
}

// A rendered scene in RGB8 (24-bit colour, runs of one colour): a lit sphere
// over a floor of tiles, flat enough in places for long runs.
IlbmPicture Rgb8Sphere() {
    IlbmPicture p = Picture(320, 240, 25, cmpRgbn);
    p.formType = "RGB8";
    p.pixels = Render(320, 240, [](int x, int y) -> uint32_t {
        const double dx = (x - 160) / 70.0, dy = (y - 100) / 70.0;
        const double d2 = dx * dx + dy * dy;
        Rgb c;
        if (d2 < 1) {
            const double dz = std::sqrt(1 - d2);
            const double light = Clamp01(0.15 + 0.85 * (-0.5 * dx - 0.6 * dy + 0.62 * dz));
            const double specular = std::pow(Clamp01(-0.4 * dx - 0.5 * dy + 0.77 * dz), 30);
            c = {Byte(light * 0.9 + specular), Byte(light * 0.3 + specular), Byte(light * 0.2 + specular)};
        } else if (y > 170) {
            const bool tile = ((x / 32) + ((y - 170) / 14)) % 2 == 0;
            c = tile ? Rgb{200, 200, 190} : Rgb{40, 60, 90};
        } else {
            c = {20, 24, 48};
        }
        return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
    });
    return p;
}

// The same kind of picture in RGBN: 4 bits a component, in bands of colour.
IlbmPicture RgbnBands() {
    IlbmPicture p = Picture(320, 200, 13, cmpRgbn);
    p.formType = "RGBN";
    p.pixels = Render(320, 200, [](int x, int y) -> uint32_t {
        const Rgb c = Hue(x / 320.0, 1 - y / 250.0);
        const uint32_t r = c.r >> 4, g = c.g >> 4, b = c.b >> 4;
        return (r * 17) << 16 | (g * 17) << 8 | (b * 17);
    });
    return p;
}

// FORM ACBM: contiguous bit planes in an ABIT chunk; 32 colours in rings.
IlbmPicture AcbmRings() {
    IlbmPicture p = Picture(320, 200, 5, cmpNone);
    p.formType = "ACBM";
    AddRamp(p.colours, {10, 10, 40}, {120, 200, 255}, 16);
    AddRamp(p.colours, {255, 230, 120}, {120, 30, 10}, 16);
    p.pixels = Render(320, 200, [](int x, int y) -> uint32_t {
        const double r = std::hypot(x - 160.0, (y - 100.0) * 1.1);
        return uint32_t(int(r / 6) % 32);
    });
    return p;
}

// 12-bit colours for a line palette: the top four bits of each component.
Rgb Twelve(Rgb c) { return {uint8_t((c.r >> 4) * 17), uint8_t((c.g >> 4) * 17), uint8_t((c.b >> 4) * 17)}; }

// SHAM: HAM6 with a new base palette on every line; a sky whose base
// colours move through the hues from top to bottom, over hills.
IlbmPicture ShamSky() {
    IlbmPicture p = Picture(320, 200, 6, cmpByteRun1);
    p.hasCamg = true;
    p.camg = MODE_HAM;
    std::vector<std::vector<Rgb>> lines;
    for (int y = 0; y < 200; ++y) {
        std::vector<Rgb> line;
        for (int i = 0; i < 16; ++i) line.push_back(Twelve(Hue(y / 200.0 + i / 48.0, 0.35 + i / 24.0)));
        lines.push_back(line);
    }
    p.colours = lines[0];
    p.pixels = Render(320, 200, [](int x, int y) -> uint32_t {
        const double hill = 140 + 25 * std::sin(x * 0.03) + 10 * std::sin(x * 0.11);
        if (y > hill) {
            return uint32_t(0x30 | (4 + Dither((y - hill) / 60.0, 8, x, y)));  // green by modify
        }
        return uint32_t(Dither(x / 320.0, 16, x, y));  // the line's own colours
    });
    p.extraChunks.push_back(ilbmw::MakeChunk("SHAM", ilbmw::EncodeLinePalettes(lines, true)));
    return p;
}

// CTBL: a 16-colour picture with its own 16 colours on every line; bars
// whose colours shift down the picture.
IlbmPicture CtblBars() {
    IlbmPicture p = Picture(320, 200, 4, cmpByteRun1);
    std::vector<std::vector<Rgb>> lines;
    for (int y = 0; y < 200; ++y) {
        std::vector<Rgb> line;
        for (int i = 0; i < 16; ++i) line.push_back(Twelve(Hue(i / 16.0 + y / 400.0, 0.4 + 0.6 * (y % 50) / 50.0)));
        lines.push_back(line);
    }
    p.colours = lines[0];
    p.pixels = Render(320, 200, [](int x, int) -> uint32_t { return uint32_t(x / 20); });
    p.extraChunks.push_back(ilbmw::MakeChunk("CTBL", ilbmw::EncodeLinePalettes(lines, false)));
    return p;
}

// PCHG in the 12-bit form, Huffman packed: 32 vertical bars whose registers
// are changed eight at a time on every line, so the colours flow downwards
// like a copper list's.
IlbmPicture PchgCopperBars() {
    IlbmPicture p = Picture(320, 200, 5, cmpByteRun1);
    for (int i = 0; i < 32; ++i) p.colours.push_back(Twelve(Hue(i / 32.0, 0.6)));
    p.pixels = Render(320, 200, [](int x, int) -> uint32_t { return uint32_t(x / 10); });
    ilbmw::PaletteChangeLines changes;
    changes.huffman = true;
    for (int y = 0; y < 200; ++y) {
        std::vector<ilbmw::PaletteChange> line;
        for (int k = 0; k < 8; ++k) {
            const int reg = (y * 8 + k) % 32;
            line.push_back({uint16_t(reg), Twelve(Hue(reg / 32.0 + y / 200.0, 0.3 + 0.7 * (y % 40) / 40.0))});
        }
        changes.lines.push_back(line);
    }
    p.extraChunks.push_back(ilbmw::MakeChunk("PCHG", ilbmw::EncodePaletteChanges(changes)));
    return p;
}

// PCHG in the 24-bit form, plain, over HAM6: the 16 base colours become a
// new 8-bit gradient every second line, and the ground is drawn by modify.
IlbmPicture PchgHamDusk() {
    IlbmPicture p = Picture(320, 200, 6, cmpByteRun1);
    p.hasCamg = true;
    p.camg = MODE_HAM;
    for (int i = 0; i < 16; ++i) p.colours.push_back(Hue(0.6 + i / 40.0, 0.5));
    ilbmw::PaletteChangeLines changes;
    changes.big = true;
    for (int y = 0; y < 200; ++y) {
        std::vector<ilbmw::PaletteChange> line;
        if (y % 2 == 0) {
            for (int i = 0; i < 16; ++i) line.push_back({uint16_t(i), Hue(0.55 + y / 330.0 + i / 64.0, 0.2 + i / 20.0)});
        }
        changes.lines.push_back(line);
    }
    p.pixels = Render(320, 200, [](int x, int y) -> uint32_t {
        const double ground = 150 + 12 * std::sin(x * 0.025);
        if (y > ground) return uint32_t(0x20 | (3 + Dither((y - ground) / 50.0, 6, x, y)));  // red by modify
        return uint32_t(Dither(x / 320.0, 16, x, y));
    });
    p.extraChunks.push_back(ilbmw::MakeChunk("PCHG", ilbmw::EncodePaletteChanges(changes)));
    return p;
}

// FORM DEEP, TVPaint's chunky true colour: RGBA pixels, run-length coded,
// a sun over banded sea (flat bands make long runs).
ilbmw::DeepPicture DeepSeaSun() {
    ilbmw::DeepPicture p;
    p.width = 320;
    p.height = 200;
    p.compression = 1;
    p.elements = {{1, 8}, {2, 8}, {3, 8}, {4, 8}};
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            Rgb c;
            const double sun = std::hypot(x - 220.0, y - 80.0);
            if (sun < 30) {
                c = {255, uint8_t(220 - sun * 2), 90};
            } else if (y < 120) {
                c = MixRgb({30, 40, 110}, {250, 140, 90}, y / 120.0);
            } else {
                c = MixRgb({20, 60, 120}, {5, 15, 50}, double((y - 120) / 8 * 8) / 80.0);
            }
            p.pixels.insert(p.pixels.end(), {c.r, c.g, c.b, 255});
        }
    }
    return p;
}

bool SaveDeep(const std::filesystem::path& dir, const char* name) {
    const std::filesystem::path path = dir / name;
    if (!ilbmw::WriteFile(path.string(), ilbmw::MakeDeep(DeepSeaSun()))) {
        std::fprintf(stderr, "make_samples: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

bool Save(const std::filesystem::path& dir, const char* name, const IlbmPicture& picture) {
    const std::filesystem::path path = dir / name;
    if (!ilbmw::WriteFile(path.string(), ilbmw::MakeIlbm(picture))) {
        std::fprintf(stderr, "make_samples: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

}  // namespace
}  // namespace lanterna

int main(int argc, char** argv) {
    using namespace lanterna;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_samples DIRECTORY\n");
        return 20;
    }
    const std::filesystem::path dir(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "make_samples: cannot create %s\n", argv[1]);
        return 20;
    }
    const struct {
        const char* name;
        IlbmPicture (*make)();
    } samples[] = {
        {"01-two-colours.iff", TwoColours},
        {"02-four-colours.iff", FourColours},
        {"03-sixteen-colours.iff", SixteenColours},
        {"04-thirty-two-colours.iff", ThirtyTwoColours},
        {"05-256-colours.iff", TwoHundredFiftySixColours},
        {"06-extra-half-brite.iff", ExtraHalfBrite},
        {"07-ham6.iff", Ham6},
        {"08-ham8.iff", Ham8},
        {"09-deep-24-bit.iff", Deep24},
        {"10-deep-12-bit.iff", Deep12},
        {"11-hires.iff", Hires},
        {"12-lace.iff", Lace},
        {"13-masked.iff", Masked},
        {"14-colour-cycling.iff", Cycling},
        {"15-pbm-chunky.iff", PbmSunset},
        {"16-deep-32-bit-rgba.iff", DeepRgba},
        {"17-byterun1-stream.iff", ByteRun1Stream},
        {"18-rgb8.iff", Rgb8Sphere},
        {"19-rgbn.iff", RgbnBands},
        {"20-acbm.iff", AcbmRings},
        {"21-sham.iff", ShamSky},
        {"22-ctbl.iff", CtblBars},
        {"23-pchg-12-bit.iff", PchgCopperBars},
        {"24-pchg-24-bit-ham.iff", PchgHamDusk},
    };
    for (const auto& sample : samples) {
        if (!Save(dir, sample.name, sample.make())) {
            return 20;
        }
    }
    return SaveDeep(dir, "25-deep-tvpaint.iff") ? 0 : 20;
}
