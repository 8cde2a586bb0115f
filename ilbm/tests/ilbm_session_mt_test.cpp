// The whole reading path over real files: session, stops, chunk readers and
// both row decoders through the read-ahead stream and its handler thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ilbm/body_decoding.h"
#include "ilbm/chunk_readers.h"
#include "ilbm/ilbm_session.h"
#include "platform/dos/dos.h"
#include "platform/exec/exec.h"
#include "platform/testing/testing.h"
#include "records/result_codes.h"
#include "tools/ilbm_writer/ilbm_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

struct TempFile {
    std::string path = TempPath("lanterna-session");
    explicit TempFile(const Bytes& data) { EXPECT_TRUE(WriteFile(path, data)); }
    ~TempFile() { std::filesystem::remove(path); }
};

std::string IdText(uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

// What reading a file gives: the stops in order, the picture records, the
// decoded plane rows, and how it ended.
struct Reading {
    std::vector<std::string> stops;
    PictureInfo picture;
    std::vector<Bytes> planeRows;  // every plane row of every decoded row
    int32_t end = 0;               // the scan's status or the reader's code
    int32_t rowResult = 0;         // the last row result
    ~Reading() { os::FreeVec(picture.colours); }
};

void ReadFile(const std::string& path, Reading& out) {
    os::IFFHandle* iff = OpenIlbmSession(path.c_str());
    ASSERT_NE(iff, nullptr) << os::IoErr();
    ASSERT_EQ(RegisterIlbmStops(iff), 0);
    bool header = false;
    for (;;) {
        os::ContextNode* cn = nullptr;
        const int32_t status = ScanNextChunk(iff, &cn);
        if (status != 0) {
            out.end = status;
            break;
        }
        out.stops.push_back(IdText(cn->cn_ID));
        int32_t e = 0;
        switch (cn->cn_ID) {
            case ID_BMHD: e = ReadBitMapHeader(iff, out.picture); header = true; break;
            case ID_CMAP: e = ReadColourMap(iff, cn->cn_Size, out.picture); break;
            case ID_CAMG: e = ReadDisplayMode(iff, out.picture); break;
            case ID_CRNG: e = ReadColourRange(iff, out.picture); break;
            case ID_CCRT: e = ReadCycleTiming(iff, out.picture); break;
            default: break;
        }
        if (e != 0) {
            out.end = e;
            break;
        }
        if (cn->cn_ID != ID_BODY || !header) continue;
        const BitMapHeader& h = out.picture.header;
        const int32_t bpr = PlaneRowBytes(h.w);
        const int32_t planeRows = h.nPlanes + (h.masking == mskHasMask ? 1 : 0);
        RowBuffers rows;
        std::vector<Bytes> storage(size_t(planeRows), Bytes(size_t(bpr), 0));
        rows.planeView.BytesPerRow = uint16_t(bpr);
        for (int32_t i = 0; i < planeRows; ++i) rows.planeView.Planes[i] = storage[size_t(i)].data();
        BodyReader* reader = h.compression == cmpByteRun1 ? OpenBodyReader(iff, cn->cn_Size) : nullptr;
        for (int32_t y = 0; y < h.h; ++y) {
            out.rowResult = reader ? DecodeByteRun1Row(reader, &rows, planeRows) : ReadPlainRow(iff, &rows, planeRows);
            if (out.rowResult != 0) break;
            out.planeRows.insert(out.planeRows.end(), storage.begin(), storage.end());
        }
        CloseBodyReader(reader);
        break;
    }
    CloseIlbmSession(iff);
}

std::vector<Bytes> SplitRows(const Bytes& planar, int32_t bpr) {
    std::vector<Bytes> rows;
    for (size_t at = 0; at + size_t(bpr) <= planar.size(); at += size_t(bpr)) {
        rows.emplace_back(planar.begin() + ptrdiff_t(at), planar.begin() + ptrdiff_t(at) + bpr);
    }
    return rows;
}

IlbmPicture TestPicture(uint8_t compression, int32_t w = 321, int32_t h = 60, int32_t planes = 5) {
    IlbmPicture p;
    p.header = SimpleHeader(w, h, planes, compression, mskHasMask);
    std::mt19937 rng(uint32_t(w + h + planes + compression));
    for (int32_t i = 0; i < w * h; ++i) {
        p.pixels.push_back((i / 7 % 3 == 0) ? rng() % 32 : uint32_t(i / 50 % 32));
        p.mask.push_back(uint8_t(i % 3 != 0));
    }
    for (int i = 0; i < 32; ++i) p.colours.push_back(Rgb{uint8_t(i * 8), uint8_t(255 - i), uint8_t(i)});
    p.hasCamg = true;
    p.camg = 0x8004;
    p.extraChunks.push_back(MakeChunk("ANNO", Bytes(20001, 'a')));  // skipped by a far seek
    p.extraChunks.push_back(MakeChunk("CRNG", EncodeColourRange(0, 4000, 1, 2, 9)));
    p.extraChunks.push_back(MakeChunk("CCRT", EncodeCycleTiming(-1, 10, 12, 1, 0)));
    return p;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::testing::ResetFaults();
        live = os::testing::LiveAllocations();
    }
    void TearDown() override {
        os::testing::ResetFaults();
        EXPECT_EQ(os::testing::LiveAllocations(), live);
    }
    int64_t live = 0;
};

}  // namespace

TEST_F(SessionTest, ReadsAWholePictureThroughTheStream) {
    for (uint8_t compression : {cmpNone, cmpByteRun1}) {
        const IlbmPicture p = TestPicture(compression);
        Bytes file = MakeIlbm(p);
        TempFile f(file);
        Reading r;
        ReadFile(f.path, r);
        EXPECT_EQ(r.stops, (std::vector<std::string>{"BMHD", "CMAP", "CAMG", "CRNG", "CCRT", "BODY"}));
        EXPECT_EQ(r.rowResult, 0);
        EXPECT_EQ(r.picture.header.w, 321);
        EXPECT_EQ(r.picture.colourCount, 32);
        EXPECT_TRUE(r.picture.hasMode);
        EXPECT_EQ(r.picture.modeId, 0x8004u);
        EXPECT_EQ(r.picture.rangeCount, 2);
        EXPECT_EQ(r.picture.ranges[1].rate, 273);
        IlbmPicture plain = p;
        plain.header.compression = cmpNone;
        EXPECT_TRUE(r.planeRows == SplitRows(MakeBodyData(plain), PlaneRowBytes(321))) << int(compression);
    }
}

TEST_F(SessionTest, JunkAfterTheFormAndAnOverlongFormSizeDoNotMatter) {
    const IlbmPicture p = TestPicture(cmpByteRun1, 64, 20, 3);
    IlbmPicture plain = p;
    plain.header.compression = cmpNone;
    const auto expected = SplitRows(MakeBodyData(plain), PlaneRowBytes(64));

    Bytes junk = MakeIlbm(p);
    junk.insert(junk.end(), 3000, 0xEE);
    TempFile a(junk);
    Reading ra;
    ReadFile(a.path, ra);
    EXPECT_TRUE(ra.planeRows == expected);

    Bytes overlong = MakeIlbm(p);
    PutBE32(overlong, 4, uint32_t(overlong.size() + 100000));
    TempFile b(overlong);
    Reading rb;
    ReadFile(b.path, rb);
    EXPECT_TRUE(rb.planeRows == expected);
}

TEST_F(SessionTest, BrokenAndForeignFiles) {
    {
        Reading r;
        TempFile f(Bytes{'J', 'u', 's', 't', ' ', 't', 'e', 'x', 't', '\n', 'm', 'o', 'r', 'e', '\n'});
        ReadFile(f.path, r);
        EXPECT_EQ(r.end, os::IFFERR_NOTIFF);
        EXPECT_EQ(IffResultCode(r.end), ERR_NOT_IFF);
    }
    {
        // A sound FORM: read to the end without a stop.
        Reading r;
        TempFile f(MakeGroup("FORM", "8SVX", Concat({MakeChunk("VHDR", Bytes(20)), MakeChunk("BODY", Bytes(999))})));
        ReadFile(f.path, r);
        EXPECT_TRUE(r.stops.empty());
        EXPECT_EQ(r.end, os::IFFERR_EOF);
    }
    {
        // Cut inside the plain BODY: the first row that cannot be read in full
        // fails in the hook and gives a read error.
        const Bytes file = MakeIlbm(TestPicture(cmpNone, 32, 20, 2));
        TempFile f(Truncated(file, file.size() - 50));
        Reading r;
        ReadFile(f.path, r);
        EXPECT_EQ(r.rowResult, os::IFFERR_READ);
        EXPECT_EQ(IffResultCode(r.rowResult), 30020);
    }
    {
        // A CMAP cut short by the end of the file.
        Bytes file = MakeGroup("FORM", "ILBM", MakeChunk("CMAP", Bytes(300, 1)));
        TempFile f(Truncated(file, 100));
        Reading r;
        ReadFile(f.path, r);
        EXPECT_EQ(r.end, 30020);
    }
}

TEST_F(SessionTest, OpenFailuresLeaveTheCodeInIoErrAndLeakNothing) {
    const std::string missing = TempPath("lanterna-no-such-picture");
    EXPECT_EQ(OpenIlbmSession(missing.c_str()), nullptr);
    EXPECT_EQ(os::IoErr(), os::ERROR_OBJECT_NOT_FOUND);

    TempFile f(MakeIlbm(TestPicture(cmpNone, 16, 2, 1)));
    for (uint32_t n : {1u, 2u}) {  // the IFF handle, then the stream
        os::SetIoErr(0);
        os::testing::FailNthAlloc(n);
        EXPECT_EQ(OpenIlbmSession(f.path.c_str()), nullptr) << n;
        EXPECT_EQ(os::IoErr(), os::ERROR_NO_FREE_STORE) << n;
        os::testing::ResetFaults();
    }
    // A transfer that fails: the first scan reports a read error.
    os::testing::FailNthRead(1);
    os::IFFHandle* iff = OpenIlbmSession(f.path.c_str());
    ASSERT_NE(iff, nullptr);
    ASSERT_EQ(RegisterIlbmStops(iff), 0);
    os::ContextNode* cn = nullptr;
    EXPECT_EQ(ScanNextChunk(iff, &cn), os::IFFERR_READ);
    EXPECT_EQ(cn, nullptr);
    CloseIlbmSession(iff);
    CloseIlbmSession(nullptr);
}
