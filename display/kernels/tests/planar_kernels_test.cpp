// The planar kernels: the plain path against a bit-by-bit reading of the
// planes, and every vector path this processor runs against the plain one,
// on random rows of every plane count and of widths that leave every kind of
// tail after the vector blocks. Planes are allocated to their exact length
// and the output is fenced, so a read or write past the row shows (under
// AddressSanitizer, and through the fence bytes).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "display/kernels/planar_kernels.h"

namespace lanterna {
namespace {

constexpr uint8_t kFence = 0xA5;
constexpr size_t kFenceBytes = 64;

// The widths in byte columns: 1 to 70 covers every remainder after blocks of
// 16 and 32 columns; then a few long rows, odd ones among them.
std::vector<size_t> Widths() {
    std::vector<size_t> widths;
    for (size_t c = 1; c <= 70; ++c) widths.push_back(c);
    for (size_t c : {127u, 128u, 129u, 255u, 513u, 1027u}) widths.push_back(c);
    return widths;
}

struct RandomPlanes {
    std::vector<std::vector<uint8_t>> storage;
    std::vector<uint8_t*> pointers;

    RandomPlanes(uint32_t count, size_t columns, std::mt19937& random) {
        for (uint32_t i = 0; i < count; ++i) {
            std::vector<uint8_t> plane(columns);
            for (uint8_t& b : plane) b = static_cast<uint8_t>(random());
            storage.push_back(std::move(plane));
        }
        for (auto& plane : storage) pointers.push_back(plane.data());
    }
};

// Pixel p's value, read one bit at a time: plane i gives bit shift + i.
uint32_t ReadPixel(uint8_t* const* planes, uint32_t count, uint32_t shift, size_t p) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if ((planes[i][p / 8] >> (7 - p % 8)) & 1u) v |= 1u << (shift + i);
    }
    return v;
}

std::vector<uint8_t> Fenced(size_t bytes) { return std::vector<uint8_t>(bytes + kFenceBytes, kFence); }

void ExpectFenceIntact(const std::vector<uint8_t>& out, size_t bytes) {
    for (size_t i = bytes; i < out.size(); ++i) ASSERT_EQ(out[i], kFence) << "written past the row at " << i;
}

std::vector<KernelSet> VectorSets() {
    std::vector<KernelSet> sets;
    for (KernelSet s : {KernelSet::Sse2, KernelSet::Avx2, KernelSet::Avx2Gfni})
        if (KernelSetAvailable(s)) sets.push_back(s);
    return sets;
}

TEST(PlanarKernels, PlainChunkyReadsEveryBitOfItsPlane) {
    std::mt19937 random(1);
    for (uint32_t count = 1; count <= 8; ++count) {
        for (size_t columns : {1u, 2u, 17u, 40u}) {
            RandomPlanes planes(count, columns, random);
            std::vector<uint8_t> out = Fenced(8 * columns);
            PlanesToChunky(KernelSet::Plain, planes.pointers.data(), count, columns, out.data());
            for (size_t p = 0; p < 8 * columns; ++p)
                ASSERT_EQ(out[p], ReadPixel(planes.pointers.data(), count, 0, p)) << count << " planes, pixel " << p;
            ExpectFenceIntact(out, 8 * columns);
        }
    }
}

TEST(PlanarKernels, PlainRgbPutsEachComponentThroughItsLevels) {
    std::mt19937 random(2);
    for (uint32_t bits = 1; bits <= 8; ++bits) {
        const size_t columns = 19;
        RandomPlanes red(bits, columns, random), green(bits, columns, random), blue(bits, columns, random);
        std::vector<uint8_t> levels(256);
        for (uint8_t& l : levels) l = static_cast<uint8_t>(random());
        const uint8_t* table = bits == 8 ? nullptr : levels.data();
        std::vector<uint8_t> out = Fenced(24 * columns);
        PlanesToRgb(KernelSet::Plain, red.pointers.data(), green.pointers.data(), blue.pointers.data(), bits, table,
                    columns, out.data());
        for (size_t p = 0; p < 8 * columns; ++p) {
            uint8_t* const* views[3] = {red.pointers.data(), green.pointers.data(), blue.pointers.data()};
            for (int k = 0; k < 3; ++k) {
                const uint32_t byte = ReadPixel(views[k], bits, 8 - bits, p);
                ASSERT_EQ(out[3 * p + k], table != nullptr ? table[byte] : byte)
                    << bits << " bits, pixel " << p << ", channel " << k;
            }
        }
        ExpectFenceIntact(out, 24 * columns);
    }
}

TEST(PlanarKernels, VectorChunkyMatchesPlainOnRandomRows) {
    const std::vector<KernelSet> sets = VectorSets();
#if defined(__x86_64__)
    ASSERT_FALSE(sets.empty()) << "SSE2 is on every x86-64";
#endif
    std::mt19937 random(3);
    for (KernelSet set : sets) {
        for (uint32_t count = 1; count <= 8; ++count) {
            for (size_t columns : Widths()) {
                RandomPlanes planes(count, columns, random);
                std::vector<uint8_t> expected = Fenced(8 * columns), got = Fenced(8 * columns);
                PlanesToChunky(KernelSet::Plain, planes.pointers.data(), count, columns, expected.data());
                PlanesToChunky(set, planes.pointers.data(), count, columns, got.data());
                ASSERT_EQ(got, expected) << "set " << int(set) << ", " << count << " planes, " << columns
                                         << " columns";
            }
        }
    }
}

TEST(PlanarKernels, VectorRgbMatchesPlainOnRandomRows) {
    std::mt19937 random(4);
    for (KernelSet set : VectorSets()) {
        for (uint32_t bits = 1; bits <= 8; ++bits) {
            std::vector<uint8_t> levels(256);
            for (uint8_t& l : levels) l = static_cast<uint8_t>(random());
            const uint8_t* tables[] = {nullptr, levels.data()};
            for (const uint8_t* table : tables) {
                for (size_t columns : Widths()) {
                    RandomPlanes red(bits, columns, random), green(bits, columns, random),
                        blue(bits, columns, random);
                    std::vector<uint8_t> expected = Fenced(24 * columns), got = Fenced(24 * columns);
                    PlanesToRgb(KernelSet::Plain, red.pointers.data(), green.pointers.data(), blue.pointers.data(),
                                bits, table, columns, expected.data());
                    PlanesToRgb(set, red.pointers.data(), green.pointers.data(), blue.pointers.data(), bits, table,
                                columns, got.data());
                    ASSERT_EQ(got, expected) << "set " << int(set) << ", " << bits << " bits, "
                                             << (table ? "levels" : "no levels") << ", " << columns << " columns";
                }
            }
        }
    }
}

TEST(PlanarKernels, TheBestSetIsOneThisProcessorRuns) {
    EXPECT_TRUE(KernelSetAvailable(BestKernelSet()));
    EXPECT_TRUE(KernelSetAvailable(KernelSet::Plain));
}

}  // namespace
}  // namespace lanterna
