// The HAM kernels: the plain chain against a pixel-by-pixel reading of the
// rules, and every vector path this processor runs against the plain one on
// random rows of both kinds, of every width up to a few blocks and some odd
// long ones. The output is fenced, so a write past the row shows.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "display/kernels/ham_kernels.h"

namespace lanterna {
namespace {

constexpr uint8_t kFence = 0xA5;
constexpr size_t kFenceBytes = 64;

std::vector<size_t> Widths() {
    std::vector<size_t> widths;
    for (size_t w = 1; w <= 100; ++w) widths.push_back(w);
    for (size_t w : {127u, 320u, 321u, 639u, 1023u, 4096u}) widths.push_back(w);
    return widths;
}

std::vector<uint8_t> RandomColours(std::mt19937& random) {
    std::vector<uint8_t> colours(256 * 3);
    for (uint8_t& c : colours) c = static_cast<uint8_t>(random());
    return colours;
}

// Codes as 6 or 8 planes give them. Half the rows have base colours only
// now and then, so the scan also carries colours across whole blocks.
std::vector<uint8_t> RandomCodes(bool ham6, size_t pixels, bool fewBases, std::mt19937& random) {
    std::vector<uint8_t> codes(pixels);
    for (uint8_t& v : codes) {
        v = static_cast<uint8_t>(random() & (ham6 ? 0x3F : 0xFF));
        const uint8_t control = ham6 ? 0x30 : 0xC0;
        if (fewBases && (v & control) == 0 && random() % 64 != 0) v |= ham6 ? 0x10 : 0x40;
    }
    return codes;
}

// The rules one pixel at a time, with the colour kept as three components.
std::vector<uint8_t> Reference(bool ham6, const std::vector<uint8_t>& codes, const uint8_t* colours) {
    uint8_t rgb[3] = {0, 0, 0};
    if (colours != nullptr) {
        for (int c = 0; c < 3; ++c) rgb[c] = colours[c];
    }
    std::vector<uint8_t> out;
    for (uint8_t v : codes) {
        const uint32_t d = ham6 ? v & 0x0F : v & 0x3F;
        const uint32_t control = ham6 ? (v >> 4) & 3 : v >> 6;
        const auto level = static_cast<uint8_t>(ham6 ? d * 17 : (d << 2) | (d >> 4));
        switch (control) {
            case 0:
                for (int c = 0; c < 3; ++c) rgb[c] = colours != nullptr ? colours[3 * d + c] : 0;
                break;
            case 1:
                rgb[2] = level;
                break;
            case 2:
                rgb[0] = level;
                break;
            default:
                rgb[1] = level;
                break;
        }
        out.insert(out.end(), rgb, rgb + 3);
    }
    return out;
}

std::vector<uint8_t> Convert(HamPath path, bool ham6, const std::vector<uint8_t>& codes, const uint8_t* colours) {
    std::vector<uint8_t> out(3 * codes.size() + kFenceBytes, kFence);
    HamToRgb(path, ham6, codes.data(), codes.size(), colours, out.data());
    for (size_t i = 3 * codes.size(); i < out.size(); ++i) {
        EXPECT_EQ(out[i], kFence) << "written past the row at " << i;
    }
    out.resize(3 * codes.size());
    return out;
}

TEST(HamKernels, PlainFollowsTheRulesPixelByPixel) {
    std::mt19937 random(11);
    const std::vector<uint8_t> colours = RandomColours(random);
    for (bool ham6 : {true, false}) {
        for (const uint8_t* map : {colours.data(), static_cast<const uint8_t*>(nullptr)}) {
            for (size_t width : {1u, 2u, 3u, 17u, 100u, 333u}) {
                const std::vector<uint8_t> codes = RandomCodes(ham6, width, width % 2 == 0, random);
                ASSERT_EQ(Convert(HamPath::Plain, ham6, codes, map), Reference(ham6, codes, map))
                    << (ham6 ? "HAM6" : "HAM8") << ", width " << width << (map ? "" : ", no colours");
            }
        }
    }
}

TEST(HamKernels, EveryVectorPathMatchesPlainOnRandomRows) {
    std::mt19937 random(12);
    for (HamPath path : {HamPath::Avx2, HamPath::Avx512}) {
        if (!HamPathAvailable(path)) continue;
        for (bool ham6 : {true, false}) {
            for (size_t width : Widths()) {
                for (bool fewBases : {false, true}) {
                    const std::vector<uint8_t> colours = RandomColours(random);
                    const std::vector<uint8_t> codes = RandomCodes(ham6, width, fewBases, random);
                    const uint8_t* map = width % 7 == 3 ? nullptr : colours.data();
                    ASSERT_EQ(Convert(path, ham6, codes, map), Convert(HamPath::Plain, ham6, codes, map))
                        << "path " << int(path) << (ham6 ? ", HAM6" : ", HAM8") << ", width " << width
                        << (fewBases ? ", few base colours" : "") << (map ? "" : ", no colours");
                }
            }
        }
    }
}

// The line buffer holds the codes behind the RGB it is turned into; the
// vector blocks must read each code before the RGB written in front reaches it.
TEST(HamKernels, CodesBehindTheOutputInOneBuffer) {
    EXPECT_TRUE(HamPathAvailable(BestHamPath()));
    std::mt19937 random(13);
    for (HamPath path : {HamPath::Plain, HamPath::Avx2, HamPath::Avx512}) {
        if (!HamPathAvailable(path)) continue;
        for (size_t width : {31u, 32u, 33u, 64u, 95u, 1000u}) {
            const std::vector<uint8_t> colours = RandomColours(random);
            const std::vector<uint8_t> codes = RandomCodes(false, width, true, random);
            std::vector<uint8_t> line(5 * width);
            std::copy(codes.begin(), codes.end(), line.begin() + 2 * width);
            HamToRgb(path, false, line.data() + 2 * width, width, colours.data(), line.data());
            line.resize(3 * width);
            ASSERT_EQ(line, Reference(false, codes, colours.data())) << "path " << int(path) << ", width " << width;
        }
    }
}

}  // namespace
}  // namespace lanterna
