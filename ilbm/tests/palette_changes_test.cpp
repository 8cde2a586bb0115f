// PCHG palette changes: the writer's chunks (both forms, plain and Huffman
// packed) read back and applied row by row, and chunks that claim more than
// they hold refused as corrupt.
#include <gtest/gtest.h>

#include "ilbm/palette_changes.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"
#include "tests/support/memory_iff.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;
using lanterna::test_support::MemoryIff;

namespace {

// Reads `data` as the one PCHG chunk of a FORM ILBM.
struct Reader {
    PictureInfo picture;
    ~Reader() { FreePaletteChanges(picture.paletteChanges); }
    int32_t Read(const Bytes& data) {
        MemoryIff iff(MakeGroup("FORM", "ILBM", MakeChunk("PCHG", data)));
        iff.Stop("ILBM", "PCHG");
        if (os::ParseIFF(iff.iff, os::IFFPARSE_SCAN) != 0) return -1;
        return ReadPaletteChanges(iff.iff, os::CurrentChunk(iff.iff)->cn_Size, picture);
    }
};

PaletteChangeLines Lines(bool big, bool huffman, int16_t start = 0) {
    PaletteChangeLines c;
    c.big = big;
    c.huffman = huffman;
    c.startLine = start;
    c.lines.resize(40);
    for (int i = 0; i < 40; i += 3) {
        for (int k = 0; k <= i % 4; ++k) {
            const uint16_t reg = uint16_t((i * 7 + k * 13) % (big ? 200 : 32));
            c.lines[size_t(i)].push_back({reg, Rgb{uint8_t(i * 6 + k * 16), uint8_t(255 - i * 5), uint8_t(k * 80 + 7)}});
        }
    }
    return c;
}

// The colours of each row as the changes give them, from all-zero registers.
std::vector<Bytes> Expected(const PaletteChangeLines& c, int rows) {
    std::vector<Bytes> out;
    Bytes colours(COLOUR_TABLE_BYTES, 0);
    for (int row = 0; row < rows; ++row) {
        for (size_t i = 0; i < c.lines.size(); ++i) {
            if (c.startLine + int(i) != row && !(row == 0 && c.startLine + int(i) < 0)) continue;
            for (const PaletteChange& ch : c.lines[i]) {
                if (!c.big && ch.reg >= 32) continue;
                const uint8_t m = c.big ? 0xFF : 0xF0;
                const auto widen = [&](uint8_t v) { return uint8_t(c.big ? v : (v >> 4) * 17); };
                colours[3 * size_t{ch.reg}] = widen(ch.colour.r & m);
                colours[3 * size_t{ch.reg} + 1] = widen(ch.colour.g & m);
                colours[3 * size_t{ch.reg} + 2] = widen(ch.colour.b & m);
            }
        }
        out.push_back(colours);
    }
    return out;
}

}  // namespace

TEST(PaletteChanges, BothFormsPlainAndPackedChangeTheirRowsAndCarryOn) {
    for (bool big : {false, true}) {
        for (bool huffman : {false, true}) {
            for (int16_t start : {int16_t(0), int16_t(5), int16_t(-4)}) {
                SCOPED_TRACE(testing::Message() << big << huffman << start);
                const PaletteChangeLines c = Lines(big, huffman, start);
                Reader reader;
                ASSERT_EQ(reader.Read(EncodePaletteChanges(c)), 0);
                ASSERT_NE(reader.picture.paletteChanges, nullptr);
                const std::vector<Bytes> expected = Expected(c, 50);
                Bytes colours(COLOUR_TABLE_BYTES, 0);
                for (int row = 0; row < 50; ++row) {
                    ApplyPaletteChanges(*reader.picture.paletteChanges, row, colours.data(), false);
                    ASSERT_EQ(colours, expected[size_t(row)]) << "row " << row;
                }
            }
        }
    }
}

TEST(PaletteChanges, HalfBriteRegistersFollowTheirColours) {
    PaletteChangeLines c;
    c.lines = {{{3, Rgb{0xF0, 0x80, 0x20}}, {40, Rgb{0x10, 0x20, 0x30}}}};
    Reader reader;
    ASSERT_EQ(reader.Read(EncodePaletteChanges(c)), 0);
    Bytes colours(COLOUR_TABLE_BYTES, 0);
    ApplyPaletteChanges(*reader.picture.paletteChanges, 0, colours.data(), true);
    EXPECT_EQ(colours[3 * 35], 0x7F);  // 0xF widens to 0xFF
    EXPECT_EQ(colours[3 * 35 + 1], 0x44);
    EXPECT_EQ(colours[3 * 35 + 2], 0x11);
}

// Huffman packing of data with one symbol, with every symbol, and with none
// comes back as it went in.
TEST(PaletteChanges, HuffmanPackingRoundTrips) {
    std::vector<Bytes> samples = {{}, Bytes(77, 0x42), {1, 2}};
    Bytes all;
    for (int i = 0; i < 2000; ++i) all.push_back(uint8_t((i * i) % 251 + (i % 7 == 0 ? 3 : 0)));
    samples.push_back(all);
    for (const Bytes& data : samples) {
        Bytes tree, packed;
        HuffmanPack(data, &tree, &packed);
        Bytes out(data.size() + 1, 0xEE);
        ASSERT_EQ(UnpackPaletteChanges(tree.data(), uint32_t(tree.size() / 2), packed.data(), uint32_t(packed.size()),
                                       out.data(), uint32_t(data.size())),
                  0);
        out.resize(data.size());
        EXPECT_EQ(out, data);
    }
}

TEST(PaletteChanges, ChunksThatClaimMoreThanTheyHoldAreCorrupt) {
    const Bytes good = EncodePaletteChanges(Lines(false, false));
    const Bytes goodBig = EncodePaletteChanges(Lines(true, false));
    const Bytes packed = EncodePaletteChanges(Lines(true, true));
    struct Case {
        const char* what;
        Bytes data;
        int32_t result;
    };
    std::vector<Case> cases;
    cases.push_back({"shorter than its header", Truncated(good, 19), ERR_CORRUPT});
    {
        Bytes b = good;
        PutBE16(b, 6, 4000);  // a line mask of 4000 lines in a chunk of 40
        cases.push_back({"line mask past the end", b, ERR_CORRUPT});
    }
    cases.push_back({"change counts past the end", Truncated(good, good.size() - 1), ERR_CORRUPT});
    cases.push_back({"big change counts past the end", Truncated(goodBig, goodBig.size() - 3), ERR_CORRUPT});
    {
        Bytes b = good;
        PutBE32(b, 16, 3);  // fewer changes in all than the lines hold
        cases.push_back({"more changes than the total", b, ERR_CORRUPT});
    }
    {
        Bytes b = good;
        PutBE16(b, 2, 0);
        cases.push_back({"neither form", b, ERR_CORRUPT});
    }
    {
        Bytes b = good;
        PutBE16(b, 0, 7);
        cases.push_back({"unknown packing", b, ERR_COMPRESSION});
    }
    {
        Bytes b = packed;
        PutBE32(b, 24, 0x7FFFFFF0);  // an original size no coded bits can give
        cases.push_back({"absurd original size", b, ERR_CORRUPT});
    }
    {
        Bytes b = packed;
        PutBE32(b, 20, 0x10000);  // a tree larger than the chunk
        cases.push_back({"tree past the end", b, ERR_CORRUPT});
    }
    const uint32_t treeSize =
        (uint32_t(packed[20]) << 24) | (uint32_t(packed[21]) << 16) | (uint32_t(packed[22]) << 8) | packed[23];
    {
        Bytes b = packed;
        PutBE32(b, 24, uint32_t((b.size() - 28 - treeSize) * 8));  // more bytes out than the bits give
        cases.push_back({"coded bits run out", b, ERR_CORRUPT});
    }
    {
        Bytes b = packed;
        PutBE16(b, 28 + treeSize - 2, 0x8000);  // the root sends a 1 bit far outside the tree
        cases.push_back({"tree leads outside itself", b, ERR_CORRUPT});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reader reader;
        EXPECT_EQ(reader.Read(c.data), c.result);
        EXPECT_EQ(reader.picture.paletteChanges, nullptr);
    }
    // Fewer changed lines than the mask marks: the rest of the mask is not used.
    Bytes fewer = good;
    PutBE16(fewer, 8, 2);
    Reader reader;
    ASSERT_EQ(reader.Read(fewer), 0);
    Bytes colours(COLOUR_TABLE_BYTES, 0);
    ApplyPaletteChanges(*reader.picture.paletteChanges, 100, colours.data(), false);
    EXPECT_EQ(colours, Expected(Lines(false, false), 4).back());
}
