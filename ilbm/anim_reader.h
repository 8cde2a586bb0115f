// The picture reader and the frame engine together: a FORM ANIM is opened
// as any picture (its first frame's facts and rows come from the reader),
// and the same reader then gives the later frames, so that the viewer, a
// converter or a thumbnailer (which stops after the rows) take one path,
// from a file or from the caller's source. No state outside the reader.
//
// Use: OpenPictureReader; PictureIsAnimation; OpenPictureFrames before the
// rows (the rows the reader hands from then on are kept as the first frame);
// the rows as for a still; NextPictureFrame until ANIM_END;
// PictureFrameRow for each row of the frame on show. For another pass the
// caller opens a second reader over the same file and hands it over with
// RestartPictureFrames.
#pragma once

#include <cstdint>

#include "ilbm/anim_frames.h"
#include "ilbm/picture_reader.h"
#include "records/row_buffers.h"

namespace lanterna {

// Whether the picture is the first frame of a FORM ANIM whose frames can be
// played: the bit planes of an ILBM without line palettes. Any other
// picture of an ANIM (a PBM) is shown as a still.
bool PictureIsAnimation(const PictureReader* reader);
// Opens the frames before the rows are read: 0, ERR_CORRUPT for a frame too
// large to hold twice, ERR_OUT_OF_MEMORY, or an IFF failure.
int32_t OpenPictureFrames(PictureReader* reader);
// The next frame after the rows (the first call ends them and seeds both
// buffers with the first frame): 0, ANIM_END at the end of a pass, or the
// code of the failure (the frame on show stays as it was).
int32_t NextPictureFrame(PictureReader* reader, AnimFrame* frame);
// Row y of the frame on show, in the reader's rows, for the display's row
// conversion; its colours (with the halved ones of Extra-Half-Brite) in
// PictureFrameColours.
RowBuffers* PictureFrameRow(PictureReader* reader, int32_t y);
// Whether row y of the frame on show differs from the same row of the frame
// its AnimFrame::before names, and the pixels from the first to the last
// byte column that differ, [*firstPixel, *endPixel) (true and the whole row
// without frames).
bool PictureFrameRowChanged(PictureReader* reader, int32_t y, uint32_t* firstPixel, uint32_t* endPixel);
const uint8_t* PictureFrameColours(const PictureReader* reader, int32_t* count);
// The engine's record, for its facts (number, framesInFile, the loop rule).
const AnimFrames* PictureFrames(const PictureReader* reader);
// After ANIM_END: `again`, a reader the caller opened over the same file
// (up to its BODY, rows not begun), is taken over whatever the result and
// closed with this one. The first frame is read from it again unless the
// animation loops through its second frame and fromFirst is false (a
// viewer stepping back wants the first frame itself). 0, or the code of a
// failure.
int32_t RestartPictureFrames(PictureReader* reader, PictureReader* again, bool fromFirst = false);
// The frames' buffers and the reader taken over; ClosePictureReader does it.
void ClosePictureFrames(PictureReader* reader);

}  // namespace lanterna
