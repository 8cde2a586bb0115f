// Plays a FORM ANIM held in memory through the frame engine, for the anim
// tests: the first picture is read here (BMHD, CMAP, BODY) until the picture
// reader gives it, then every frame of one or more passes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "ilbm/anim_frames.h"
#include "tests/support/memory_iff.h"
#include "tools/ilbm_writer/anim_writer.h"

namespace lanterna::anim_test {

using ilbmw::Bytes;

// A background of bands and a square that moves a little each frame.
inline std::vector<uint32_t> Pixels(int32_t w, int32_t h, int32_t planes, int32_t frame) {
    const uint32_t colours = 1u << planes;
    std::vector<uint32_t> px(size_t(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const bool square = x >= 2 + 5 * frame && x < 14 + 5 * frame && y >= 1 + 2 * frame && y < 11 + 2 * frame;
            px[size_t(y) * w + x] = square ? uint32_t(frame * 7 + 1) % colours : uint32_t(x / 16 + y / 8) % colours;
        }
    return px;
}

// The first picture and frames-1 frames of one operation; `colours` CMAP entries.
inline ilbmw::AnimFile Anim(int32_t w, int32_t h, int32_t planes, uint8_t op, uint32_t bits, uint8_t interleave,
                            int32_t frames = 6, int32_t colours = 256) {
    ilbmw::AnimFile a;
    a.first.header = ilbmw::SimpleHeader(w, h, planes, cmpByteRun1);
    a.first.pixels = Pixels(w, h, planes, 0);
    for (int32_t i = 0; i < (1 << planes) && i < colours; ++i)
        a.first.colours.push_back({uint8_t(i * 37 + 5), uint8_t(i * 11 + 3), uint8_t(250 - i)});
    for (int32_t i = 1; i < frames; ++i) {
        ilbmw::AnimFrameInput f;
        f.pixels = Pixels(w, h, planes, i);
        f.operation = op;
        f.bits = bits;
        f.interleave = interleave;
        a.frames.push_back(f);
    }
    return a;
}

struct PlayedFrame {
    Bytes planes;
    Bytes colours;
    uint32_t delay = 0;
    bool coloursChanged = false;
};

struct Played {
    std::vector<PlayedFrame> frames;  // the first picture first
    int32_t result = 0;               // of the last NextAnimFrame
    bool loopsThroughSecond = false;
    int32_t dpanFrames = 0;
};

// Reads to the first picture's BODY and opens the engine there; false when
// the file has none.
inline bool OpenFirst(test_support::MemoryIff& m, AnimFrames* f) {
    for (const char* id : {"BMHD", "CMAP", "DPAN", "BODY"}) m.Stop("ILBM", id);
    BitMapHeader h;
    Bytes cmap;
    DisplayPan pan;
    for (;;) {
        if (os::ParseIFF(m.iff, os::IFFPARSE_SCAN) != 0) return false;
        const os::ContextNode* cn = os::CurrentChunk(m.iff);
        Bytes data(size_t(cn->cn_Size));
        os::ReadChunkBytes(m.iff, data.data(), cn->cn_Size);
        if (cn->cn_ID == ID_BMHD) {
            h.w = uint16_t(data[0] << 8 | data[1]);
            h.h = uint16_t(data[2] << 8 | data[3]);
            h.nPlanes = data[8];
            h.masking = data[9];
            h.compression = data[10];
        } else if (cn->cn_ID == ID_CMAP) {
            cmap = data;
        } else if (cn->cn_ID == ID_DPAN) {
            EXPECT_EQ(ParseDisplayPan(data.data(), int32_t(data.size()), &pan), 0);
        } else {
            if (OpenAnimFrames(f, m.iff, h, cmap.data(), int32_t(cmap.size() / 3)) != 0) return false;
            AnimPlanes first = f->shape;
            first.data = AnimFirstFrameRow(f, 0);
            if (ApplyBody(data.data(), int32_t(data.size()), f->coding, first) != 0) return false;
            SeedAnimFrames(f);
            f->dpanFrames = pan.frames;
            f->dpanTicks = DisplayPanTicks(pan);
            return true;
        }
    }
}

inline PlayedFrame Shown(const AnimFrames& f, const AnimFrame* frame) {
    const uint8_t* planes = frame ? frame->planes : f.buffers[0];
    return {Bytes(planes, planes + f.frameBytes), Bytes(f.colours, f.colours + 3 * f.colourCount),
            frame ? frame->delayTicks : 0, frame && frame->coloursChanged};
}

// AnimRowChanged for every row of the frame on show against the two
// buffers compared byte by byte: whether the row differs and, when it does,
// from the first to the last byte column that differs in any plane.
inline void ExpectRowChanges(AnimFrames& f, int32_t number) {
    const size_t bpr = size_t(f.shape.bytesPerRow), planes = size_t(f.shape.planes);
    for (int32_t y = 0; y < f.shape.rows; ++y) {
        const uint8_t* now = f.buffers[f.shown] + size_t(y) * planes * bpr;
        const uint8_t* before = f.buffers[1 - f.shown] + size_t(y) * planes * bpr;
        int32_t first = int32_t(bpr), end = 0;
        for (size_t p = 0; p < planes; ++p)
            for (size_t c = 0; c < bpr; ++c)
                if (now[p * bpr + c] != before[p * bpr + c]) {
                    first = std::min(first, int32_t(c));
                    end = std::max(end, int32_t(c) + 1);
                }
        int32_t gotFirst = -1, gotEnd = -1;
        const bool changed = AnimRowChanged(&f, y, &gotFirst, &gotEnd);
        EXPECT_EQ(changed, end > 0) << "frame " << number << " row " << y;
        if (changed && end > 0) {
            EXPECT_TRUE(gotFirst == first && gotEnd == end) << "frame " << number << " row " << y;
        }
    }
}

// `passes` passes; later passes read the file again from its start. The
// rows' changes are checked at most frames (not all: a display that drew a
// frame whole asks for none, and the next frame's must still be right).
inline Played Play(const Bytes& file, int passes = 1) {
    Played out;
    AnimFrames f;
    auto m = std::make_unique<test_support::MemoryIff>(file);
    if (!OpenFirst(*m, &f)) {
        out.result = -1;
        return out;
    }
    out.frames.push_back(Shown(f, nullptr));
    for (int pass = 0; pass < passes; ++pass) {
        if (pass > 0) {
            m = std::make_unique<test_support::MemoryIff>(file);
            AnimFrames scratch;
            // Past the first picture again; decoded anew unless the engine loops through.
            EXPECT_TRUE(OpenFirst(*m, &scratch));
            if (!f.loopsThroughSecond) {
                std::memcpy(AnimFirstFrameRow(&f, 0), scratch.buffers[0], f.frameBytes);
                SeedAnimFrames(&f);
                out.frames.push_back(Shown(f, nullptr));
            }
            CloseAnimFrames(&scratch);
            EXPECT_EQ(RestartAnimFrames(&f, m->iff), 0);
        }
        AnimFrame frame;
        while ((out.result = NextAnimFrame(&f, &frame)) == 0) {
            out.frames.push_back(Shown(f, &frame));
            if (frame.number % 4 != 3) ExpectRowChanges(f, frame.number);
        }
        if (out.result != ANIM_END) break;
    }
    out.loopsThroughSecond = f.loopsThroughSecond;
    out.dpanFrames = f.dpanFrames;
    CloseAnimFrames(&f);
    return out;
}

}  // namespace lanterna::anim_test
