// The BODY row decoders against bodies made by the writer, fed through the
// IFF reader from memory.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ilbm/body_decoding.h"
#include "tests/support/memory_iff.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;
using lanterna::test_support::MemoryIff;

namespace {

// Row buffers made by hand: only the plane view is used by the decoders.
struct Rows {
    RowBuffers rows;
    std::vector<Bytes> storage;
    Rows(int32_t bytesPerRow, int32_t planeRows, uint8_t fill = 0xEE) {
        rows.planeView.BytesPerRow = uint16_t(bytesPerRow);
        storage.assign(size_t(planeRows), Bytes(size_t(bytesPerRow), fill));
        for (int32_t i = 0; i < planeRows; ++i) rows.planeView.Planes[i] = storage[size_t(i)].data();
    }
    Bytes Plane(int32_t i) const { return storage[size_t(i)]; }
};

// A FORM ILBM holding only a BODY of the given data, opened and stopped at it.
struct Body {
    // With claimedSize the BODY (and its FORM) say more than the data holds.
    static Bytes File(const Bytes& data, int32_t claimedSize) {
        if (claimedSize < 0) return MakeGroup("FORM", "ILBM", MakeChunk("BODY", data));
        Bytes file = MakeGroup("FORM", "ILBM", MakeChunkWithSize("BODY", uint32_t(claimedSize), data));
        PutBE32(file, 4, uint32_t(claimedSize + 12));
        return file;
    }
    MemoryIff iff;
    int32_t size = 0;
    explicit Body(const Bytes& data, int32_t claimedSize = -1) : iff(File(data, claimedSize)) {
        iff.Stop("ILBM", "BODY");
        EXPECT_EQ(os::ParseIFF(iff.iff, os::IFFPARSE_SCAN), 0);
        size = os::CurrentChunk(iff.iff)->cn_Size;
    }
};

struct ReaderHolder {
    BodyReader* reader;
    explicit ReaderHolder(Body& body) : reader(OpenBodyReader(body.iff.iff, body.size)) {}
    ~ReaderHolder() { CloseBodyReader(reader); }
};

std::vector<uint32_t> RandomPixels(int32_t width, int32_t height, int32_t planes, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> px(size_t(width) * size_t(height));
    const uint32_t mask = planes >= 32 ? 0xFFFFFFFFu : (1u << planes) - 1;
    uint32_t current = 0;
    for (auto& p : px) {
        // Stretches of equal pixels so that both kinds of run occur.
        if (rng() % 4 == 0) current = rng() & mask;
        p = (rng() % 3 == 0) ? (rng() & mask) : current;
    }
    return px;
}

}  // namespace

TEST(BodyDecoding, BothDecodersGiveBackWhatTheWriterStored) {
    struct Shape {
        int32_t width, height, planes;
        bool mask;
    };
    for (Shape s : {Shape{1, 3, 1, false}, Shape{16, 4, 2, false}, Shape{17, 5, 8, false},
                    Shape{321, 40, 4, true}, Shape{640, 30, 8, false}, Shape{33, 7, 24, false},
                    Shape{100, 9, 12, true}}) {
        SCOPED_TRACE(::testing::Message() << s.width << "x" << s.height << "x" << s.planes << (s.mask ? " masked" : ""));
        const auto pixels = RandomPixels(s.width, s.height, s.planes, uint32_t(s.width * 31 + s.planes));
        std::vector<uint8_t> mask;
        if (s.mask) {
            for (size_t i = 0; i < pixels.size(); ++i) mask.push_back(uint8_t((i / 5) & 1));
        }
        const Bytes planar = MakePlanarBody(s.width, s.height, s.planes, pixels, mask);
        const int32_t bpr = PlaneRowBytes(s.width);
        const int32_t planeRows = s.planes + (s.mask ? 1 : 0);
        auto expectedPlane = [&](int32_t y, int32_t i) {
            const size_t at = (size_t(y) * size_t(planeRows) + size_t(i)) * size_t(bpr);
            return Bytes(planar.begin() + ptrdiff_t(at), planar.begin() + ptrdiff_t(at) + bpr);
        };

        Body plain(planar);
        Body packed(PackBody(planar, bpr));
        ReaderHolder holder(packed);
        ASSERT_NE(holder.reader, nullptr);
        Rows a(bpr, planeRows), b(bpr, planeRows);
        for (int32_t y = 0; y < s.height; ++y) {
            ASSERT_EQ(ReadPlainRow(plain.iff.iff, &a.rows, planeRows), 0) << "row " << y;
            ASSERT_EQ(DecodeByteRun1Row(holder.reader, &b.rows, planeRows), 0) << "row " << y;
            for (int32_t i = 0; i < planeRows; ++i) {
                ASSERT_EQ(a.Plane(i), expectedPlane(y, i)) << "plain row " << y << " plane " << i;
                ASSERT_EQ(b.Plane(i), expectedPlane(y, i)) << "packed row " << y << " plane " << i;
            }
        }
        // The data is used up: a plain read gets nothing and keeps the row;
        // the packed decoder ends.
        EXPECT_EQ(ReadPlainRow(plain.iff.iff, &a.rows, planeRows), 0);
        EXPECT_EQ(a.Plane(0), expectedPlane(s.height - 1, 0));
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &b.rows, planeRows), -1);
    }
}

// A BODY packed as one stream (runs across plane rows and picture rows, and
// across the reader's 4096-byte fills) decodes to the same rows, one
// picture row per call.
TEST(BodyDecoding, ByteRun1StreamAcrossRowsGivesTheSameRows) {
    struct Shape {
        int32_t width, height, planes;
        bool mask;
    };
    for (Shape s : {Shape{1, 30, 1, false}, Shape{17, 5, 8, false}, Shape{321, 40, 4, true},
                    Shape{640, 60, 8, false}, Shape{33, 7, 24, false}}) {
        SCOPED_TRACE(::testing::Message() << s.width << "x" << s.height << "x" << s.planes);
        std::vector<uint32_t> pixels = RandomPixels(s.width, s.height, s.planes, uint32_t(s.height * 7 + s.planes));
        // Long stretches of one value make runs of 128 that cross many rows.
        for (size_t i = 0; i < pixels.size() / 3; ++i) pixels[i] = 0;
        std::vector<uint8_t> mask;
        if (s.mask) mask.assign(pixels.size(), 1);
        const Bytes planar = MakePlanarBody(s.width, s.height, s.planes, pixels, mask);
        const int32_t bpr = PlaneRowBytes(s.width);
        const int32_t planeRows = s.planes + (s.mask ? 1 : 0);
        const Bytes stream = PackBodyStream(planar);
        Body body(stream);
        ReaderHolder holder(body);
        Rows rows(bpr, planeRows);
        for (int32_t y = 0; y < s.height; ++y) {
            ASSERT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, planeRows), 0) << "row " << y;
            for (int32_t i = 0; i < planeRows; ++i) {
                const size_t at = (size_t(y) * size_t(planeRows) + size_t(i)) * size_t(bpr);
                ASSERT_EQ(rows.Plane(i), Bytes(planar.begin() + ptrdiff_t(at), planar.begin() + ptrdiff_t(at) + bpr))
                    << "row " << y << " plane " << i;
            }
        }
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, planeRows), -1);
    }
    // A repeat run that covers three whole rows and half of a fourth.
    Body body(Bytes{0x81, 0x5A, 0x01, 1, 2});
    ReaderHolder holder(body);
    for (int r = 0; r < 3; ++r) {
        Rows rows(40, 1);
        ASSERT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 1), 0);
        EXPECT_EQ(rows.Plane(0), Bytes(40, 0x5A));
    }
    Rows last(12, 1, 0x11);
    EXPECT_EQ(DecodeByteRun1Row(holder.reader, &last.rows, 1), -1);  // 8 + 2 of 12 bytes, then nothing
}

TEST(BodyDecoding, MaskRowGoesToThePlaneAfterTheColourPlanes) {
    const int32_t w = 16;
    std::vector<uint32_t> pixels(w, 0xF);                  // all four colour planes set
    std::vector<uint8_t> mask(w, 0);
    mask[0] = 1;                                            // only the leftmost pixel opaque
    const Bytes planar = MakePlanarBody(w, 1, 4, pixels, mask);
    Body body(PackBody(planar, 2));
    ReaderHolder holder(body);
    Rows rows(2, 5);
    ASSERT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 5), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rows.Plane(i), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(rows.Plane(4), (Bytes{0x80, 0x00}));
}

TEST(BodyDecoding, ByteRun1CodesAtTheEdgesOfARow) {
    {
        // One pixel wide: 0x80 after a literal code is data, not a no-op.
        Body body(Bytes{0x01, 0x80, 0xFF});
        ReaderHolder holder(body);
        Rows rows(2, 1);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 1), 0);
        EXPECT_EQ(rows.Plane(0), (Bytes{0x80, 0xFF}));
    }
    {
        // No-ops, then a run of three, then a run of two that passes the end:
        // its second byte begins the next row, and the data ends inside it.
        Body body(Bytes{0x80, 0x80, 0xFE, 0x55, 0xFF, 0xAA});
        ReaderHolder holder(body);
        Rows rows(4, 1, 0x11);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 1), 0);
        EXPECT_EQ(rows.Plane(0), (Bytes{0x55, 0x55, 0x55, 0xAA}));
        Rows next(4, 1, 0x11);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &next.rows, 1), -1);
        EXPECT_EQ(next.Plane(0), (Bytes{0xAA, 0x11, 0x11, 0x11}));
    }
    {
        // A literal run one byte longer than the row: its last byte begins
        // the next row.
        Body body(Bytes{0x02, 1, 2, 3, 0x00, 4});
        ReaderHolder holder(body);
        Rows rows(2, 1, 0x11);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 1), 0);
        EXPECT_EQ(rows.Plane(0), (Bytes{1, 2}));
        Rows next(2, 1, 0x11);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &next.rows, 1), 0);
        EXPECT_EQ(next.Plane(0), (Bytes{3, 4}));
    }
    {
        // A repeat run of exactly the row (128 copies), then a literal of
        // exactly the next row; the run does not spill into plane 1.
        Bytes data{0x81, 0x3C, 0x7F};
        for (int i = 0; i < 128; ++i) data.push_back(uint8_t(i));
        Body body(data);
        ReaderHolder holder(body);
        Rows rows(128, 2);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 2), 0);
        EXPECT_EQ(rows.Plane(0), Bytes(128, 0x3C));
        EXPECT_EQ(rows.Plane(1), Bytes(data.begin() + 3, data.end()));
    }
    {
        // A run that carries on into the next plane row fills both.
        Body body(Bytes{0xFD, 0x77});  // four bytes of 0x77 for two plane rows of two
        ReaderHolder holder(body);
        Rows rows(2, 2, 0x11);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 2), 0);
        EXPECT_EQ(rows.Plane(0), (Bytes{0x77, 0x77}));
        EXPECT_EQ(rows.Plane(1), (Bytes{0x77, 0x77}));
    }
}

TEST(BodyDecoding, LiteralRunsAndRepeatBytesStraddleTheRefill) {
    // 2045 repeat runs put the next code at offset 4090 of the 4096-byte
    // buffer, so the 128 literal bytes after it cross into the second fill.
    const int32_t bpr = 256;
    Bytes data;
    for (int i = 0; i < 2045; ++i) {
        data.push_back(0x81);
        data.push_back(uint8_t(i));
    }
    data.push_back(0x7F);
    for (int i = 0; i < 128; ++i) data.push_back(uint8_t(200 + i));
    // Then a repeat code as the last byte of the second buffer with its value
    // in the third.
    while (data.size() % 4096 != 4095) {
        data.push_back(0x00);  // one-byte literals
        data.push_back(0x42);
    }
    data.push_back(0xFE);
    data.push_back(0x99);
    const size_t literalStart = 2045 * 2 + 1;
    Body body(data);
    ReaderHolder holder(body);
    Rows rows(bpr, 1);
    // 2045 runs of 128 = 1022 rows and a half; the literal finishes row 1022.
    for (int r = 0; r < 1022; ++r) ASSERT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 1), 0);
    ASSERT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 1), 0);
    Bytes expected(128, uint8_t(2044));
    expected.insert(expected.end(), data.begin() + ptrdiff_t(literalStart), data.begin() + ptrdiff_t(literalStart) + 128);
    EXPECT_EQ(rows.Plane(0), expected);
    // Rows of one-byte literals, then the repeat whose value is in the next fill.
    const size_t literalBytes = (data.size() - 2 - (literalStart + 128)) / 2;
    size_t produced = 0;
    int32_t result = 0;
    while ((result = DecodeByteRun1Row(holder.reader, &rows.rows, 1)) == 0) produced += bpr;
    EXPECT_EQ(result, -1);  // the data ran out inside the last row
    const size_t tail = literalBytes + 3 - produced;
    ASSERT_LE(tail, size_t(bpr));
    ASSERT_GE(tail, 3u);
    EXPECT_EQ(rows.Plane(0)[tail - 1], 0x99);
    EXPECT_EQ(rows.Plane(0)[tail - 3], 0x99);
    EXPECT_EQ(rows.Plane(0)[tail - 4], 0x42);
}

TEST(BodyDecoding, NoOpCodesAnywhereChangeNothing) {
    const int32_t w = 200, h = 6, planes = 3;
    const Bytes planar = MakePlanarBody(w, h, planes, RandomPixels(w, h, planes, 7));
    const Bytes packed = PackBody(planar, PlaneRowBytes(w));
    Bytes noisy;
    // Walk the packed data and insert 0x80 before every code.
    for (size_t i = 0; i < packed.size();) {
        const int8_t n = int8_t(packed[i]);
        noisy.push_back(0x80);
        const size_t len = n >= 0 ? size_t(n) + 2 : 2;
        noisy.insert(noisy.end(), packed.begin() + ptrdiff_t(i), packed.begin() + ptrdiff_t(i + len));
        i += len;
    }
    Body body(noisy);
    ReaderHolder holder(body);
    const int32_t bpr = PlaneRowBytes(w);
    Rows rows(bpr, planes);
    for (int32_t y = 0; y < h; ++y) {
        ASSERT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, planes), 0);
        for (int32_t i = 0; i < planes; ++i) {
            const size_t at = (size_t(y) * planes + size_t(i)) * size_t(bpr);
            EXPECT_EQ(rows.Plane(i), Bytes(planar.begin() + ptrdiff_t(at), planar.begin() + ptrdiff_t(at) + bpr));
        }
    }
}

TEST(BodyDecoding, ShortAndFailingBodies) {
    const int32_t w = 40, h = 4, planes = 2, bpr = PlaneRowBytes(w);
    const Bytes planar = MakePlanarBody(w, h, planes, RandomPixels(w, h, planes, 3));
    {
        // Plain BODY one byte short of its last plane row.
        Body body(Truncated(planar, planar.size() - 1));
        Rows rows(bpr, planes);
        for (int y = 0; y < h - 1; ++y) ASSERT_EQ(ReadPlainRow(body.iff.iff, &rows.rows, planes), 0);
        Rows last(bpr, planes, 0x11);
        EXPECT_EQ(ReadPlainRow(body.iff.iff, &last.rows, planes), bpr - 1);
    }
    {
        // A packed BODY that holds fewer rows than the picture: the earlier
        // rows decode, then the decoder ends.
        const Bytes packed = PackBody(planar, bpr);
        Bytes firstTwo = PackBody(Truncated(planar, size_t(2 * planes * bpr)), bpr);
        Body body(Truncated(packed, firstTwo.size() + 3));
        ReaderHolder holder(body);
        Rows rows(bpr, planes);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, planes), 0);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, planes), 0);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, planes), -1);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, planes), -1);
    }
    {
        // The stream fails under the decoders: the parser's error comes back.
        Body plain(planar);
        plain.iff.stream.failReadCall = plain.iff.stream.readCalls + 2;
        Rows rows(bpr, planes);
        EXPECT_EQ(ReadPlainRow(plain.iff.iff, &rows.rows, planes), os::IFFERR_READ);
        Body packed(PackBody(planar, bpr));
        packed.iff.stream.failReadCall = packed.iff.stream.readCalls + 1;
        ReaderHolder holder(packed);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, planes), os::IFFERR_READ);
    }
    {
        // A BODY that claims more than the file holds: the refill's read fails.
        const Bytes packed = PackBody(planar, bpr);
        Body body(packed, int32_t(packed.size() + 5000));
        ReaderHolder holder(body);
        Rows rows(bpr, planes);
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, planes), os::IFFERR_READ);
    }
}

TEST(BodyDecoding, WriterPackerNeverRunsAcrossPlaneRows) {
    // Identical plane rows pack into separate runs per row: decoding one
    // plane row at a time must succeed for every row.
    Bytes row(40, 0xAB);
    Bytes planar;
    for (int i = 0; i < 3; ++i) planar.insert(planar.end(), row.begin(), row.end());
    Bytes packed = PackBody(planar, 40);
    EXPECT_EQ(packed, (Bytes{0xD9, 0xAB, 0xD9, 0xAB, 0xD9, 0xAB}));
    EXPECT_EQ(PackByteRun1(Bytes(300, 7).data(), 300), (Bytes{0x81, 7, 0x81, 7, 0xD5, 7}));
    Bytes lit{1, 2, 3, 3, 4};
    EXPECT_EQ(PackByteRun1(lit.data(), lit.size()), (Bytes{0x04, 1, 2, 3, 3, 4}));
    Bytes mixed{1, 2, 2, 2, 5};
    EXPECT_EQ(PackByteRun1(mixed.data(), mixed.size()), (Bytes{0x00, 1, 0xFE, 2, 0x00, 5}));
}

// Runs of every length, short ones most often, literal and repeated at
// random, no-op codes between them, packed per plane row: rows of several
// widths, so the runs meet the end of a row and of the 4 KB input buffer at
// every offset. Each row must equal what the codes say.
TEST(BodyDecoding, MixedShortAndLongRunsAtEveryOffset) {
    std::mt19937 rng(21);
    for (int32_t bpr : {2, 16, 18, 34, 100, 1000}) {
        const int32_t h = 40000 / bpr + 3;
        Bytes codes, expected;
        for (int32_t y = 0; y < h; ++y) {
            int32_t left = bpr;
            while (left > 0) {
                if (rng() % 16 == 0) codes.push_back(0x80);
                const int32_t longest = left < 128 ? left : 128;
                const int32_t count = 1 + int32_t(rng() % uint32_t(rng() % 4 == 0 ? longest : (longest < 17 ? longest : 17)));
                if (count >= 2 && rng() % 2 == 0) {
                    const auto value = uint8_t(rng());
                    codes.push_back(uint8_t(1 - count));
                    codes.push_back(value);
                    expected.insert(expected.end(), size_t(count), value);
                } else {
                    codes.push_back(uint8_t(count - 1));
                    for (int32_t i = 0; i < count; ++i) {
                        const auto value = uint8_t(rng());
                        codes.push_back(value);
                        expected.push_back(value);
                    }
                }
                left -= count;
            }
        }
        Body body(codes);
        ReaderHolder holder(body);
        Rows rows(bpr, 1);
        for (int32_t y = 0; y < h; ++y) {
            ASSERT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 1), 0) << "width " << bpr << ", row " << y;
            const auto at = expected.begin() + ptrdiff_t(y) * bpr;
            ASSERT_EQ(rows.Plane(0), Bytes(at, at + bpr)) << "width " << bpr << ", row " << y;
        }
        EXPECT_EQ(DecodeByteRun1Row(holder.reader, &rows.rows, 1), -1);
    }
}
