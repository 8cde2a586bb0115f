// The read-ahead stream over real files and the platform's file-system
// handler thread, with forced block sizes and injected failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <vector>

#include "ilbm/buffered_stream.h"
#include "platform/dos/dos.h"
#include "platform/testing/testing.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using lanterna::ilbmw::Bytes;

namespace {

struct TempFile {
    std::string path;
    Bytes data;
    explicit TempFile(size_t size, uint32_t seed = 1) : path(ilbmw::TempPath("lanterna-stream")) {
        std::mt19937 rng(seed);
        data.resize(size);
        for (auto& b : data) b = uint8_t(rng());
        EXPECT_TRUE(ilbmw::WriteFile(path, data));
    }
    ~TempFile() { std::filesystem::remove(path); }
    Bytes Slice(size_t at, size_t n) const {
        at = std::min(at, data.size());
        n = std::min(n, data.size() - at);
        return Bytes(data.begin() + ptrdiff_t(at), data.begin() + ptrdiff_t(at + n));
    }
};

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::testing::ResetFaults();
        os::testing::SetBlockSizeOverride(512);
        liveBefore = os::testing::LiveAllocations();
    }
    void TearDown() override {
        os::testing::ResetFaults();
        os::testing::SetBlockSizeOverride(0);
        EXPECT_EQ(os::testing::LiveAllocations(), liveBefore);
    }
    int64_t liveBefore = 0;
};

Bytes Read(BufferedStream* s, int32_t count, int32_t* result = nullptr) {
    Bytes out(size_t(count > 0 ? count : 0));
    const int32_t r = StreamRead(s, out.data(), count);
    if (result) *result = r;
    out.resize(r > 0 ? size_t(r) : 0);
    return out;
}

}  // namespace

TEST_F(StreamTest, BufferSizesFollowTheBlockSize) {
    TempFile f(100);
    struct Case {
        int32_t block, requested, each;
    };
    for (Case c : {Case{512, 8192, 4096}, Case{2048, 8192, 8192}, Case{16, 64, 64}, Case{4096, 8192, 16384},
                   Case{512, 5000, 2560}}) {
        os::testing::SetBlockSizeOverride(c.block);
        BufferedStream* s = StreamOpen(f.path.c_str(), c.requested);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->blockSize, c.block);
        EXPECT_EQ(s->bufferSize, c.each) << c.block << " " << c.requested;
        EXPECT_EQ(s->buffers[1], s->buffers[0] + c.each);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(s->buffers[0]) % 16, 0u);
        EXPECT_GT(s->buffers[0], reinterpret_cast<uint8_t*>(s + 1) - 1);
        EXPECT_LE(s->buffers[0], reinterpret_cast<uint8_t*>(s + 1) + 16);
        EXPECT_EQ(s->replyPort.mp_Flags, os::PA_IGNORE);
        EXPECT_EQ(s->packet.sp_Pkt.dp_Type, os::ACTION_READ);
        EXPECT_EQ(StreamClose(s), std::min(100, c.each));  // closing waits for the first buffer's transfer
    }
}

TEST_F(StreamTest, ShortFilesEndOfFileAndEmptyReads) {
    TempFile f(10);
    BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
    ASSERT_NE(s, nullptr);
    int32_t r = -2;
    EXPECT_EQ(Read(s, 0, &r), Bytes{});
    EXPECT_EQ(r, 0);
    EXPECT_EQ(Read(s, 20, &r), f.data);
    EXPECT_EQ(r, 10);
    os::SetIoErr(99);
    EXPECT_EQ(Read(s, 20, &r), Bytes{});
    EXPECT_EQ(r, 0);
    EXPECT_EQ(os::IoErr(), 0);
    EXPECT_EQ(StreamClose(s), 0);

    // A seek past the end succeeds; reads there give nothing.
    s = StreamOpen(f.path.c_str(), 8192);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(StreamSeek(s, 5000), 0);
    EXPECT_EQ(Read(s, 4, &r), Bytes{});
    EXPECT_EQ(r, 0);
    StreamClose(s);
}

TEST_F(StreamTest, PositionPastTheEndSurvivesAShortLastBlock) {
    // A far seek to 1010 of a 1000-byte file: the block at 512 arrives with
    // 488 bytes, fewer than the 498 to skip. The position must stay 1010.
    TempFile f(1000, 13);
    BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(Read(s, 4), f.Slice(0, 4));
    EXPECT_EQ(StreamSeek(s, 1006), 4);
    int32_t r = -2;
    EXPECT_EQ(Read(s, 8, &r), Bytes{});
    EXPECT_EQ(r, 0);
    EXPECT_EQ(StreamSeek(s, -20), 1010);
    EXPECT_EQ(Read(s, 5), f.Slice(990, 5));
    StreamClose(s);
}

TEST_F(StreamTest, LargeReadsSpanSeveralTransfers) {
    TempFile f(50000, 3);
    BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Read(s, 3), f.Slice(0, 3));
    EXPECT_EQ(Read(s, 20000), f.Slice(3, 20000));
    EXPECT_EQ(Read(s, 40000), f.Slice(20003, 40000));  // short: the file ends
    StreamClose(s);
}

TEST_F(StreamTest, NearSeeksAreServedFromHeldData) {
    TempFile f(20000, 5);
    BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(Read(s, 100), f.Slice(0, 100));
    // Forward within the buffer: the completed read-ahead is put back and no
    // further transfer is needed to serve it, even into the next buffer.
    EXPECT_EQ(StreamSeek(s, 1000), 100);
    EXPECT_EQ(s->skipBytes, 0u);
    os::testing::FailNthRead(1);  // the next transfer fails
    EXPECT_EQ(Read(s, 50), f.Slice(1100, 50));
    EXPECT_EQ(Read(s, 4096), f.Slice(1150, 4096));  // the rest of buffer 0 and part of buffer 1
    int32_t r = 0;
    EXPECT_EQ(Read(s, 8000, &r), Bytes{});
    EXPECT_EQ(r, -1);  // buffer 2 was the failing transfer
    EXPECT_EQ(os::IoErr(), 218);
    StreamClose(s);
}

TEST_F(StreamTest, SeekBackToTheBufferStartIsNearOneByteMoreIsFar) {
    TempFile f(20000, 7);
    BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(Read(s, 4096 + 100), f.Slice(0, 4196));  // now consuming buffer 1 (4096...)
    EXPECT_EQ(StreamSeek(s, -100), 4196);
    EXPECT_EQ(s->cursor, s->buffers[1 - s->fillIndex]);
    EXPECT_EQ(s->skipBytes, 0u);
    EXPECT_EQ(StreamSeek(s, -1), 4096);
    // Far: the file was repositioned to the block start, the head is skipped.
    EXPECT_EQ(s->fillIndex, 0u);
    EXPECT_EQ(s->bytesLeft, 0);
    EXPECT_EQ(s->skipBytes, 4095u % 512u);
    EXPECT_EQ(Read(s, 3), f.Slice(4095, 3));
    StreamClose(s);
}

TEST_F(StreamTest, FarSeeksLandOnTheExactByteAndCanFollowEachOther) {
    TempFile f(100000, 9);
    BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(StreamSeek(s, 50001), 0);
    EXPECT_EQ(StreamSeek(s, -20000), 50001);  // a second seek before any read
    EXPECT_EQ(StreamSeek(s, 7), 30001);
    EXPECT_EQ(Read(s, 600), f.Slice(30008, 600));
    EXPECT_EQ(StreamSeek(s, 0), 30608);
    EXPECT_EQ(StreamSeek(s, -30608), 30608);
    EXPECT_EQ(Read(s, 5), f.Slice(0, 5));
    StreamClose(s);
}

TEST_F(StreamTest, RandomReadsAndSeeksMatchTheFile) {
    for (int32_t block : {16, 512, 4096}) {
        for (int32_t requested : {64, 8192}) {
            os::testing::SetBlockSizeOverride(block);
            TempFile f(70001, uint32_t(block + requested));
            BufferedStream* s = StreamOpen(f.path.c_str(), requested);
            ASSERT_NE(s, nullptr);
            std::mt19937 rng(uint32_t(block * 7 + requested));
            int64_t pos = 0;
            for (int step = 0; step < 400; ++step) {
                SCOPED_TRACE(::testing::Message() << "block " << block << " size " << requested << " step " << step);
                if (rng() % 2) {
                    const int32_t n = int32_t(rng() % 3 == 0 ? rng() % 20000 : rng() % 300);
                    ASSERT_EQ(Read(s, n), f.Slice(size_t(pos), size_t(n)));
                    if (pos < int64_t(f.data.size())) pos = std::min<int64_t>(pos + n, int64_t(f.data.size()));
                } else {
                    int64_t target;
                    switch (rng() % 3) {
                        case 0: target = pos + int64_t(rng() % 200) - 100; break;
                        case 1: target = pos + int64_t(rng() % 9000) - 4000; break;
                        default: target = int64_t(rng() % 75000); break;
                    }
                    if (target < 0) target = 0;
                    ASSERT_EQ(StreamSeek(s, int32_t(target - pos)), int32_t(pos));
                    pos = target;
                }
            }
            EXPECT_GE(StreamClose(s), 0);
        }
    }
}

TEST_F(StreamTest, FailedTransfersAndSeeksStickAndCarryTheirCode) {
    TempFile f(20000, 11);
    {
        os::testing::FailNthRead(1);
        BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
        ASSERT_NE(s, nullptr);
        int32_t r = 0;
        Read(s, 10, &r);
        EXPECT_EQ(r, -1);
        EXPECT_EQ(os::IoErr(), 218);
        os::SetIoErr(0);
        Read(s, 10, &r);
        EXPECT_EQ(r, -1);
        EXPECT_EQ(os::IoErr(), 218);
        EXPECT_EQ(StreamSeek(s, 5), -1);
        EXPECT_EQ(StreamClose(s), -1);
    }
    {
        // The position query of a seek fails.
        BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(Read(s, 10), f.Slice(0, 10));
        os::testing::FailNthSeek(1);
        EXPECT_EQ(StreamSeek(s, 5), -1);
        EXPECT_EQ(os::IoErr(), 219);
        os::SetIoErr(0);
        int32_t r = 0;
        Read(s, 10, &r);
        EXPECT_EQ(r, -1);
        EXPECT_EQ(os::IoErr(), 219);
        EXPECT_EQ(StreamSeek(s, 5), -1);
        StreamClose(s);
    }
    {
        // The repositioning of a far seek fails.
        BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
        ASSERT_NE(s, nullptr);
        os::testing::FailNthSeek(2);
        EXPECT_EQ(StreamSeek(s, 15000), -1);
        EXPECT_EQ(os::IoErr(), 219);
        StreamClose(s);
    }
    {
        // A seek before the start of the file.
        BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(Read(s, 6000), f.Slice(0, 6000));
        EXPECT_EQ(StreamSeek(s, -7000), -1);
        StreamClose(s);
    }
}

TEST_F(StreamTest, OpeningAndClosingFailures) {
    const std::string missing = ilbmw::TempPath("lanterna-missing");
    EXPECT_EQ(StreamOpen(missing.c_str(), 8192), nullptr);
    EXPECT_EQ(os::IoErr(), os::ERROR_OBJECT_NOT_FOUND);

    TempFile f(100);
    os::testing::FailNthAlloc(1);
    EXPECT_EQ(StreamOpen(f.path.c_str(), 8192), nullptr);
    EXPECT_EQ(os::IoErr(), os::ERROR_NO_FREE_STORE);
    os::testing::ResetFaults();

    EXPECT_EQ(StreamClose(nullptr), -1);
    EXPECT_EQ(os::IoErr(), os::ERROR_INVALID_LOCK);

    // Closing at once, while the first transfer may still be under way.
    for (int i = 0; i < 20; ++i) {
        BufferedStream* s = StreamOpen(f.path.c_str(), 8192);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(StreamClose(s), 100);
    }
}
