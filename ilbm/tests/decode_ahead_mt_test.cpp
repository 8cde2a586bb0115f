// Rows decoded ahead on the worker task against the same BODY decoded in
// place: the same rows and the same results in the same order, whole, cut
// short and failing, and the stream back with its owner afterwards. The
// picture shown either way: driver/tests/decode_ahead_shown_mt_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ilbm/body_decoding.h"
#include "ilbm/decode_ahead.h"
#include "ilbm/ilbm_session.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "platform/testing/testing.h"
#include "records/row_buffers.h"
#include "tests/support/ahead_picture.h"
#include "tools/ilbm_writer/ilbm_writer.h"

namespace lanterna {
namespace {

using namespace ilbmw;

using test_support::TempFile;
const auto Picture = test_support::AheadPicture;

// What decoding a file's BODY gives: each row's result and, for complete
// rows, its plane bytes.
struct Rows {
    std::vector<int32_t> results;
    std::vector<Bytes> planes;
};

void Record(const RowBuffers* rows, int32_t planeRows, int32_t result, Rows& out) {
    out.results.push_back(result);
    if (result != 0) return;
    Bytes row;
    for (int32_t p = 0; p < planeRows; ++p) {
        const uint8_t* plane = rows->planeView.Planes[p];
        row.insert(row.end(), plane, plane + rows->planeView.BytesPerRow);
    }
    out.planes.push_back(row);
}

// A session on the file, scanned to its BODY, and a reader for the BODY;
// null (with the session closed) when there is none.
BodyReader* OpenAtBody(const std::string& path, os::IFFHandle** iff) {
    *iff = OpenIlbmSession(path.c_str());
    EXPECT_NE(*iff, nullptr);
    if (*iff == nullptr) return nullptr;
    EXPECT_EQ(RegisterIlbmStops(*iff), 0);
    os::ContextNode* chunk = nullptr;
    while (ScanNextChunk(*iff, &chunk) == 0 && chunk->cn_ID != ID_BODY) {
    }
    EXPECT_NE(chunk, nullptr);
    BodyReader* body = chunk != nullptr ? OpenBodyReader(*iff, chunk->cn_Size) : nullptr;
    if (body == nullptr) {
        CloseIlbmSession(*iff);
        *iff = nullptr;
    }
    return body;
}

// Decodes the file's BODY in place or ahead, `stopAfter` rows at most; the
// owner's IoErr after a failing row goes with it.
Rows Decode(const std::string& path, bool ahead, int32_t stopAfter, int32_t* ioErr = nullptr) {
    Rows out;
    os::IFFHandle* iff = nullptr;
    BodyReader* body = OpenAtBody(path, &iff);
    if (body == nullptr) return out;
    const IlbmPicture picture = Picture();
    const int32_t planeRows = picture.header.nPlanes + 1;
    RowBuffers* own = AllocRowBuffers(picture.header, 0);
    DecodeAhead* worker = ahead ? StartDecodeAhead(body, picture.header, 0, ID_ILBM, false, planeRows,
                                                   picture.header.h)
                                : nullptr;
    EXPECT_EQ(worker != nullptr, ahead);
    for (int32_t r = 0; r < picture.header.h && r < stopAfter; ++r) {
        RowBuffers* rows = own;
        const int32_t result = worker != nullptr ? NextDecodedRow(worker, &rows)
                                                 : DecodeByteRun1Row(body, own, planeRows);
        Record(rows, planeRows, result, out);
        if (result != 0) {
            if (ioErr != nullptr) *ioErr = os::IoErr();
            break;
        }
    }
    StopDecodeAhead(worker);
    FreeRowBuffers(own);
    CloseBodyReader(body);
    CloseIlbmSession(iff);
    return out;
}

TEST(DecodeAhead, RowsAndResultsAreThoseOfTheBodyDecodedInPlace) {
    const Bytes file = MakeIlbm(Picture());
    const TempFile whole(file);
    const Rows expected = Decode(whole.path, false, INT32_MAX);
    ASSERT_EQ(expected.planes.size(), size_t(Picture().header.h));
    const Rows got = Decode(whole.path, true, INT32_MAX);
    EXPECT_EQ(got.results, expected.results);
    EXPECT_TRUE(got.planes == expected.planes);

    // Cut inside the BODY: the rows before the cut, then the same end.
    for (size_t cut : {file.size() / 2, file.size() - 7}) {
        SCOPED_TRACE(cut);
        const TempFile shortFile(Truncated(file, cut));
        const Rows shortExpected = Decode(shortFile.path, false, INT32_MAX);
        ASSERT_NE(shortExpected.results.back(), 0);
        const Rows shortGot = Decode(shortFile.path, true, INT32_MAX);
        EXPECT_EQ(shortGot.results, shortExpected.results);
        EXPECT_TRUE(shortGot.planes == shortExpected.planes);
    }
}

TEST(DecodeAhead, AFailingReadReachesTheOwnerWithItsError) {
    const TempFile whole(MakeIlbm(Picture()));
    int32_t expectedError = 0;
    int32_t gotError = 0;
    // The first read packets bring the chunks before the BODY and its first
    // rows; a later one fails on whichever task waits for it.
    os::testing::FailNthRead(4);
    const Rows expected = Decode(whole.path, false, INT32_MAX, &expectedError);
    os::testing::FailNthRead(4);
    os::SetIoErr(0);  // what the owner has comes from the worker
    const Rows got = Decode(whole.path, true, INT32_MAX, &gotError);
    os::testing::ResetFaults();
    ASSERT_GT(expected.results.size(), 1u);
    ASSERT_LT(expected.results.back(), 0);
    EXPECT_EQ(got.results, expected.results);
    EXPECT_EQ(gotError, expectedError);
    EXPECT_NE(gotError, 0);
}

TEST(DecodeAhead, StoppedAtAnyRowTheOwnerHasTheStreamBackAndNothingLeaks) {
    const TempFile whole(MakeIlbm(Picture()));
    const int64_t before = os::testing::LiveAllocations();
    for (int32_t stopAfter : {0, 1, DECODE_AHEAD_ROWS - 1, DECODE_AHEAD_ROWS + 3}) {
        SCOPED_TRACE(stopAfter);
        os::SetSignal(0, os::SIGF_SINGLE);
        const Rows got = Decode(whole.path, true, stopAfter);
        EXPECT_EQ(got.results.size(), size_t(stopAfter));
        // The worker's reads signalled the worker, never the owner, and the
        // stream closed on the owner's side without waiting for anyone.
        EXPECT_EQ(os::SetSignal(0, 0) & os::SIGF_SINGLE, 0u);
    }
    EXPECT_EQ(os::testing::LiveAllocations(), before);
}

TEST(DecodeAhead, WhenItCannotStartNothingIsLeftBehind) {
    const TempFile whole(MakeIlbm(Picture()));
    os::IFFHandle* iff = nullptr;
    BodyReader* body = OpenAtBody(whole.path, &iff);
    ASSERT_NE(body, nullptr);
    const BitMapHeader header = Picture().header;
    const int64_t before = os::testing::LiveAllocations();
    // The record, then each ring row's allocations: every one of them fails once.
    for (uint32_t n = 1; n <= 40; ++n) {
        SCOPED_TRACE(n);
        os::testing::FailNthAlloc(n);
        DecodeAhead* ahead = StartDecodeAhead(body, header, 0, ID_ILBM, false, header.nPlanes + 1, header.h);
        os::testing::ResetFaults();
        if (ahead != nullptr) StopDecodeAhead(ahead);
        EXPECT_EQ(os::testing::LiveAllocations(), before);
    }
    CloseBodyReader(body);
    CloseIlbmSession(iff);
}

}  // namespace
}  // namespace lanterna
