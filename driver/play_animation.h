// Playing a FORM ANIM once its first frame is drawn: each frame presented at
// its time, whole, the passes looping by the frame engine's rule, pause and
// single steps, and the WAIT rule of an animation.
#pragma once

#include <cstdint>

#include "display/display.h"
#include "ilbm/picture_reader.h"

namespace lanterna {

struct CycleHandle;

// Plays until the user, a break, WAIT or a frame that cannot be decoded ends
// it: 0 for a normal end (WAIT, or a click), CODE_STOP, or the code of the
// failing frame (the frames before it stay on the screen). *step is the way
// on of the input that ended it. `cycling` may be null.
int32_t PlayAnimation(PictureReader* reader, const char* path, const DisplayParameters& display,
                      CycleHandle* cycling, PictureStep* step);

}  // namespace lanterna
