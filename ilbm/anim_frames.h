// The frames of a FORM ANIM after its first picture, one at a time, over an
// IFF handle: plain records and free functions, no state outside the
// record, so that any number of animations can be played at once on any
// threads (a viewer, a converter, another program's image loader).
//
// The player holds two frames. The first picture is decoded by the caller
// (through the picture reader) into the first buffer, row by row, then
// SeedAnimFrames copies it into the second: the first two frames seed both
// buffers. Each later frame's delta applies to the frame two back (the
// buffer not on show), or, when its ANHD's interleave is 1, to the one
// before (copied into that buffer first). A frame is decoded into the
// buffer not on show and only then becomes the one on show, so a frame
// that fails to decode is never shown and the frame before it stays.
//
// Colours: a CMAP in a frame (before or after its DLTA) gives the colours
// from that frame on. Times: ANHD's relative time in jiffies (1/60 s) after
// the frame before, or, where that is zero, the difference of the absolute
// times, or where that is none either the play speed of a DPAN (which
// painting programs write into the first picture: the caller reads it
// there and sets dpanFrames and dpanTicks), else one jiffy.
//
// Looping: painting programs close an animation with two frames that lead
// back to its first two, so that it loops through them without showing the
// first two again. At the end of a pass the two buffers are compared (by a
// 64-bit hash) with the first two frames and their colours: when they match,
// the next pass starts at the third frame with the buffers as they are;
// otherwise it starts from the first picture again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ilbm/anim_deltas.h"
#include "platform/iffparse/iffparse.h"
#include "records/ilbm_records.h"
#include "records/row_buffers.h"

namespace lanterna {

constexpr int32_t ANIM_END = 1;  // NextAnimFrame: the pass is over
constexpr int32_t ANIM_MAX_COLOURS = 256;

struct AnimFrame {
    const uint8_t* planes = nullptr;   // the frame to show (AnimPlanes layout)
    const uint8_t* colours = nullptr;  // colourCount red, green, blue triples
    int32_t colourCount = 0;
    bool coloursChanged = false;  // a CMAP in this frame
    uint32_t delayTicks = 0;      // jiffies after the frame before (at least 1)
    int32_t number = 0;           // in the file: 2 for the frame after the first picture
    // The frames the engine made are numbered in the order it made them (0
    // for none): this one, and the one in the other buffer, which a display
    // that still shows it needs to redraw only the rows AnimRowChanged names.
    uint32_t serial = 0;
    uint32_t before = 0;
};

struct AnimFrames {
    os::IFFHandle* iff = nullptr;
    AnimPlanes shape;  // size and depth; data unused
    AnimBodyCoding coding;
    size_t frameBytes = 0;
    uint8_t* storage = nullptr;  // both buffers
    uint8_t* buffers[2] = {};
    uint32_t serials[2] = {};  // the frame each buffer holds (AnimFrame::serial)
    uint32_t made = 0;         // the last serial given
    // How each buffer's frame was made: from the frame of serial madeFrom
    // (the one the buffer held, or the one on show copied in first), which
    // it differs from only in the rows `written`.
    uint32_t madeFrom[2] = {};
    AnimRowSpan written[2];
    // Row y's changed byte columns between the frames of serials
    // changesOf[0] and changesOf[1]: rowChanges[2y] to rowChanges[2y + 1]
    // (equal for a row that did not change). Kept from frame to frame: a row
    // the next delta does not write changes then exactly as it did.
    uint16_t* rowChanges = nullptr;
    uint32_t changesOf[2] = {};
    int32_t shown = 0;
    int32_t number = 0;  // of the frame on show in the file
    uint8_t colours[3 * ANIM_MAX_COLOURS] = {};
    int32_t colourCount = 0;
    uint8_t* chunk = nullptr;  // the DLTA or BODY being applied
    int32_t chunkCapacity = 0;
    int32_t maxChunk = 0;
    bool atNextFrame = false;  // the parser stands at a chunk of the next frame
    int32_t pendingError = 0;  // reported by the next call: the frame before it was whole
    uint32_t lastAbsTime = 0;
    uint64_t firstHash = 0, secondHash = 0;
    uint64_t firstColours = 0, secondColours = 0, lastButOneColours = 0;
    bool loopsThroughSecond = false;
    bool passOver = false;
    int32_t framesInFile = 0;  // after the first whole pass
    int32_t dpanFrames = 0;    // a DPAN's count, when one was met
    uint32_t dpanTicks = 0;    // its jiffies a frame: the time of a frame whose ANHD gives none
};

// Checks the size (ERR_CORRUPT when too large to hold twice), allocates the
// buffers (ERR_OUT_OF_MEMORY) and registers the frame chunks on the handle
// (which stands after the first picture's BODY). `colours` may be null.
// On a failure nothing is left to close.
int32_t OpenAnimFrames(AnimFrames* frames, os::IFFHandle* iff, const BitMapHeader& header, const uint8_t* colours,
                       int32_t colourCount);
void CloseAnimFrames(AnimFrames* frames);  // frees the buffers; the handle is the caller's
// Row y of the first picture, for the caller's row decoder: its colour plane
// rows one after another.
uint8_t* AnimFirstFrameRow(AnimFrames* frames, int32_t y);
void SeedAnimFrames(AnimFrames* frames);
// Points view at row y of the frame on show, as a row decoder would leave
// it, for the display's row conversion.
void AnimShownRow(AnimFrames* frames, int32_t y, PlaneView* view);
// Whether row y of the frame on show differs from row y of the frame in the
// other buffer (the frame's `before`); when it does, the byte columns of
// its plane rows from the first to the last that differ, [*first, *end).
// The first call for a frame finds the changes of all its rows.
bool AnimRowChanged(AnimFrames* frames, int32_t y, int32_t* first, int32_t* end);
// 0 with the next frame; ANIM_END at the end of the pass; otherwise the
// code of the failure (the frame on show stays as it was).
int32_t NextAnimFrame(AnimFrames* frames, AnimFrame* frame);
// After ANIM_END: the caller opens the file again and reads it up to the
// end of the first picture. When the animation loops through its second
// frame the engine passes that frame over and keeps its buffers; otherwise
// the caller decodes the first picture again into AnimFirstFrameRow and
// calls SeedAnimFrames. 0, or the code of a failure.
int32_t RestartAnimFrames(AnimFrames* frames, os::IFFHandle* iff);

}  // namespace lanterna
