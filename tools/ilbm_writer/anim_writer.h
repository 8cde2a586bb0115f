// The project's ANIM writer: FORM ANIM files of a first picture and frames
// coded by any of the delta operations, for tests, the fuzz corpus and
// benchmarks.
//
// Frames are held as the players hold them, in the layout of an
// uncompressed BODY without mask (MakePlanarBody): row after row, each row
// its plane rows. A delta is always made against the frame the player will
// apply it to: two back, or the one before with interleave 1; the first two
// frames seed both buffers, so the first delta is made against the first
// frame.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/ilbm_writer/ilbm_writer.h"

namespace lanterna::ilbmw {

struct AnimFrameInput {
    std::vector<uint32_t> pixels;  // width * height values, as IlbmPicture's
    uint8_t operation = 5;         // 0 to 8 or 'J'
    uint32_t bits = 0;             // ANHD bits: long data, XOR, ... (ops 4, 5, 7, 8; XOR for J)
    uint8_t interleave = 0;        // 0: two frames back; 1: the frame before
    uint32_t relTime = 6;          // jiffies after the frame before
    uint32_t absTime = 0;
    std::vector<Rgb> colours;      // a CMAP in this frame when not empty
    bool cmapAfterDelta = false;   // the CMAP after the DLTA, else before it
    std::vector<Bytes> extraChunks;  // made chunks placed before the DLTA (sound, annotations)
    // Op 1: the rectangle XORed in (zero size: the whole picture) and the
    // planes that carry data (0: all).
    uint16_t x = 0, y = 0, w = 0, h = 0;
    uint8_t mask = 0;
    // Ops 0 and 1: the BODY's coding (the first picture's BMHD decides how
    // players read it, so keep the two alike).
    bool packed = true;
    Bytes delta;                   // when not empty: the DLTA data as is
};

struct AnimFile {
    IlbmPicture first;  // the first frame: its BMHD gives the size and depth
    bool firstAnhd = true;             // an ANHD (op 0) in the first frame
    int32_t dpanFrames = -1;           // a DPAN with this frame count in the first frame
    uint8_t dpanFramesPerSecond = 0;   // and this play speed
    std::vector<AnimFrameInput> frames;  // the frames after the first
    // Spare zero bytes after each DLTA's lists: some players drop an
    // operation that ends too near the chunk's end.
    int32_t trailingPad = 0;
};

Bytes EncodeAnimHeader(uint8_t operation, uint32_t bits, uint8_t interleave, uint32_t relTime, uint32_t absTime,
                       uint8_t mask = 0, uint16_t x = 0, uint16_t y = 0, uint16_t w = 0, uint16_t h = 0);

// The DLTA data of ops 2 to 8 and J that turns `from` into `to` (frames of
// width x height x planes in the layout above). Op 2 needs plane rows times
// height to be a whole number of longs; long columns of ops 7 and 8 and
// op 4's long data need plane rows of a whole number of longs unless noted.
Bytes EncodeAnimDelta(uint8_t operation, uint32_t bits, int32_t width, int32_t height, int32_t planes,
                      const Bytes& from, const Bytes& to);

// The frames a player shows, in order (the first picture's planes, then
// each frame's), for checking a decoder.
std::vector<Bytes> AnimFramePlanes(const AnimFile& anim);

Bytes MakeAnim(const AnimFile& anim);

}  // namespace lanterna::ilbmw
