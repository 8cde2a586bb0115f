// The RGB8 / RGBN row decoder against BODYs made by the writer, fed through
// the IFF reader from memory: every form of a run's count, runs across rows
// and across the reader's fills, and the ways such a BODY ends.
#include <gtest/gtest.h>

#include <vector>

#include "records/row_buffers.h"
#include "ilbm/rgbn_decoding.h"
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
    Decoder(const Bytes& body, const char* form, int width)
        : iff(MakeGroup("FORM", form, MakeChunk("BODY", body))) {
        iff.Stop(form, "BODY");
        EXPECT_EQ(os::ParseIFF(iff.iff, os::IFFPARSE_SCAN), 0);
        reader = OpenBodyReader(iff.iff, os::CurrentChunk(iff.iff)->cn_Size);
        BitMapHeader header = SimpleHeader(width, 1, 25, cmpRgbn);
        rows = AllocRowBuffers(header, 0, os::MakeId(form[0], form[1], form[2], form[3]));
    }
    ~Decoder() {
        CloseBodyReader(reader);
        FreeRowBuffers(rows);
    }
    std::vector<uint32_t> Row() const {
        std::vector<uint32_t> out;
        const uint8_t* p = rows->planeView.Planes[0];
        for (uint32_t x = 0; x < rows->width; ++x, p += 3) out.push_back(uint32_t(p[0]) << 16 | p[1] << 8 | p[2]);
        return out;
    }
};

}  // namespace

TEST(RgbnDecoding, EveryCountFormAndRunsAcrossRows) {
    for (bool rgbn : {false, true}) {
        for (uint32_t maxInline : {127u, 3u, 1u}) {
            SCOPED_TRACE(::testing::Message() << (rgbn ? "RGBN" : "RGB8") << ", inline counts up to " << maxInline);
            const int width = 37, height = 2000;
            std::vector<uint32_t> pixels;
            for (int i = 0; i < width * height; ++i) {
                // Runs of 1 to 40 pixels, one of 6000 (a 16-bit count) and
                // one of 67000 (longer than a count: split in two).
                uint32_t v = (uint32_t(i / (1 + i % 40)) * 0x0B1D2Fu) & 0xFFFFFF;
                if (i >= 1000 && i < 7000) v = 0x336699;
                if (i >= 7000) v = 0xCC8844;
                if (rgbn) v = (v & 0xF0F0F0) | ((v & 0xF0F0F0) >> 4);
                pixels.push_back(v);
            }
            const Bytes body = MakeRgbnBody(pixels, rgbn, maxInline);
            Decoder d(body, rgbn ? "RGBN" : "RGB8", width);
            ASSERT_NE(d.reader, nullptr);
            ASSERT_NE(d.rows, nullptr);
            for (int y = 0; y < height; ++y) {
                ASSERT_EQ(DecodeRgbnRow(d.reader, d.rows, rgbn), 0) << "row " << y;
                ASSERT_EQ(d.Row(), std::vector<uint32_t>(pixels.begin() + y * width, pixels.begin() + (y + 1) * width))
                    << "row " << y;
            }
            EXPECT_EQ(DecodeRgbnRow(d.reader, d.rows, rgbn), -1);  // the data is used up
        }
    }
}

TEST(RgbnDecoding, HowARunEndsThePicture) {
    {
        // RGB8: two pixels of one colour, then a count of 0 in the byte and
        // in the word: the picture ends there.
        Decoder d(Bytes{0x10, 0x20, 0x30, 0x02, 0x40, 0x50, 0x60, 0x00, 0x00, 0x00, 0x00}, "RGB8", 4);
        EXPECT_EQ(DecodeRgbnRow(d.reader, d.rows, false), -1);
        const std::vector<uint32_t> row = d.Row();
        EXPECT_EQ(row[0], 0x102030u);
        EXPECT_EQ(row[1], 0x102030u);
    }
    {
        // RGBN: the genlock bit changes nothing; 4 bits widen by repeating.
        Decoder d(Bytes{0xF8, 0x4B, 0x00, 0x00, 0x01}, "RGBN", 4);  // count 3 with genlock, then 1 in a word
        EXPECT_EQ(DecodeRgbnRow(d.reader, d.rows, true), 0);
        EXPECT_EQ(d.Row(), (std::vector<uint32_t>{0xFF8844, 0xFF8844, 0xFF8844, 0x000000}));
    }
    {
        // A BODY that stops inside a pixel word.
        Decoder d(Bytes{0x10, 0x20, 0x30, 0x01, 0x40, 0x50}, "RGB8", 2);
        EXPECT_EQ(DecodeRgbnRow(d.reader, d.rows, false), -1);
        EXPECT_EQ(DecodeRgbnRow(d.reader, d.rows, false), -1);
    }
    {
        // The stream fails under the decoder: the parser's error comes back.
        Decoder d(MakeRgbnBody(std::vector<uint32_t>(50, 0x123456), false), "RGB8", 10);
        d.iff.stream.failReadCall = d.iff.stream.readCalls + 1;
        EXPECT_EQ(DecodeRgbnRow(d.reader, d.rows, false), os::IFFERR_READ);
    }
}
