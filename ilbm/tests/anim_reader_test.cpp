// The reader's way through an animation, from the caller's source: the
// frames of two passes (with the reopened reader of the second) equal the
// engine's own, for plain, half-bright and HAM pictures, both interleaves and
// the loop through the second frame; colours follow each frame's CMAP.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ilbm/anim_reader.h"
#include "ilbm/tests/anim_play.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

struct Memory {
    Bytes data;
    size_t at = 0;
};

int32_t Read(void* user, void* buffer, int32_t count) {
    auto* m = static_cast<Memory*>(user);
    const size_t n = std::min(size_t(count), m->data.size() - m->at);
    std::memcpy(buffer, m->data.data() + m->at, n);
    m->at += n;
    return int32_t(n);
}

PictureReader* Open(Memory& m) {
    m.at = 0;
    PictureReader* reader = nullptr;
    EXPECT_EQ(OpenPictureReaderFrom(PictureSource{Read, nullptr, &m}, PictureReadOptions{}, &reader), 0);
    return reader;
}

Bytes FramePlanes(PictureReader* reader) {
    Bytes out;
    const AnimPlanes& s = PictureFrames(reader)->shape;
    for (int32_t y = 0; y < s.rows; ++y) {
        const RowBuffers* rows = PictureFrameRow(reader, y);
        for (int32_t p = 0; p < s.planes; ++p)
            out.insert(out.end(), rows->planeView.Planes[p], rows->planeView.Planes[p] + s.bytesPerRow);
    }
    return out;
}

// Two passes through the reader, as a viewer plays them.
std::vector<Bytes> PlayThroughReader(const Bytes& file, std::vector<Bytes>* colours) {
    Memory m{file};
    PictureReader* reader = Open(m);
    std::vector<Bytes> frames;
    if (reader == nullptr || !PictureIsAnimation(reader) || OpenPictureFrames(reader) != 0) {
        ClosePictureReader(reader);
        return frames;
    }
    PictureRow row;
    while (ReadPictureRow(reader, &row) == 0) {
    }
    auto keep = [&] {
        frames.push_back(FramePlanes(reader));
        int32_t count = 0;
        const uint8_t* c = PictureFrameColours(reader, &count);
        colours->push_back(Bytes(c, c + 3 * count));
    };
    for (int pass = 0; pass < 2; ++pass) {
        if (pass > 0) {
            EXPECT_EQ(RestartPictureFrames(reader, Open(m)), 0);
        }
        if (pass == 0 || !PictureFrames(reader)->loopsThroughSecond) keep();  // the first frame
        AnimFrame frame;
        int32_t r = 0;
        while ((r = NextPictureFrame(reader, &frame)) == 0) keep();
        EXPECT_EQ(r, ANIM_END);
    }
    ClosePictureReader(reader);
    return frames;
}

TEST(AnimReader, FramesOfTwoPassesAsTheEngineGivesThem) {
    struct Case {
        uint8_t op, interleave;
        int32_t planes;
        uint32_t camg;
        bool loops;
    };
    for (const Case& c : {Case{5, 0, 8, 0, false}, Case{7, 1, 6, HAM, false}, Case{8, 0, 6, EXTRA_HALFBRITE, true},
                          Case{'J', 0, 4, 0, true}}) {
        SCOPED_TRACE(c.op);
        AnimFile a = anim_test::Anim(48, 20, c.planes, c.op, 0, c.interleave, 4, c.camg == EXTRA_HALFBRITE ? 32 : 256);
        a.first.camg = c.camg;
        a.first.hasCamg = c.camg != 0;
        a.frames[1].colours = {{9, 8, 7}, {6, 5, 4}};
        if (c.loops) {
            for (int i = 0; i < 2; ++i) {
                AnimFrameInput f = a.frames[0];
                f.pixels = i == 0 ? a.first.pixels : a.frames[0].pixels;
                f.colours = i == 0 ? a.first.colours : std::vector<Rgb>{};
                a.frames.push_back(f);
            }
        }
        const Bytes file = MakeAnim(a);
        const anim_test::Played want = anim_test::Play(file, 2);
        std::vector<Bytes> colours;
        const std::vector<Bytes> got = PlayThroughReader(file, &colours);
        EXPECT_EQ(want.loopsThroughSecond, c.loops);
        ASSERT_EQ(got.size(), want.frames.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(got[i] == want.frames[i].planes) << "frame " << i + 1;
        // The frame after the CMAP has its colours; half-bright ones follow.
        ASSERT_GT(colours.size(), 2u);
        EXPECT_EQ(colours[2][0], 9);
        if (c.camg == EXTRA_HALFBRITE) {
            ASSERT_EQ(colours[2].size(), 3u * 64);
            EXPECT_EQ(colours[2][3 * 32], 9 / 2);
        }
    }
}

// A painting program's DPAN sits in the first picture, before its BODY:
// its count is taken, and its speed (20 a second: 3 jiffies) times the
// frames whose header gives no time.
TEST(AnimReader, TheFirstPicturesDpanTimesFramesWithoutTimes) {
    AnimFile a = anim_test::Anim(32, 8, 3, 5, 0, 0, 4);
    a.dpanFrames = 4;
    a.dpanFramesPerSecond = 20;
    const uint32_t rel[] = {0, 5, 0};
    for (size_t i = 0; i < 3; ++i) a.frames[i].relTime = rel[i];
    Memory m{MakeAnim(a)};
    PictureReader* reader = Open(m);
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(PictureIsAnimation(reader));
    ASSERT_EQ(OpenPictureFrames(reader), 0);
    PictureRow row;
    while (ReadPictureRow(reader, &row) == 0) {
    }
    std::vector<uint32_t> delays;
    AnimFrame frame;
    while (NextPictureFrame(reader, &frame) == 0) delays.push_back(frame.delayTicks);
    EXPECT_EQ(delays, (std::vector<uint32_t>{3, 5, 3}));
    EXPECT_EQ(PictureFrames(reader)->dpanFrames, 4);
    ClosePictureReader(reader);
}

TEST(AnimReader, AStillIsNoAnimation) {
    IlbmPicture p;
    p.header = SimpleHeader(16, 4, 2, cmpNone);
    p.pixels.assign(64, 1);
    Memory m{MakeIlbm(p)};
    PictureReader* reader = Open(m);
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(PictureIsAnimation(reader));
    ClosePictureReader(reader);
}

}  // namespace
