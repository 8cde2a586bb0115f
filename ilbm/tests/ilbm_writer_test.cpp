// The ILBM writer that every reading test relies on: file layout, packing and
// HAM encoding checked against independent expectations.
#include <gtest/gtest.h>

#include <random>

#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

// An unpacker written from the format, independent of the decoder under test.
Bytes Unpack(const Bytes& packed) {
    Bytes out;
    for (size_t i = 0; i < packed.size();) {
        const int8_t n = int8_t(packed[i++]);
        if (n >= 0) {
            out.insert(out.end(), packed.begin() + ptrdiff_t(i), packed.begin() + ptrdiff_t(i) + n + 1);
            i += size_t(n) + 1;
        } else if (n != -128) {
            out.insert(out.end(), size_t(1 - n), packed[i++]);
        }
    }
    return out;
}

}  // namespace

TEST(IlbmWriter, ChunksGroupsAndHeadersHaveTheFileLayout) {
    const Bytes chunk = MakeChunk("ABCD", Bytes{1, 2, 3});
    EXPECT_EQ(chunk, (Bytes{'A', 'B', 'C', 'D', 0, 0, 0, 3, 1, 2, 3, 0}));  // pad byte after odd data
    const Bytes form = MakeGroup("FORM", "ILBM", chunk);
    EXPECT_EQ(form.size(), 12u + chunk.size());
    EXPECT_EQ(Bytes(form.begin() + 4, form.begin() + 12), (Bytes{0, 0, 0, 16, 'I', 'L', 'B', 'M'}));

    BitMapHeader h = SimpleHeader(320, 200, 5, cmpByteRun1, mskHasMask);
    h.x = -2;
    const Bytes b = EncodeBitMapHeader(h);
    EXPECT_EQ(b, (Bytes{0x01, 0x40, 0x00, 0xC8, 0xFF, 0xFE, 0, 0, 5, 1, 1, 0, 0, 0, 1, 1, 0x01, 0x40, 0x00, 0xC8}));
    EXPECT_EQ(EncodeCycleTiming(-1, 2, 3, 1, 0x10203),
              (Bytes{0xFF, 0xFF, 2, 3, 0, 0, 0, 1, 0, 1, 2, 3, 0, 0}));
    EXPECT_EQ(PlaneRowBytes(1), 2);
    EXPECT_EQ(PlaneRowBytes(16), 2);
    EXPECT_EQ(PlaneRowBytes(321), 42);
}

TEST(IlbmWriter, PlanarRowsPutBitIOfAPixelInPlaneI) {
    // Pixels 0b101 and 0b010 side by side, 2 pixels wide, one row.
    const Bytes planar = MakePlanarBody(2, 1, 3, {5, 2}, {1, 0});
    EXPECT_EQ(planar, (Bytes{0x80, 0, 0x40, 0, 0x80, 0, 0x80, 0}));
}

TEST(IlbmWriter, PackingRoundTripsAndStaysWithinRows) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 200; ++trial) {
        Bytes row(size_t(rng() % 700 + 1));
        for (auto& b : row) b = (rng() % 4 == 0) ? uint8_t(rng()) : uint8_t(rng() % 2);
        const Bytes packed = PackByteRun1(row.data(), row.size());
        ASSERT_EQ(Unpack(packed), row);
        EXPECT_LE(packed.size(), row.size() + row.size() / 128 + 2);  // never much worse than all literal
    }
}

TEST(IlbmWriter, HamRowsDecodeToTheTargetsAtHamPrecision) {
    std::vector<Rgb> palette;
    for (int i = 0; i < 64; ++i) palette.push_back(Rgb{uint8_t(i * 4), uint8_t(255 - i * 4), uint8_t(i * 2)});
    std::vector<Rgb> targets;
    for (int i = 0; i < 300; ++i) {
        // Mostly one component changing at a time, as HAM pictures are made.
        targets.push_back(Rgb{uint8_t(i * 3), uint8_t(i < 150 ? 40 : 200), uint8_t((i / 30) * 20)});
    }
    for (int planes : {6, 8}) {
        const int bits = planes == 6 ? 4 : 6;
        const auto codes = EncodeHamRow(targets, palette, planes);
        ASSERT_EQ(codes.size(), targets.size());
        for (uint32_t c : codes) EXPECT_LT(c, 1u << planes);
        const auto shown = DecodeHamRow(codes, palette, planes);
        // Wherever the encoder reached the target, the top bits agree; one
        // modify per pixel means a pixel may lag when two components jump.
        int exact = 0;
        for (size_t i = 0; i < targets.size(); ++i) {
            if ((shown[i].r >> (8 - bits)) == (targets[i].r >> (8 - bits)) &&
                (shown[i].g >> (8 - bits)) == (targets[i].g >> (8 - bits)) &&
                (shown[i].b >> (8 - bits)) == (targets[i].b >> (8 - bits))) {
                ++exact;
            }
        }
        EXPECT_GT(exact, 280) << planes;
        // A palette colour is chosen by index.
        const std::vector<Rgb> four{Rgb{0, 0, 0}, Rgb{255, 0, 0}, Rgb{0, 255, 0}, Rgb{0, 0, 255}};
        EXPECT_EQ(EncodeHamRow({four[3], four[1]}, four, planes), (std::vector<uint32_t>{3, 1}));
    }
    // Decoding widens components by repeating their bits.
    const auto wide = DecodeHamRow({0x2F, 0x3A, 0x15}, {Rgb{0, 0, 0}}, 6);
    EXPECT_EQ(wide[0].r, 0xFF);
    EXPECT_EQ(wide[1].g, 0xAA);
    EXPECT_EQ(wide[2].b, 0x55);
}
