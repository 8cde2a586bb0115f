// The chunk readers over chunks made by the writer.
#include <gtest/gtest.h>

#include <climits>

#include "ilbm/chunk_readers.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "platform/testing/testing.h"
#include "records/result_codes.h"
#include "tests/support/memory_iff.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;
using lanterna::test_support::MemoryIff;

namespace {

// Runs the reader that belongs to each stopped chunk over a FORM ILBM of the
// given chunks, the way the picture pipeline does; returns the first non-zero
// reader result, or 0 after the whole FORM.
struct Collector {
    PictureInfo picture;
    ~Collector() { os::FreeVec(picture.colours); }
    int32_t Run(const std::vector<Bytes>& chunks, std::vector<std::string>* stops = nullptr) {
        MemoryIff iff(MakeGroup("FORM", "ILBM", Concat(chunks)));
        for (const char* id : {"BMHD", "CMAP", "CAMG", "BODY", "CCRT", "CRNG", "NEXT"}) iff.Stop("ILBM", id);
        for (;;) {
            const int32_t r = os::ParseIFF(iff.iff, os::IFFPARSE_SCAN);
            if (r != 0) return r == os::IFFERR_EOF ? 0 : IffResultCode(r);
            os::ContextNode* cn = os::CurrentChunk(iff.iff);
            int32_t e = 0;
            switch (cn->cn_ID) {
                case ID_BMHD: e = ReadBitMapHeader(iff.iff, picture); break;
                case ID_CMAP: e = ReadColourMap(iff.iff, cn->cn_Size, picture); break;
                case ID_CAMG: e = ReadDisplayMode(iff.iff, picture); break;
                case ID_CRNG: e = ReadColourRange(iff.iff, picture); break;
                case ID_CCRT: e = ReadCycleTiming(iff.iff, picture); break;
                default:
                    if (stops) stops->push_back(std::to_string(cn->cn_Size));
                    break;
            }
            if (e != 0) return e;
        }
    }
};

Bytes Colours(int32_t entries) {
    Bytes b;
    for (int32_t i = 0; i < entries * 3; ++i) b.push_back(uint8_t(i * 5 + 1));
    return b;
}

Bytes Next() { return MakeChunk("NEXT", Bytes{1, 2, 3}); }

}  // namespace

TEST(ChunkReaders, BitMapHeaderFieldsAreBigEndianAndSigned) {
    BitMapHeader h = SimpleHeader(321, 200, 5, cmpByteRun1, mskHasMask);
    h.x = -3;
    h.y = -300;
    h.transparentColor = 0x1234;
    h.xAspect = 10;
    h.yAspect = 11;
    h.pageWidth = 640;
    h.pageHeight = 512;
    h.pad1 = 9;
    Collector c;
    ASSERT_EQ(c.Run({MakeChunk("BMHD", EncodeBitMapHeader(h))}), 0);
    const BitMapHeader& r = c.picture.header;
    EXPECT_EQ(r.w, 321);
    EXPECT_EQ(r.h, 200);
    EXPECT_EQ(r.x, -3);
    EXPECT_EQ(r.y, -300);
    EXPECT_EQ(r.nPlanes, 5);
    EXPECT_EQ(r.masking, mskHasMask);
    EXPECT_EQ(r.compression, cmpByteRun1);
    EXPECT_EQ(r.pad1, 9);
    EXPECT_EQ(r.transparentColor, 0x1234);
    EXPECT_EQ(r.xAspect, 10);
    EXPECT_EQ(r.yAspect, 11);
    EXPECT_EQ(r.pageWidth, 640);
    EXPECT_EQ(r.pageHeight, 512);
}

TEST(ChunkReaders, RecordsShorterThanTheirSizeAreCorrupt) {
    for (const char* id : {"BMHD", "CAMG", "CRNG", "CCRT"}) {
        const size_t full = std::string(id) == "BMHD" ? 20 : std::string(id) == "CAMG" ? 4
                            : std::string(id) == "CRNG" ? 8 : 14;
        Collector c;
        EXPECT_EQ(c.Run({MakeChunk(id, Bytes(full - 1, 0))}), ERR_CORRUPT) << id;
        Collector longer;
        EXPECT_EQ(longer.Run({MakeChunk(id, Bytes(full + 3, 0)), Next()}), 0) << id;  // extra bytes skipped
    }
}

TEST(ChunkReaders, ColourMapSizes) {
    {
        // 97 bytes: 32 colours, the last byte skipped; the next chunk still found.
        Collector c;
        std::vector<std::string> after;
        const Bytes cmap = Truncated(Colours(33), 97);
        ASSERT_EQ(c.Run({MakeChunk("CMAP", cmap), Next()}, &after), 0);
        EXPECT_EQ(c.picture.colourCount, 32);
        const Bytes expected = Colours(32);
        EXPECT_EQ(Bytes(c.picture.colours, c.picture.colours + 96), expected);
        EXPECT_EQ(c.picture.colours[96], 0);  // the rest of the table stays clear
        EXPECT_EQ(after, std::vector<std::string>{"3"});
    }
    {
        // More than 256 entries: the first 256 kept, the rest skipped.
        Collector c;
        std::vector<std::string> after;
        ASSERT_EQ(c.Run({MakeChunk("CMAP", Colours(300)), Next()}, &after), 0);
        EXPECT_EQ(c.picture.colourCount, 256);
        EXPECT_EQ(Bytes(c.picture.colours, c.picture.colours + 768), Colours(256));
        EXPECT_EQ(after, std::vector<std::string>{"3"});
    }
    {
        // An empty CMAP gives a cleared table of no colours; a second CMAP replaces the first.
        Collector c;
        ASSERT_EQ(c.Run({MakeChunk("CMAP", Bytes{})}), 0);
        ASSERT_NE(c.picture.colours, nullptr);
        EXPECT_EQ(c.picture.colourCount, 0);
        ASSERT_EQ(c.Run({MakeChunk("CMAP", Colours(4)), MakeChunk("CMAP", Bytes{9, 9, 9})}), 0);
        EXPECT_EQ(c.picture.colourCount, 1);
        EXPECT_EQ(Bytes(c.picture.colours, c.picture.colours + 6), (Bytes{9, 9, 9, 0, 0, 0}));
    }
}

TEST(ChunkReaders, ColourMapWithoutMemoryFailsWith103AndLeaksNothing) {
    const int64_t before = os::testing::LiveAllocations();
    {
        Collector c;
        // The IFF handle is the first allocation; the colour table the second.
        os::testing::FailNthAlloc(2);
        EXPECT_EQ(c.Run({MakeChunk("CMAP", Colours(4))}), os::ERROR_NO_FREE_STORE);
        os::testing::ResetFaults();
        EXPECT_EQ(c.picture.colours, nullptr);
        EXPECT_EQ(c.picture.colourCount, 0);
    }
    EXPECT_EQ(os::testing::LiveAllocations(), before);
}

TEST(ChunkReaders, DisplayModeFilter) {
    struct Case {
        uint32_t word;
        bool usable;
        uint32_t kept;
    };
    for (Case k : {Case{0x11000, true, 0x11000},        // monitor part with EXTENDED_MODE: unchanged
                   Case{0x1804, true, 0x0804},          // old-style: EXTENDED_MODE cleared, HAM and LACE kept
                   Case{0x7F86, true, 0x0E84},          // every old junk bit cleared, the rest kept
                   Case{0xDEAD0004, false, 0},          // junk upper half without EXTENDED_MODE
                   Case{0xDEAD1004, true, 0xDEAD1004},
                   Case{0, true, 0}}) {
        Collector c;
        ASSERT_EQ(c.Run({MakeChunk("CAMG", EncodeDisplayMode(k.word))}), 0);
        EXPECT_EQ(c.picture.hasMode, k.usable) << std::hex << k.word;
        EXPECT_EQ(c.picture.modeId, k.kept) << std::hex << k.word;
    }
    // A later CAMG is judged again and replaces the earlier one, either way.
    Collector c;
    ASSERT_EQ(c.Run({MakeChunk("CAMG", EncodeDisplayMode(0x804)), MakeChunk("CAMG", EncodeDisplayMode(0xFFFF0000))}), 0);
    EXPECT_FALSE(c.picture.hasMode);
    EXPECT_EQ(c.picture.modeId, 0u);
    ASSERT_EQ(c.Run({MakeChunk("CAMG", EncodeDisplayMode(0x80))}), 0);
    EXPECT_TRUE(c.picture.hasMode);
    EXPECT_EQ(c.picture.modeId, 0x80u);
}

TEST(ChunkReaders, RangesShareEightSlotsInFileOrder) {
    std::vector<Bytes> chunks;
    for (int i = 0; i < 5; ++i) chunks.push_back(MakeChunk("CRNG", EncodeColourRange(int16_t(i), int16_t(100 + i), 1, uint8_t(i), uint8_t(i + 10))));
    chunks.push_back(MakeChunk("CCRT", EncodeCycleTiming(1, 20, 30, 0, 50000)));
    for (int i = 5; i < 10; ++i) chunks.push_back(MakeChunk("CRNG", EncodeColourRange(int16_t(i), int16_t(100 + i), 1, uint8_t(i), uint8_t(i + 10))));
    chunks.push_back(MakeChunk("CCRT", Bytes(3, 0)));  // ninth and later are skipped unread, even if short
    Collector c;
    ASSERT_EQ(c.Run(chunks), 0);
    ASSERT_EQ(c.picture.rangeCount, 8);
    for (int slot = 0, crng = 0; slot < 8; ++slot) {
        const CycleRange& r = c.picture.ranges[slot];
        if (slot == 5) {
            EXPECT_EQ(r.low, 20);
            EXPECT_EQ(r.high, 30);
            EXPECT_EQ(r.rate, 5461);
            continue;
        }
        EXPECT_EQ(r.pad1, crng);
        EXPECT_EQ(r.rate, 100 + crng);
        EXPECT_EQ(r.flags, 1);
        EXPECT_EQ(r.low, crng);
        EXPECT_EQ(r.high, crng + 10);
        ++crng;
    }
}

TEST(ChunkReaders, CycleTimingConversion) {
    struct Case {
        int16_t direction;
        int32_t seconds, microseconds;
        int16_t rate, flags;
    };
    for (Case k : {Case{1, 0, 50000, 5461, 3},     // 3 ticks, reverse
                   Case{-1, 1, 0, 273, 1},         // 60 ticks
                   Case{0, 0, 16667, 16384, 0},    // inactive, but occupies its slot
                   Case{5, 0, 8333, 16384, 3},     // rounds to one tick
                   Case{5, 0, 8332, 16384, 3},     // rounds to none: as fast as cycling goes
                   Case{-7, 0, 0, 16384, 1},
                   Case{1, -5, 0, 16384, 3},       // negative delay
                   Case{1, 300, 0, 0, 3},          // 18000 ticks: slower than one step per rate unit
                   Case{1, INT32_MAX, 999999, 0, 3},         // would wrap in 32 bits
                   Case{1, 71582789, INT32_MAX, 0, 3}}) {    // likewise
        Collector c;
        ASSERT_EQ(c.Run({MakeChunk("CCRT", EncodeCycleTiming(k.direction, 3, 9, k.seconds, k.microseconds))}), 0);
        ASSERT_EQ(c.picture.rangeCount, 1);
        const CycleRange& r = c.picture.ranges[0];
        EXPECT_EQ(r.rate, k.rate) << k.seconds << "s " << k.microseconds << "us";
        EXPECT_EQ(r.flags, k.flags) << k.direction;
        EXPECT_EQ(r.pad1, 0);
        EXPECT_EQ(r.low, 3);
        EXPECT_EQ(r.high, 9);
    }
}
