// Showing one picture: read its chunks, open a display that fits, draw it row
// by row while the file is read, view it, and release everything.
#pragma once

#include <cstdint>

#include "display/picture_step.h"
#include "driver/picture_facts.h"

namespace lanterna {

// The picture's result code; *step, when given, is the way the user asked
// the run to go on (Page Up: back), told with a result the user ended.
// `place` is the picture's place in the run, for its facts; `picture` is
// which picture of a CAT or LIST (0 the first; CountPictures of
// ilbm/picture_reader.h tells how many).
int32_t ShowPicture(const char* path, PictureStep* step = nullptr, RunPlace place = {}, int32_t picture = 0);

// What the run modes call to show a picture: ShowPicture itself in the
// program; tests put a double of their own here.
using ShowPictureFunction = int32_t (*)(const char* path, PictureStep* step, RunPlace place, int32_t picture);
extern ShowPictureFunction gShowPicture;

// The unpacked BODY size from which the rows are decoded on a second task
// (DECODE_AHEAD_MIN_BYTES), passed to the reader; tests and the fuzzer lower
// it to use that task on small pictures.
extern int64_t gDecodeAheadMinBytes;

}  // namespace lanterna
