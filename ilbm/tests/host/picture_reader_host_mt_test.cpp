// The reader in a host program: linked with the reader's libraries only (no
// display, no graphics, no SDL), the program's services never started, the
// file held in memory behind the caller's read hook. The rows against the
// pixels written; a cut BODY; a source failing anywhere, released; two
// readers on two threads at once.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "ilbm/picture_reader.h"
#include "platform/testing/testing.h"
#include "records/result_codes.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace lanterna {
namespace {

using namespace ilbmw;

struct Memory {
    Bytes data;
    size_t at = 0;
    size_t failAt = SIZE_MAX;  // a read that reaches this byte fails
};

int32_t MemoryRead(void* user, void* buffer, int32_t count) {
    auto* m = static_cast<Memory*>(user);
    if (m->at + size_t(count) > m->failAt) return -1;
    const size_t n = std::min(size_t(count), m->data.size() - m->at);
    std::memcpy(buffer, m->data.data() + m->at, n);
    m->at += n;
    return int32_t(n);
}

int32_t MemorySeek(void* user, int64_t distance) {
    auto* m = static_cast<Memory*>(user);
    const int64_t to = int64_t(m->at) + distance;
    if (to < 0 || to > int64_t(m->data.size())) return -1;
    m->at = size_t(to);
    return 0;
}

PictureSource SourceOf(Memory& m) { return PictureSource{MemoryRead, MemorySeek, &m}; }

IlbmPicture Picture(const char* form, uint8_t compression, uint8_t masking = mskNone) {
    IlbmPicture p;
    p.formType = form;
    p.header = SimpleHeader(37, 23, 5, compression, masking);
    for (int32_t i = 0; i < 32; ++i) p.colours.push_back({uint8_t(i * 8), uint8_t(i), uint8_t(255 - i)});
    for (int32_t i = 0; i < 37 * 23; ++i) {
        p.pixels.push_back(uint32_t((i / 37) % 4 == 0 ? 9 : (i * 7 + i / 37) % 32));
        p.mask.push_back(uint8_t(i % 2));
    }
    return p;
}

// The pixel value at x of a row as the reader hands it.
uint32_t Value(const RowBuffers* rows, int32_t x) {
    if (rows->pixelKind == PIXEL_CHUNKY) return rows->planeView.Planes[0][x];
    uint32_t v = 0;
    for (uint32_t p = 0; p < rows->planeCount; ++p)
        v |= uint32_t((rows->planeView.Planes[p][x / 8] >> (7 - x % 8)) & 1) << p;
    return v;
}

// Reads every row: the result that ended them, and the values of the rows.
int32_t ReadAll(Memory& m, std::vector<uint32_t>* values) {
    m.at = 0;
    PictureReader* reader = nullptr;
    const int32_t opened = OpenPictureReaderFrom(SourceOf(m), PictureReadOptions{}, &reader);
    if (opened != 0) return opened;
    const int32_t w = PictureReaderInfo(reader).header.w;
    PictureRow row;
    int32_t result = 0;
    while ((result = ReadPictureRow(reader, &row)) == 0) {
        EXPECT_EQ(int64_t(values->size()), int64_t(row.y) * w);
        for (int32_t x = 0; x < w; ++x) values->push_back(Value(row.rows, x));
    }
    ClosePictureReader(reader);
    return result;
}

TEST(PictureReaderHost, RowsOfAPictureInMemoryAreThePixelsWritten) {
    const IlbmPicture pictures[] = {Picture("ILBM", cmpNone), Picture("ILBM", cmpByteRun1, mskHasMask),
                                    Picture("PBM ", cmpByteRun1), Picture("ACBM", cmpNone)};
    const int64_t before = os::testing::LiveAllocations();
    for (const IlbmPicture& picture : pictures) {
        SCOPED_TRACE(picture.formType + std::to_string(picture.header.compression));
        Memory m{MakeIlbm(picture)};
        std::vector<uint32_t> values;
        EXPECT_EQ(ReadAll(m, &values), PICTURE_ROWS_END);
        EXPECT_TRUE(values == picture.pixels);
    }
    EXPECT_EQ(os::testing::LiveAllocations(), before);
}

TEST(PictureReaderHost, ACutBodyHandsEveryWholeRowItHolds) {
    for (uint8_t compression : {cmpNone, cmpByteRun1}) {
        SCOPED_TRACE(int{compression});
        const IlbmPicture picture = Picture("ILBM", compression);
        const Bytes file = MakeIlbm(picture);
        Memory m{Truncated(file, file.size() * 2 / 3)};
        std::vector<uint32_t> values;
        EXPECT_EQ(ReadAll(m, &values), PICTURE_ROWS_END);
        const size_t rows = values.size() / picture.header.w;
        EXPECT_GT(rows, 5u);
        EXPECT_LT(rows, size_t(picture.header.h));
        EXPECT_TRUE(std::equal(values.begin(), values.end(), picture.pixels.begin()));
    }
}

TEST(PictureReaderHost, ASourceFailingAnywhereIsReportedAndReleased) {
    const Bytes file = MakeIlbm(Picture("ILBM", cmpByteRun1));
    const int64_t before = os::testing::LiveAllocations();
    for (size_t failAt = 0; failAt < file.size(); failAt += 13) {
        SCOPED_TRACE(failAt);
        Memory m{file, 0, failAt};
        std::vector<uint32_t> values;
        const int32_t result = ReadAll(m, &values);
        EXPECT_NE(result, 0);
        EXPECT_NE(result, PICTURE_ROWS_END);  // a failure never reads as the picture's end
        EXPECT_EQ(os::testing::LiveAllocations(), before);
    }
    // A reader closed half-way, its rows not all read.
    Memory m{file};
    PictureReader* reader = nullptr;
    ASSERT_EQ(OpenPictureReaderFrom(SourceOf(m), PictureReadOptions{}, &reader), 0);
    PictureRow row;
    EXPECT_EQ(ReadPictureRow(reader, &row), 0);
    ClosePictureReader(reader);
    EXPECT_EQ(os::testing::LiveAllocations(), before);
}

TEST(PictureReaderHost, TwoReadersOnTwoThreadsAtOnce) {
    const IlbmPicture pictures[] = {Picture("ILBM", cmpByteRun1), Picture("PBM ", cmpByteRun1)};
    auto work = [](const IlbmPicture& picture, bool* same) {
        Memory m{MakeIlbm(picture)};
        *same = true;
        for (int i = 0; i < 20; ++i) {
            std::vector<uint32_t> values;
            *same = *same && ReadAll(m, &values) == PICTURE_ROWS_END && values == picture.pixels;
        }
    };
    bool same[2] = {};
    std::thread first(work, std::cref(pictures[0]), &same[0]);
    std::thread second(work, std::cref(pictures[1]), &same[1]);
    first.join();
    second.join();
    EXPECT_TRUE(same[0]);
    EXPECT_TRUE(same[1]);
}

}  // namespace
}  // namespace lanterna
