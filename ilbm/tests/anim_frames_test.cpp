// The frame engine over files of the project's ANIM writer: every operation
// with its bits, both interleaves and several depths gives the frames the
// writer coded; colours, times, the loop rule and damaged frames.
#include <gtest/gtest.h>

#include "ilbm/tests/anim_play.h"
#include "records/result_codes.h"
#include "tools/ilbm_writer/anim_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;
using anim_test::Anim;
using anim_test::Play;

namespace {

void ExpectFrames(const AnimFile& a, const anim_test::Played& p) {
    const std::vector<Bytes> want = AnimFramePlanes(a);
    ASSERT_EQ(p.result, ANIM_END);
    ASSERT_EQ(p.frames.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_TRUE(p.frames[i].planes == want[i]) << "frame " << i + 1;
}

struct OpCase {
    const char* name;
    uint8_t op;
    uint32_t bits;
    int32_t w, h, planes;
};

class AnimOps : public ::testing::TestWithParam<OpCase> {};

TEST_P(AnimOps, EveryFrameAsWrittenWithEveryInterleave) {
    const OpCase& c = GetParam();
    for (uint8_t interleave : {0, 1, 2}) {
        SCOPED_TRACE(interleave);
        const AnimFile a = Anim(c.w, c.h, c.planes, c.op, c.bits, interleave);
        ExpectFrames(a, Play(MakeAnim(a)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ops, AnimOps,
    ::testing::Values(OpCase{"body", 0, 0, 40, 20, 3}, OpCase{"xor", 1, 0, 50, 22, 4},
                      OpCase{"long_delta", 2, 0, 64, 20, 2}, OpCase{"short_delta", 3, 0, 40, 24, 5},
                      OpCase{"general_short", 4, 0, 40, 20, 3}, OpCase{"general_vertical_runs", 4, 0x18, 48, 20, 2},
                      OpCase{"general_long_xor_vertical", 4, 0x1B, 64, 21, 3},
                      OpCase{"general_long_offsets_xor", 4, 0x2A, 32, 24, 4},
                      OpCase{"byte_vertical", 5, 0, 36, 30, 8}, OpCase{"byte_vertical_xor", 5, 2, 36, 30, 6},
                      OpCase{"stereo", 6, 0, 40, 20, 4}, OpCase{"lists_short", 7, 0, 40, 20, 5},
                      OpCase{"lists_long_word_column", 7, 1, 48, 20, 4}, OpCase{"words_short_xor", 8, 2, 40, 20, 3},
                      OpCase{"words_long_word_column", 8, 1, 48, 26, 6}, OpCase{"j_centred", 'J', 0, 100, 30, 5},
                      OpCase{"j_xor", 'J', 2, 336, 24, 2}),
    [](const ::testing::TestParamInfo<OpCase>& i) { return std::string(i.param.name); });

// ffmpeg 5.1 ignores a CMAP after the DLTA; the description is clear that a
// frame's CMAP holds from that frame on, wherever it stands in the frame.
TEST(AnimFrames, ColoursFromTheirFrameOnBeforeOrAfterTheDelta) {
    AnimFile a = Anim(32, 16, 2, 5, 0, 0, 5);
    a.frames[1].colours = {{1, 2, 3}, {4, 5, 6}};
    a.frames[3].colours = {{7, 8, 9}};
    a.frames[3].cmapAfterDelta = true;
    const anim_test::Played p = Play(MakeAnim(a));
    ASSERT_EQ(p.frames.size(), 5u);
    EXPECT_EQ(p.frames[1].colours, p.frames[0].colours);
    EXPECT_EQ(p.frames[2].colours[0], 1);
    EXPECT_EQ(p.frames[2].colours[5], 6);
    EXPECT_EQ(p.frames[3].colours, p.frames[2].colours);
    EXPECT_EQ(p.frames[4].colours[0], 7);
    EXPECT_EQ(p.frames[4].colours[3], 4);  // the rest stay
    EXPECT_TRUE(p.frames[2].coloursChanged && p.frames[4].coloursChanged && !p.frames[3].coloursChanged);
}

TEST(AnimFrames, RelativeAndAbsoluteTimesAndTheFrameCount) {
    AnimFile a = Anim(32, 16, 2, 5, 0, 0, 5);
    a.dpanFrames = 5;
    const uint32_t rel[] = {4, 0, 0, 0}, abs[] = {0, 10, 13, 13};
    for (size_t i = 0; i < 4; ++i) a.frames[i].relTime = rel[i], a.frames[i].absTime = abs[i];
    a.frames[0].extraChunks.push_back(MakeChunk("SBDY", Bytes(7, 1)));  // sound, passed over
    const anim_test::Played p = Play(MakeAnim(a));
    ASSERT_EQ(p.frames.size(), 5u);
    EXPECT_EQ(p.frames[1].delay, 4u);
    EXPECT_EQ(p.frames[2].delay, 10u);
    EXPECT_EQ(p.frames[3].delay, 3u);
    EXPECT_EQ(p.frames[4].delay, 1u);  // never less than a jiffy
    EXPECT_EQ(p.dpanFrames, 5);
}

TEST(AnimFrames, LoopsThroughTheSecondFrameWhenTheLastTwoLeadBack) {
    // Frames 1..4, then two that show frames 1 and 2 again.
    AnimFile a = Anim(40, 24, 3, 5, 0, 0, 4);
    for (int i = 0; i < 2; ++i) {
        AnimFrameInput f = a.frames[0];
        f.pixels = i == 0 ? a.first.pixels : a.frames[0].pixels;
        a.frames.push_back(f);
    }
    const std::vector<Bytes> want = AnimFramePlanes(a);
    const anim_test::Played p = Play(MakeAnim(a), 2);
    EXPECT_TRUE(p.loopsThroughSecond);
    ASSERT_EQ(p.result, ANIM_END);
    ASSERT_EQ(p.frames.size(), 6u + 4u);  // the second pass starts at frame 3
    for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(p.frames[6 + i].planes == want[2 + i]) << i;
    // Any other file starts again from its first picture.
    const AnimFile plain = Anim(40, 24, 3, 5, 0, 0, 4);
    const anim_test::Played q = Play(MakeAnim(plain), 2);
    EXPECT_FALSE(q.loopsThroughSecond);
    ASSERT_EQ(q.frames.size(), 8u);
    for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(q.frames[4 + i].planes == q.frames[i].planes) << i;
}

// A blinking square: each frame is the one two back again, so each delta
// writes nothing, yet every frame differs from the one before where the
// square blinks (Play checks the rows' changes at most frames).
TEST(AnimFrames, RowsTheDeltaDoesNotWriteChangeAsAtTheFrameBefore) {
    for (uint8_t op : {5, 7, 8}) {
        SCOPED_TRACE(int(op));
        AnimFile a = Anim(48, 20, 3, op, 0, 0, 12);
        for (size_t i = 1; i < a.frames.size(); ++i) a.frames[i].pixels = i % 2 ? a.first.pixels : a.frames[0].pixels;
        a.frames[6].interleave = 1;
        ExpectFrames(a, Play(MakeAnim(a)));
    }
}

TEST(AnimFrames, ADamagedFrameIsRefusedAndTheFramesBeforeItKept) {
    // Frame 3 is damaged in each way; frames 1 and 2 are shown, then the code.
    struct Damage {
        const char* name;
        uint8_t op;
        void (*apply)(AnimFrameInput&, const Bytes& good);
    };
    const Damage damages[] = {
        {"pointer past the chunk", 5, [](AnimFrameInput& f, const Bytes& g) { f.delta = g; PutBE32(f.delta, 0, 0x7FFFFF); }},
        {"count past the column", 5, [](AnimFrameInput& f, const Bytes&) {
             f.delta = Bytes(64, 0);
             PutBE32(f.delta, 0, 64);
             for (uint8_t b : {1, 0x80 | 100}) f.delta.push_back(b);  // 100 rows of 24
             f.delta.resize(64 + 2 + 100, 0xAA);
         }},
        {"list past the chunk", 3, [](AnimFrameInput& f, const Bytes& g) { f.delta = Truncated(g, g.size() - 2); }},
        {"offset past the plane", 3, [](AnimFrameInput& f, const Bytes&) {
             f.delta = Bytes(32, 0);
             PutBE32(f.delta, 0, 32);
             for (uint32_t w : {0x7000u, 0x1234u, 0xFFFFu}) AppendBE16(f.delta, w);
         }},
        {"group past the row", 'J', [](AnimFrameInput& f, const Bytes&) {
             f.delta.clear();
             // 9 bytes from byte 1 of 6 (offsets count from the 320-pixel screen's edge)
             for (uint32_t w : {2u, 0u, 1u, 9u, 1u, 18u}) AppendBE16(f.delta, w);
             f.delta.resize(f.delta.size() + 9 * 3 + 2, 0);
         }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        AnimFile a = Anim(40, 24, 3, d.op, 0, 0, 4);
        const Bytes good = EncodeAnimDelta(d.op, 0, 40, 24, 3, AnimFramePlanes(a)[0], AnimFramePlanes(a)[2]);
        d.apply(a.frames[1], good);
        const anim_test::Played p = Play(MakeAnim(a));
        EXPECT_EQ(p.result, ERR_CORRUPT);
        ASSERT_EQ(p.frames.size(), 2u);
        EXPECT_TRUE(p.frames[1].planes == AnimFramePlanes(a)[1]);
    }
    // An empty DLTA is no damage: it changes nothing.
    Bytes planes(24 * 3 * 6);
    for (int op : {2, 3, 4, 5, 6, 7, 8, int('J')})
        EXPECT_EQ(ApplyAnimDelta(AnimHeader{uint8_t(op)}, {}, nullptr, 0, AnimPlanes{planes.data(), 40, 24, 3, 6}), 0);
    // A frame of another size than the first.
    AnimFile a = Anim(40, 24, 3, 0, 0, 0, 3);
    a.frames[1].extraChunks.push_back(MakeChunk("BMHD", EncodeBitMapHeader(SimpleHeader(80, 24, 3, cmpByteRun1))));
    const anim_test::Played p = Play(MakeAnim(a));
    EXPECT_EQ(p.result, ERR_CORRUPT);
    EXPECT_EQ(p.frames.size(), 2u);
}

}  // namespace
