// The DEEP row decoder over DBODs fed through the IFF reader from memory:
// runs of pixels across rows and the count byte -128, TVDC lines with runs
// cut at the end of a line and elements that are not shown, and data that
// ends inside a row.
#include <gtest/gtest.h>

#include <vector>

#include "records/row_buffers.h"
#include "ilbm/deep_decoding.h"
#include "tests/support/memory_iff.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;
using lanterna::test_support::MemoryIff;

namespace {

struct Decoder {
    MemoryIff iff;
    BodyReader* reader = nullptr;
    RowBuffers* rows = nullptr;
    DeepFormat format;
    Decoder(const Bytes& body, int width, uint16_t compression, uint8_t bytes, uint8_t red, uint8_t green, uint8_t blue)
        : iff(MakeGroup("FORM", "DEEP", MakeChunk("DBOD", body))) {
        iff.Stop("DEEP", "DBOD");
        EXPECT_EQ(os::ParseIFF(iff.iff, os::IFFPARSE_SCAN), 0);
        reader = OpenBodyReader(iff.iff, os::CurrentChunk(iff.iff)->cn_Size);
        BitMapHeader header = SimpleHeader(width, 1, 24, cmpNone);
        rows = AllocRowBuffers(header, 0, ID_DEEP);
        format.known = true;
        format.compression = compression;
        format.bytes = bytes;
        format.red = red;
        format.green = green;
        format.blue = blue;
        const std::vector<int16_t> table = StandardTvdc();
        for (int i = 0; i < 16; ++i) format.tvdc[i] = table[size_t(i)];
        format.hasTvdc = true;
    }
    ~Decoder() {
        CloseBodyReader(reader);
        FreeRowBuffers(rows);
    }
    int32_t Decode() { return DecodeDeepRow(reader, rows, format); }
    std::vector<uint32_t> Row() const {
        std::vector<uint32_t> out;
        const uint8_t* p = rows->planeView.Planes[0];
        for (uint32_t x = 0; x < rows->width; ++x, p += 3) out.push_back(uint32_t(p[0]) << 16 | p[1] << 8 | p[2]);
        return out;
    }
};

}  // namespace

TEST(DeepDecoding, RunsOfPixelsGoOnAcrossRows) {
    // Three-byte pixels in the order blue, green, red. A repeat of 5 over a
    // row of 3, then a literal of 3 across the next row's end.
    Bytes body = {uint8_t(int8_t(-4)), 0x03, 0x02, 0x01, 2, 0x10, 0x20, 0x30, 0x11, 0x21, 0x31, 0x12, 0x22, 0x32};
    Decoder d(body, 3, deepRunLength, 3, 2, 1, 0);
    ASSERT_EQ(d.Decode(), 0);
    EXPECT_EQ(d.Row(), (std::vector<uint32_t>{0x010203, 0x010203, 0x010203}));
    ASSERT_EQ(d.Decode(), 0);
    EXPECT_EQ(d.Row(), (std::vector<uint32_t>{0x010203, 0x010203, 0x302010}));
    // The data ends before the third pixel of the next row: the row is
    // not complete, and the two pixels before are there.
    EXPECT_EQ(d.Decode(), -1);
    EXPECT_EQ(d.Row()[0], 0x312111u);
    EXPECT_EQ(d.Row()[1], 0x322212u);
}

TEST(DeepDecoding, CountByteMinus128RepeatsAPixel129Times) {
    Bytes body = {0x80, 9, 8, 7};
    Decoder d(body, 43, deepRunLength, 3, 0, 1, 2);
    for (int row = 0; row < 3; ++row) {
        ASSERT_EQ(d.Decode(), 0) << row;
        EXPECT_EQ(d.Row(), std::vector<uint32_t>(43, 0x090807));
    }
    EXPECT_EQ(d.Decode(), -1);  // 129 = 3 rows of 43: nothing is left
}

TEST(DeepDecoding, TvdcLinesOfNibbles) {
    // Four elements a pixel (red, alpha, green, blue), a row of 5: each
    // element a line of nibbles from a whole byte. Red: +1, +2, then the
    // zero delta with a count of 15 (16 pixels, cut to the 3 left). Alpha:
    // anything. Green: -1 five times. Blue: +128, repeat 4.
    Bytes body = {0x12, 0x0F,               // red
                  0x11, 0x11, 0x10,         // alpha (never shown)
                  0xFF, 0xFF, 0xF0,         // green: 0xF is -1
                  0x80, 0x30};              // blue
    Decoder d(body, 5, deepTvdc, 4, 0, 2, 3);
    ASSERT_EQ(d.Decode(), 0);
    EXPECT_EQ(d.Row(), (std::vector<uint32_t>{0x01FF80, 0x03FE80, 0x03FD80, 0x03FC80, 0x03FB80}));
    EXPECT_EQ(d.Decode(), -1);
}

TEST(DeepDecoding, DataThatEndsInsideARowEndsTheDecoding) {
    for (uint16_t compression : {deepNone, deepRunLength, deepTvdc}) {
        SCOPED_TRACE(compression);
        DeepPicture deep;
        deep.width = 6;
        deep.height = 2;
        deep.compression = compression;
        deep.tvdc = StandardTvdc();
        for (int i = 0; i < 36; ++i) deep.pixels.push_back(uint8_t(i * 4));
        Bytes body = MakeDeepBody(deep);
        body.resize(body.size() - 2);
        Decoder d(body, 6, compression, 3, 0, 1, 2);
        ASSERT_EQ(d.Decode(), 0);
        EXPECT_EQ(d.Decode(), -1);
    }
}
