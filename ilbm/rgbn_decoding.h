// BODY decoding of FORM RGB8 and RGBN, the run-length true-colour pictures
// of Amiga renderers: one picture row per call into the RGB row of
// RowBuffers, through the same BodyReader as ByteRun1.
#pragma once

#include <cstdint>

#include "ilbm/body_decoding.h"
#include "records/row_buffers.h"

namespace lanterna {

// 0: the row is complete; -1: the data is used up before it, or a run of no
// pixels ends it; other negative: iffparse error. rgbn chooses the 12-bit
// form (RGBN) over the 24-bit one (RGB8). A run that passes the end of a row
// goes on in the next one: the reader carries it.
int32_t DecodeRgbnRow(BodyReader* reader, RowBuffers* rows, bool rgbn);

}  // namespace lanterna
